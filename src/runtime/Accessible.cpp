#include "runtime/Accessible.h"

#include <algorithm>
#include <utility>

#include "runtime/Geometry.h"

namespace rt {

namespace {

const AccessibleNode& At(const Form& form, int node) { return form.Accessible()[static_cast<std::size_t>(node)]; }

int Add(std::vector<AccessibleNode>& nodes, NodeKind kind, const AccessibleDesign& entry, Control* control, int parent,
        int row = -1, int column = -1) {
  AccessibleNode node;
  node.kind = kind;
  node.entry = &entry;
  node.control = control;
  node.parent = parent;
  node.row = row;
  node.column = column;
  const int index = static_cast<int>(nodes.size());
  if (node.parent >= 0) nodes[static_cast<std::size_t>(node.parent)].children.push_back(index);
  nodes.push_back(std::move(node));
  return index;
}

Control* ControlOf(const Form& form, const AccessibleDesign& entry) {
  return entry.control.empty() ? nullptr : &form.Ctl(entry.control);
}

NodeKind KindOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::Button:
      return NodeKind::Button;
    case AccessibleRole::Choice:
      return NodeKind::Choice;
    case AccessibleRole::Group:
      return NodeKind::Group;
    case AccessibleRole::Table:
      return NodeKind::Table;
    case AccessibleRole::Text:
      break;
  }
  return NodeKind::Text;
}

// The node directly in the window that holds this one.
int TopOf(const Form& form, int node) {
  while (At(form, node).parent >= 0) node = At(form, node).parent;
  return node;
}

bool Takes(const Form& form, int node) {
  const Control* control = At(form, node).control;
  return !control || (control->Enabled() && control->Visible());
}

bool Checked(const Form& form, int node) {
  const AccessibleNode& n = At(form, node);
  return n.kind == NodeKind::Choice && !n.entry->chosenBy.empty() &&
         form.Ctl(n.entry->chosenBy).Caption() == AccessibleName(form, *n.entry);
}

// The Tab order of the window's own nodes: by tab index, then reading order.
std::pair<int, int> OrderOf(const Form& form, int node) {
  const int top = TopOf(form, node);
  return {At(form, top).entry->tabIndex, top};
}

// The node of the stop's group or table that holds the focus now, or -1.
int FocusWithin(const Form& form, int top) {
  const int focus = form.FocusNode();
  return focus >= 0 && focus != top && TopOf(form, focus) == top ? focus : -1;
}

int StopOf(const Form& form, int top) {
  const AccessibleNode& n = At(form, top);
  switch (n.kind) {
    case NodeKind::Button:
    case NodeKind::Choice:
      return Takes(form, top) ? top : -1;
    case NodeKind::Group: {
      if (int focus = FocusWithin(form, top); focus >= 0 && Takes(form, focus)) return focus;
      int first = -1;
      for (int member : n.children) {
        if (!Takes(form, member)) continue;
        if (Checked(form, member)) return member;
        if (first < 0) first = member;
      }
      return first;
    }
    case NodeKind::Table: {
      if (int focus = FocusWithin(form, top); focus >= 0 && At(form, focus).kind == NodeKind::Cell) return focus;
      return CellNode(form, top, 0, 0);
    }
    default:
      return -1;
  }
}

}  // namespace

std::vector<AccessibleNode> BuildAccessibleTree(const Form& form) {
  std::vector<AccessibleNode> nodes;
  for (const AccessibleDesign& entry : form.Design().accessible) {
    const int node = Add(nodes, KindOf(entry.role), entry, ControlOf(form, entry), -1);
    for (const AccessibleDesign& member : entry.members)
      Add(nodes, KindOf(member.role), member, ControlOf(form, member), node);
    if (const AccessibleTable* table = entry.table) {
      const ControlArray& headers = form.Array(table->columnHeaders);
      for (int column = 0; column < headers.Count(); ++column)
        Add(nodes, NodeKind::ColumnHeader, entry, &headers.Item(column), node, -1, column);
      for (std::size_t row = 0; row < table->rows.size(); ++row) {
        const int r = static_cast<int>(row);
        Add(nodes, NodeKind::RowHeader, entry, &form.Ctl(table->rowHeaders[row]), node, r);
        const ControlArray& cells = form.Array(table->rows[row]);
        for (int column = 0; column < cells.Count(); ++column)
          Add(nodes, NodeKind::Cell, entry, &cells.Item(column), node, r, column);
      }
    }
  }
  return nodes;
}

std::string AccessibleTitle(const Form& form) {
  const std::string_view caption = form.Design().caption;
  const std::size_t first = caption.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(caption.substr(first, caption.find_last_not_of(' ') - first + 1));
}

std::string AccessibleName(const Form& form, const AccessibleDesign& entry) {
  if (!entry.name.empty()) return std::string(entry.name);
  if (!entry.label.empty()) return form.Ctl(entry.label).Caption();
  const Control* control = ControlOf(form, entry);
  return control ? control->Caption() : std::string();
}

std::string AccessibleValueText(const Form& form, const AccessibleDesign& entry) {
  const Control* control = ControlOf(form, entry);
  if (!control) return {};
  switch (entry.value) {
    case AccessibleValue::None:
      return {};
    case AccessibleValue::Caption:
      return control->Caption();
    case AccessibleValue::State:
      for (const ColourText& state : entry.states)
        if (state.color == control->BackColor()) return std::string(state.text);
      return {};
  }
  return {};
}

std::string NodeName(const Form& form, int node) {
  const AccessibleNode& n = At(form, node);
  switch (n.kind) {
    case NodeKind::ColumnHeader:
    case NodeKind::RowHeader:
      return n.control->Caption();
    case NodeKind::Cell: {
      std::string name = n.control->Caption();
      const AccessibleTable& table = *n.entry->table;
      if (table.marks.empty()) return name;
      const Color mark = form.Array(table.marks).Item(n.column).BackColor();
      for (const ColourText& state : table.markStates)
        if (state.color == mark) return name + ", " + std::string(state.text);
      return name;
    }
    default:
      return AccessibleName(form, *n.entry);
  }
}

std::string NodeValue(const Form& form, int node) {
  const AccessibleNode& n = At(form, node);
  return n.kind == NodeKind::Text ? AccessibleValueText(form, *n.entry) : std::string();
}

std::string NodeReading(const Form& form, int node) {
  std::string reading = NodeName(form, node);
  const std::string value = NodeValue(form, node);
  if (!value.empty()) reading += (reading.empty() ? "" : " ") + value;
  return reading;
}

NodeState NodeStateOf(const Form& form, int node) {
  const AccessibleNode& n = At(form, node);
  NodeState state;
  if (n.control) {
    state.enabled = n.control->Enabled();
    state.visible = n.control->Visible();
  } else if (n.kind == NodeKind::Group) {
    state.enabled = std::any_of(n.children.begin(), n.children.end(), [&](int c) { return Takes(form, c); });
  }
  const bool stopKind = n.kind == NodeKind::Button || n.kind == NodeKind::Choice || n.kind == NodeKind::Cell;
  state.focusable = stopKind && At(form, TopOf(form, node)).entry->tabIndex >= 0 && state.enabled && state.visible;
  state.focused = form.FocusNode() == node;
  state.checkable = n.kind == NodeKind::Choice;
  state.checked = Checked(form, node);
  state.pressable = n.kind == NodeKind::Button || n.kind == NodeKind::Choice;
  return state;
}

PixelRect NodeRect(const Form& form, int node, const ScreenInfo& screen) {
  const AccessibleNode& n = At(form, node);
  if (n.control) return ControlRect(*n.control, screen);
  PixelRect all{};
  bool any = false;
  for (int child : n.children) {
    const PixelRect r = NodeRect(form, child, screen);
    if (!any) {
      all = r;
      any = true;
      continue;
    }
    const int right = std::max(all.left + all.width, r.left + r.width);
    const int bottom = std::max(all.top + all.height, r.top + r.height);
    all.left = std::min(all.left, r.left);
    all.top = std::min(all.top, r.top);
    all.width = right - all.left;
    all.height = bottom - all.top;
  }
  return all;
}

std::vector<int> TopNodes(const Form& form) {
  std::vector<int> top;
  for (std::size_t i = 0; i < form.Accessible().size(); ++i)
    if (form.Accessible()[i].parent < 0) top.push_back(static_cast<int>(i));
  return top;
}

int NodeOf(const Form& form, const Control& control) {
  for (std::size_t i = 0; i < form.Accessible().size(); ++i)
    if (form.Accessible()[i].control == &control) return static_cast<int>(i);
  // A label over its control (a box's digit) takes the click for it.
  for (std::size_t i = 0; i < form.Accessible().size(); ++i) {
    const AccessibleNode& node = form.Accessible()[i];
    if (node.control && node.entry->label == control.Name() && control.Index() < 0) return static_cast<int>(i);
  }
  return -1;
}

int CellNode(const Form& form, int table, int row, int column) {
  for (int child : At(form, table).children)
    if (At(form, child).kind == NodeKind::Cell && At(form, child).row == row && At(form, child).column == column)
      return child;
  return -1;
}

int RowHeaderNode(const Form& form, int table, int row) {
  for (int child : At(form, table).children)
    if (At(form, child).kind == NodeKind::RowHeader && At(form, child).row == row) return child;
  return -1;
}

int ColumnHeaderNode(const Form& form, int table, int column) {
  for (int child : At(form, table).children)
    if (At(form, child).kind == NodeKind::ColumnHeader && At(form, child).column == column) return child;
  return -1;
}

int TableRowCount(const Form& form, int table) {
  const AccessibleTable* t = At(form, table).entry->table;
  return t ? static_cast<int>(t->rows.size()) : 0;
}

int TableColumnCount(const Form& form, int table) {
  const AccessibleTable* t = At(form, table).entry->table;
  return t ? form.Array(t->columnHeaders).Count() : 0;
}

std::vector<int> TabStops(const Form& form) {
  std::vector<int> tops;
  for (int top : TopNodes(form))
    if (At(form, top).entry->tabIndex >= 0) tops.push_back(top);
  std::stable_sort(tops.begin(), tops.end(),
                   [&](int a, int b) { return At(form, a).entry->tabIndex < At(form, b).entry->tabIndex; });
  std::vector<int> stops;
  for (int top : tops)
    if (int stop = StopOf(form, top); stop >= 0) stops.push_back(stop);
  return stops;
}

int NextStop(const Form& form, int from, bool backwards) {
  const std::vector<int> stops = TabStops(form);
  if (stops.empty()) return -1;
  if (from < 0) return backwards ? stops.back() : stops.front();
  const std::pair<int, int> here = OrderOf(form, from);
  if (!backwards) {
    for (int stop : stops)
      if (OrderOf(form, stop) > here) return stop;
    return stops.front();
  }
  for (auto it = stops.rbegin(); it != stops.rend(); ++it)
    if (OrderOf(form, *it) < here) return *it;
  return stops.back();
}

int ArrowTarget(const Form& form, int from, Key key) {
  if (from < 0) return -1;
  const AccessibleNode& n = At(form, from);
  const bool back = key == Key::Left || key == Key::Up;
  if (n.kind == NodeKind::Choice && n.parent >= 0) {
    const std::vector<int>& members = At(form, n.parent).children;
    const auto count = static_cast<int>(members.size());
    const auto at = static_cast<int>(std::find(members.begin(), members.end(), from) - members.begin());
    for (int step = 1; step < count; ++step) {
      const int next = members[static_cast<std::size_t>((at + (back ? count - step : step)) % count)];
      if (Takes(form, next)) return next;
    }
    return -1;
  }
  if (n.kind == NodeKind::Cell) {
    const int row = n.row + (key == Key::Up ? -1 : key == Key::Down ? 1 : 0);
    const int column = n.column + (key == Key::Left ? -1 : key == Key::Right ? 1 : 0);
    return CellNode(form, n.parent, row, column);
  }
  return -1;
}

std::optional<PixelRect> FocusFrame(const Form& form, const ScreenInfo& screen) {
  const int node = form.FocusNode();
  if (node < 0 || !form.FocusCues()) return std::nullopt;
  const Control* control = At(form, node).control;
  if (control && control->Kind() == ControlKind::CommandButton) return std::nullopt;
  PixelRect r = NodeRect(form, node, screen);
  return PixelRect{r.left - 1, r.top - 1, r.width + 2, r.height + 2};
}

std::string SpokenText(const Form& form, std::span<const Spoken> parts) {
  std::string text;
  for (const Spoken& part : parts) {
    text += part.text;
    if (part.valueOf.empty()) continue;
    for (const AccessibleNode& node : form.Accessible())
      if (node.entry && node.entry->control == part.valueOf && node.kind != NodeKind::Cell) {
        text += AccessibleValueText(form, *node.entry);
        break;
      }
  }
  return text;
}

}  // namespace rt
