#pragma once

#include <vector>

#include "runtime/Design.h"

namespace rt {

class Control;
class Form;

// What assistive technology meets in a window, one object each.
enum class NodeKind { Group, Choice, Button, Text, Table, ColumnHeader, RowHeader, Cell };

// One object of a form's accessible tree. Its identity is its index in the
// form's tree, the same for the form's whole life and on every platform.
struct AccessibleNode {
  NodeKind kind = NodeKind::Text;
  const AccessibleDesign* entry = nullptr;  // its design entry; a table's for its cells and headers
  Control* control = nullptr;               // what it shows and a press clicks; none for a group or a table
  int parent = -1;                          // -1: the window itself
  int row = -1, column = -1;                // a table's cells; a header has only its own one
  std::vector<int> children;
};

// The design's entries as a tree, in reading order, every parent before its
// children.
std::vector<AccessibleNode> BuildAccessibleTree(const Form& form);

}  // namespace rt
