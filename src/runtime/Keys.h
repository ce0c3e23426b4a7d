#pragma once

#include <string_view>

namespace rt {

// The keys the program's windows answer, whatever keyboard and platform they
// come from: a backend turns its own key events into these. The digits stand
// for the top row and the keypad alike, Enter for both Enter keys. Tab (with
// Shift: backwards) and the arrows move the keyboard focus.
enum class Key { Digit1 = 1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Enter, Space, Tab, Left, Right, Up, Down };

// Modifier keys held with a key.
namespace keymod {
inline constexpr int Shift = 1;
inline constexpr int Control = 2;
inline constexpr int Alt = 4;
inline constexpr int System = 8;  // the Windows or Super key
}  // namespace keymod

struct KeyStroke {
  Key key = Key::Enter;
  int modifiers = 0;
  bool repeat = false;  // sent again by a key held down
};

// A key of a window and the control it clicks. A key may have several rows: it
// clicks the first of their controls that takes a click now.
struct KeyBinding {
  Key key = Key::Enter;
  std::string_view control = {};
};

}  // namespace rt
