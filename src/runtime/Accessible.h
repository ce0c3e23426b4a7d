#pragma once

#include <optional>
#include <span>
#include <string>

#include "runtime/AccessibleTree.h"
#include "runtime/Design.h"
#include "runtime/Form.h"
#include "runtime/Keys.h"
#include "runtime/Platform.h"

// What assistive technology reads off a form, and how the keyboard focus moves
// over it: the objects of the form's accessible tree with their names, values
// and states from the controls' current properties. Backends present these
// through their platform's accessibility, send a press to Runtime::Click, like
// a click, and read where the focus is from Form::FocusNode.
namespace rt {

// The window's name: its caption without the design's padding.
std::string AccessibleTitle(const Form& form);

// An entry's name and value, as the design words them.
std::string AccessibleName(const Form& form, const AccessibleDesign& entry);
std::string AccessibleValueText(const Form& form, const AccessibleDesign& entry);

// A node's name (a cell: its text and what its column's mark says) and value.
std::string NodeName(const Form& form, int node);
std::string NodeValue(const Form& form, int node);
// The node as one text, name and value: what a review of the window reads.
std::string NodeReading(const Form& form, int node);

struct NodeState {
  bool enabled = true;
  bool visible = true;
  bool focusable = false;
  bool focused = false;
  bool checkable = false;
  bool checked = false;
  bool pressable = false;
};
NodeState NodeStateOf(const Form& form, int node);

// Where the node lies in the window's client area, in pixels: its control's
// rectangle, or all its children's.
PixelRect NodeRect(const Form& form, int node, const ScreenInfo& screen);

// The nodes directly in the window, in reading order.
std::vector<int> TopNodes(const Form& form);
// The node standing for the control (or labelled by it, lying over it), or -1.
int NodeOf(const Form& form, const Control& control);
// A table's cell, and its row's and column's headers; -1 where there is none.
int CellNode(const Form& form, int table, int row, int column);
int RowHeaderNode(const Form& form, int table, int row);
int ColumnHeaderNode(const Form& form, int table, int column);
int TableRowCount(const Form& form, int table);
int TableColumnCount(const Form& form, int table);

// The keyboard focus. The stops in Tab order, each a node that takes the focus
// now: a group by its checked (else its first enabled) choice, a table by its
// focused (else its first) cell.
std::vector<int> TabStops(const Form& form);
// Where Tab (backwards: Shift+Tab) goes from the node; -1 when nothing takes the focus.
int NextStop(const Form& form, int from, bool backwards);
// Where an arrow key goes from the node: the neighbour choice in its group
// (round the group) or the neighbour cell in its table; -1: the key moves nothing.
int ArrowTarget(const Form& form, int from, Key key);

// Where the window marks the keyboard focus on a painted control: a dotted
// frame round it, in client pixels. None while the focus is on a command
// button (which marks it itself) or nowhere, and until the keyboard has moved
// the focus in the window.
std::optional<PixelRect> FocusFrame(const Form& form, const ScreenInfo& screen);

// The spoken parts as one text.
std::string SpokenText(const Form& form, std::span<const Spoken> parts);

}  // namespace rt
