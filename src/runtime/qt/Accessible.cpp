#include "runtime/qt/Accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QWindow>
#include <string>
#include <vector>

#include "runtime/Accessible.h"
#include "runtime/Runtime.h"
#include "runtime/qt/FormWindow.h"
#include "runtime/qt/QtPlatform.h"

namespace quintarel::qt {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QAccessible::Role RoleOf(rt::NodeKind kind) {
  switch (kind) {
    case rt::NodeKind::Group:
      return QAccessible::Grouping;
    case rt::NodeKind::Choice:
      return QAccessible::RadioButton;
    case rt::NodeKind::Button:
      return QAccessible::Button;
    case rt::NodeKind::Table:
      return QAccessible::Table;
    case rt::NodeKind::ColumnHeader:
      return QAccessible::ColumnHeader;
    case rt::NodeKind::RowHeader:
      return QAccessible::RowHeader;
    case rt::NodeKind::Cell:
      return QAccessible::Cell;
    case rt::NodeKind::Text:
      break;
  }
  return QAccessible::StaticText;
}

class WindowAccessible;

// One object of the form's accessible tree, as the core describes it. A text
// reads as its name and value together (a review of the window reads the text
// interface, "where am I" the name); a table and its cells answer as a table,
// with their headers.
class NodeAccessible : public QAccessibleInterface,
                       public QAccessibleActionInterface,
                       public QAccessibleTextInterface,
                       public QAccessibleTableInterface,
                       public QAccessibleTableCellInterface {
 public:
  NodeAccessible(WindowAccessible& root, FormWindow& window, int node)
      : root_(root),
        window_(window),
        node_(node),
        kind_(window.Form().Accessible()[static_cast<std::size_t>(node)].kind) {}

  int Node() const { return node_; }
  std::string Reading() const { return rt::NodeReading(window_.Form(), node_); }
  rt::NodeState State() const { return rt::NodeStateOf(window_.Form(), node_); }

  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return window_.windowHandle(); }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int index) const override;
  int childCount() const override { return static_cast<int>(Tree().children.size()); }
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i)
      if (QAccessibleInterface* c = child(i); c && c->rect().contains(x, y)) return c;
    return nullptr;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return Text(kind_ == rt::NodeKind::Text ? Reading() : Name());
    if (t == QAccessible::Value && kind_ == rt::NodeKind::Text) return Text(rt::NodeValue(window_.Form(), node_));
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const rt::PixelRect r = rt::NodeRect(window_.Form(), node_, window_.Platform().Screen());
    return window_.ScreenRect(r);
  }
  QAccessible::Role role() const override { return RoleOf(kind_); }
  QAccessible::State state() const override {
    const rt::NodeState s = State();
    QAccessible::State state;
    state.disabled = !s.enabled;
    state.invisible = !s.visible;
    state.focusable = s.focusable;
    state.focused = s.focused && window_.isActiveWindow();
    state.checkable = s.checkable;
    state.checked = s.checked;
    state.readOnly = !s.pressable;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    const rt::NodeState s = State();
    if (type == QAccessible::ActionInterface && s.pressable) return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::TextInterface && kind_ == rt::NodeKind::Text)
      return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::TableInterface && kind_ == rt::NodeKind::Table)
      return static_cast<QAccessibleTableInterface*>(this);
    if (type == QAccessible::TableCellInterface && kind_ == rt::NodeKind::Cell)
      return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
  }

  // Press: a click, delivered from the event loop as a mouse click is, so that
  // the caller gets its answer even when the click opens a message box. Focus:
  // the runtime moves it.
  QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
  void doAction(const QString& action) override {
    rt::Runtime* runtime = &window_.Platform().Runtime();
    rt::Form* form = &window_.Form();
    const int node = node_;
    if (action == pressAction()) {
      rt::Control* control = Tree().control;
      QTimer::singleShot(0, &window_, [runtime, control] { runtime->Click(*control); });
    } else if (action == setFocusAction()) {
      QTimer::singleShot(0, &window_, [runtime, form, node] { runtime->Focus(*form, node); });
    }
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  // A text's reading, read-only.
  QString text(int start, int end) const override { return Text(Reading()).mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Text(Reading()).size()); }
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QRect characterRect(int) const override { return rect(); }
  int offsetAtPoint(const QPoint&) const override { return 0; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

  // A table.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    return Of(rt::CellNode(window_.Form(), node_, row, column));
  }
  int selectedCellCount() const override { return 0; }
  QList<QAccessibleInterface*> selectedCells() const override { return {}; }
  QString columnDescription(int column) const override {
    const int header = rt::ColumnHeaderNode(window_.Form(), node_, column);
    return header < 0 ? QString() : Text(rt::NodeName(window_.Form(), header));
  }
  QString rowDescription(int row) const override {
    const int header = rt::RowHeaderNode(window_.Form(), node_, row);
    return header < 0 ? QString() : Text(rt::NodeName(window_.Form(), header));
  }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override { return rt::TableColumnCount(window_.Form(), node_); }
  int rowCount() const override { return rt::TableRowCount(window_.Form(), node_); }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

  // A cell, with its headers as objects of their own.
  bool isSelected() const override { return false; }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    return Listed(rt::ColumnHeaderNode(window_.Form(), Tree().parent, Tree().column));
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override {
    return Listed(rt::RowHeaderNode(window_.Form(), Tree().parent, Tree().row));
  }
  int columnIndex() const override { return Tree().column; }
  int rowIndex() const override { return Tree().row; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return Of(Tree().parent); }

 private:
  const rt::AccessibleNode& Tree() const { return window_.Form().Accessible()[static_cast<std::size_t>(node_)]; }
  std::string Name() const { return rt::NodeName(window_.Form(), node_); }
  QAccessibleInterface* Of(int node) const;
  QList<QAccessibleInterface*> Listed(int node) const {
    QAccessibleInterface* iface = Of(node);
    return iface ? QList<QAccessibleInterface*>{iface} : QList<QAccessibleInterface*>{};
  }

  WindowAccessible& root_;
  FormWindow& window_;
  int node_;
  rt::NodeKind kind_;
};

// Where the window tells what the runtime announces: a notification whose name
// is the last announcement, shown anew for each.
class NotificationAccessible : public QAccessibleInterface {
 public:
  NotificationAccessible(QAccessibleInterface* parent, FormWindow& window) : parent_(parent), window_(window) {}

  void Say(const QString& text) { text_ = text; }

  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return window_.windowHandle(); }
  QAccessibleInterface* parent() const override { return parent_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? text_ : QString(); }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override { return {}; }
  QAccessible::Role role() const override { return QAccessible::Notification; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.invisible = text_.isEmpty();
    return state;
  }

 private:
  QAccessibleInterface* parent_;
  FormWindow& window_;
  QString text_;
};

// A form's window: its children are the tree's top objects in reading order,
// then the notification. A node that is a real widget (a command button) is
// that widget's own accessible object.
class WindowAccessible : public QAccessibleWidget {
 public:
  explicit WindowAccessible(FormWindow& window)
      : QAccessibleWidget(&window, QAccessible::Window), window_(window), top_(rt::TopNodes(window.Form())) {
    const auto& tree = window.Form().Accessible();
    for (std::size_t node = 0; node < tree.size(); ++node) {
      QWidget* widget = tree[node].control ? window.HostedWidget(*tree[node].control) : nullptr;
      NodeAccessible* own = widget ? nullptr : new NodeAccessible(*this, window, static_cast<int>(node));
      if (own) QAccessible::registerAccessibleInterface(own);
      nodes_.push_back({own, widget});
    }
    notification_ = new NotificationAccessible(this, window);
    QAccessible::registerAccessibleInterface(notification_);
    Remember();
  }
  ~WindowAccessible() override {
    for (const Slot& slot : nodes_)
      if (slot.own) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(slot.own));
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(notification_));
  }
  WindowAccessible(const WindowAccessible&) = delete;
  WindowAccessible& operator=(const WindowAccessible&) = delete;

  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? Text(rt::AccessibleTitle(window_.Form())) : QAccessibleWidget::text(t);
  }
  int childCount() const override { return static_cast<int>(top_.size()) + 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == static_cast<int>(top_.size())) return notification_;
    if (index < 0 || index > static_cast<int>(top_.size())) return nullptr;
    return Of(top_[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* iface) const override {
    for (int i = 0; i < childCount(); ++i)
      if (child(i) == iface) return i;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i)
      if (QAccessibleInterface* c = child(i); c && c->rect().contains(x, y)) return c;
    return nullptr;
  }

  QAccessibleInterface* Of(int node) const {
    if (node < 0 || node >= static_cast<int>(nodes_.size())) return nullptr;
    const Slot& slot = nodes_[static_cast<std::size_t>(node)];
    return slot.widget ? QAccessible::queryAccessibleInterface(slot.widget) : slot.own;
  }

  // Sends an event for every name, text and state that reads otherwise than
  // when last told.
  void Notify() {
    for (std::size_t node = 0; node < nodes_.size(); ++node) {
      NodeAccessible* own = nodes_[node].own;
      if (!own) continue;
      const Seen before = seen_[node];
      const Seen now = SeenOf(*own);
      if (now.reading != before.reading) {
        Send(own, QAccessible::NameChanged);
        if (own->interface_cast(QAccessible::TextInterface)) {
          QAccessibleTextUpdateEvent update(own, 0, Text(before.reading), Text(now.reading));
          QAccessible::updateAccessibility(&update);
        }
      }
      QAccessible::State changed;
      changed.disabled = now.state.enabled != before.state.enabled;
      changed.checked = now.state.checked != before.state.checked;
      changed.focusable = now.state.focusable != before.state.focusable;
      if (changed.disabled || changed.checked || changed.focusable) {
        QAccessibleStateChangeEvent event(own, changed);
        QAccessible::updateAccessibility(&event);
      }
    }
    Remember();
  }

  void FocusMoved() {
    Notify();
    // The focus of a window in the background is told when it comes forward.
    if (!window_.isActiveWindow()) return;
    const int node = window_.Form().FocusNode();
    if (NodeAccessible* own = node >= 0 ? nodes_[static_cast<std::size_t>(node)].own : nullptr) {
      QAccessibleEvent event(own, QAccessible::Focus);
      QAccessible::updateAccessibility(&event);
    }
  }

  void Announce(const QString& text) {
    Notify();
    notification_->Say(text);
    QAccessibleEvent name(notification_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
    QAccessibleEvent show(notification_, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&show);
  }

 private:
  struct Slot {
    NodeAccessible* own = nullptr;  // created here, registered with Qt
    QWidget* widget = nullptr;
  };
  struct Seen {
    std::string reading;
    rt::NodeState state;
  };

  static Seen SeenOf(const NodeAccessible& node) { return {node.Reading(), node.State()}; }
  void Remember() {
    seen_.clear();
    for (const Slot& slot : nodes_) seen_.push_back(slot.own ? SeenOf(*slot.own) : Seen{});
  }
  static void Send(QAccessibleInterface* iface, QAccessible::Event type) {
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
  }

  FormWindow& window_;
  std::vector<int> top_;
  std::vector<Slot> nodes_;
  NotificationAccessible* notification_ = nullptr;
  std::vector<Seen> seen_;
};

QAccessibleInterface* NodeAccessible::parent() const {
  const int parent = Tree().parent;
  return parent < 0 ? static_cast<QAccessibleInterface*>(&root_) : root_.Of(parent);
}

QAccessibleInterface* NodeAccessible::child(int index) const {
  const std::vector<int>& children = Tree().children;
  return index >= 0 && index < static_cast<int>(children.size()) ? root_.Of(children[static_cast<std::size_t>(index)])
                                                                 : nullptr;
}

int NodeAccessible::indexOfChild(const QAccessibleInterface* iface) const {
  for (int i = 0; i < childCount(); ++i)
    if (child(i) == iface) return i;
  return -1;
}

QAccessibleInterface* NodeAccessible::Of(int node) const { return root_.Of(node); }

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* window = dynamic_cast<FormWindow*>(object)) return new WindowAccessible(*window);
  return nullptr;
}

WindowAccessible* RootOf(FormWindow& window) {
  if (!QAccessible::isActive()) return nullptr;
  return dynamic_cast<WindowAccessible*>(QAccessible::queryAccessibleInterface(&window));
}

}  // namespace

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void AccessibilityChanged(FormWindow& window) {
  if (WindowAccessible* root = RootOf(window)) root->Notify();
}

void AccessibleFocusMoved(FormWindow& window) {
  if (WindowAccessible* root = RootOf(window)) root->FocusMoved();
}

void AccessibleAnnounce(FormWindow& window, const std::string& text) {
  if (WindowAccessible* root = RootOf(window)) root->Announce(Text(text));
}

}  // namespace quintarel::qt
