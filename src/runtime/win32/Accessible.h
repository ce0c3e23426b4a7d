#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quintarel::win32 {

class FormWindow;

// A form window's client area as Active Accessibility (MSAA) presents it to a
// screen reader: the objects of the form's accessible tree, a group or a table
// an object of its own with its members inside, every other node a simple
// element whose child id is its index in the tree plus one, and after them an
// alert that reads the last announcement. A command button's window, which
// holds the keyboard focus for it, tells that focus itself. Presses and focus requests come back to the window as
// posted messages (kPressMessage, kFocusMessage, the node in wParam), so that a
// screen reader's call returns at once even when the press opens a message box.
class WindowAccessibility {
 public:
  static constexpr UINT kPressMessage = WM_APP + 1;
  static constexpr UINT kFocusMessage = WM_APP + 2;

  explicit WindowAccessibility(FormWindow& window);
  // Objects a screen reader still holds answer nothing any more.
  ~WindowAccessibility();
  WindowAccessibility(const WindowAccessibility&) = delete;
  WindowAccessibility& operator=(const WindowAccessibility&) = delete;

  // The answer to WM_GETOBJECT.
  LRESULT Respond(WPARAM wParam, LPARAM lParam);
  // The program changed controls: an event for every name, value and state
  // that reads otherwise than when last told.
  void Changed();
  // Tells that the core's focus node has the focus now; the window (or its
  // button) holds the keyboard focus.
  void FocusMoved();
  void Announce(std::string_view text);

  struct Shared;

 private:
  struct Seen {
    std::wstring name, value;
    LONG state = 0;
  };
  std::vector<Seen> Read() const;

  FormWindow& window_;
  std::shared_ptr<Shared> shared_;
  std::vector<Seen> seen_;
};

}  // namespace quintarel::win32
