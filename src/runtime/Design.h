#pragma once

#include <span>
#include <string_view>

#include "runtime/Color.h"
#include "runtime/Keys.h"

// Design-time description of forms and their controls: the values a form has
// when the runtime creates it. Backends read these through the runtime model.
namespace rt {

enum class ControlKind { Label, Frame, Line, Shape, Image, CommandButton };

struct FontDesign {
  std::string_view name = {};
  double size = 8.25;  // points
  bool bold = false;
  int charset = 238;  // Central European
};

// The runtime's default font, for controls and forms that set none.
inline constexpr FontDesign kDefaultFont{"MS Sans Serif", 8.25, false, 238};

// "Not set in the design": the control kind's default applies.
inline constexpr Color kDefaultColor = 0xFFFFFFFFu;
inline constexpr int kDefaultStyle = -1;

namespace style {
inline constexpr int Transparent = 0;  // BackStyle
inline constexpr int Opaque = 1;
inline constexpr int NoBorder = 0;  // BorderStyle
inline constexpr int FixedSingle = 1;
inline constexpr int LeftJustify = 0;  // Alignment
inline constexpr int RightJustify = 1;
inline constexpr int Center = 2;
inline constexpr int Rectangle = 0;  // Shape
inline constexpr int Circle = 3;
}  // namespace style

struct ControlDesign {
  std::string_view name = {};
  ControlKind kind = ControlKind::Label;
  int index = -1;                   // member of a control array when 0 or more
  std::string_view container = {};  // the frame it lies in; empty: the form
  // Rectangle in twips, relative to the container; lines use X1..Y2 instead.
  int left = 0, top = 0, width = 0, height = 0;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::string_view caption = {};
  Color backColor = kDefaultColor;
  Color foreColor = kDefaultColor;
  int backStyle = kDefaultStyle;
  int borderStyle = kDefaultStyle;
  int alignment = style::LeftJustify;
  const FontDesign* font = nullptr;
  int borderWidth = 1;
  int shape = style::Rectangle;
  std::string_view tag = {};
  bool picture = false;  // an image showing the program's icon
};

// How assistive technology (a screen reader) meets a control.
enum class AccessibleRole {
  Button,  // pressable: a press clicks the control
  Choice,  // one of a group's choices: a press chooses it; the chosen one is checked
  Group,   // named group of choices, its members
  Text,    // shows a value: a number, a rate or a result
  Table,   // rows of control arrays, one member per column
};

// What a control's value reads as: nothing, its caption, or the text its back
// colour stands for.
enum class AccessibleValue { None, Caption, State };

struct ColourText {
  Color color = 0;
  std::string_view text = {};
};

struct AccessibleTable {
  std::string_view columnHeaders = {};                // control array: member i names column i
  std::span<const std::string_view> rowHeaders = {};  // the labels naming the rows
  std::span<const std::string_view> rows = {};        // control arrays: member i is the cell of column i
  // Control array whose member i's back colour says what column i's cells
  // mean together (whether they agree), as the cells read it after their text.
  std::string_view marks = {};
  std::span<const ColourText> markStates = {};
};

// A piece of what is told to a screen reader user: a text, or what the entry of
// a control reads as its value now.
struct Spoken {
  std::string_view text = {};
  std::string_view valueOf = {};
};

struct AccessibleDesign {
  AccessibleRole role = AccessibleRole::Text;
  std::string_view control = {};  // the control it stands for; a table and a group have none
  // Its name: this text, or else the caption of the label control, or else
  // the control's own caption.
  std::string_view name = {};
  std::string_view label = {};
  AccessibleValue value = AccessibleValue::None;
  std::span<const ColourText> states = {};  // for AccessibleValue::State; other colours read as ""
  const AccessibleTable* table = nullptr;
  std::span<const AccessibleDesign> members = {};  // a group's choices
  std::string_view chosenBy = {};                  // a choice: checked while this control's caption is its name
  // Place in the keyboard's Tab order, lowest first; -1 takes no focus. A group
  // or table is one stop, its members reached by the arrow keys.
  int tabIndex = -1;
  // After a press that disables it, the focus moves on to the next stop.
  bool focusNextWhenDone = false;
  // Told after a press that changed what it says.
  std::span<const Spoken> announce = {};
};

struct FormDesign {
  std::string_view name = {};
  std::string_view caption = {};
  Color backColor = sys::ButtonFace;
  int borderStyle = 2;  // 1 fixed single, 2 sizable, 4 fixed tool window
  bool maxButton = true;
  bool minButton = true;
  bool showInTaskbar = true;
  bool icon = true;
  // Where the client area opens on the screen, and its size, in twips.
  int clientLeft = 0, clientTop = 0, clientWidth = 0, clientHeight = 0;
  // Front to back within each container.
  std::span<const ControlDesign> controls;
  // The window's keys, and its controls as a screen reader meets them.
  std::span<const KeyBinding> keys = {};
  std::span<const AccessibleDesign> accessible = {};
  // Told when the window first becomes active, after its Activate handler.
  std::span<const Spoken> announceOnOpen = {};
};

}  // namespace rt
