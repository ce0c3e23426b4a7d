#include "runtime/qt/Accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Accessible.h"
#include "runtime/Runtime.h"
#include "runtime/qt/FormWindow.h"
#include "runtime/qt/QtPlatform.h"

namespace quintarel::qt {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// What the controls' accessible objects have in common: no children, no focus,
// a place on the screen. The window is their parent.
class Leaf : public QAccessibleInterface {
 public:
  explicit Leaf(QAccessibleInterface* parent, FormWindow& window) : parent_(parent), window_(window) {}

  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return window_.windowHandle(); }
  QAccessibleInterface* parent() const override { return parent_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}

 protected:
  QAccessibleInterface* parent_;
  FormWindow& window_;
};

// A control that the design exposes: a button to press, or a text with a value
// (its text interface reads the value, read-only).
class ControlAccessible : public Leaf, public QAccessibleActionInterface, public QAccessibleTextInterface {
 public:
  ControlAccessible(QAccessibleInterface* parent, FormWindow& window, const rt::AccessibleDesign& entry)
      : Leaf(parent, window), entry_(entry), control_(*rt::AccessibleControl(window.Form(), entry)) {}

  std::string Name() const { return rt::AccessibleName(window_.Form(), entry_); }
  std::string Value() const { return rt::AccessibleValueText(window_.Form(), entry_); }
  bool Enabled() const { return control_.Enabled(); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return Text(Name());
    if (t == QAccessible::Value || t == QAccessible::Description) return Text(Value());
    return {};
  }
  QRect rect() const override { return window_.ScreenRect(control_); }
  QAccessible::Role role() const override {
    return entry_.role == rt::AccessibleRole::Button ? QAccessible::Button : QAccessible::StaticText;
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.disabled = !control_.Enabled();
    state.invisible = !control_.Visible();
    state.readOnly = entry_.role != rt::AccessibleRole::Button;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface && entry_.role == rt::AccessibleRole::Button)
      return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::TextInterface && entry_.value != rt::AccessibleValue::None)
      return static_cast<QAccessibleTextInterface*>(this);
    return nullptr;
  }

  // Press: a click, delivered from the event loop as a mouse click is, so that
  // the caller gets its answer even when the click opens a message box.
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action != pressAction()) return;
    rt::Control* control = &control_;
    rt::Runtime* runtime = &window_.Platform().Runtime();
    QTimer::singleShot(0, &window_, [runtime, control] { runtime->Click(*control); });
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  // The value as read-only text.
  QString text(int start, int end) const override { return Text(Value()).mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Text(Value()).size()); }
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

 private:
  const rt::AccessibleDesign& entry_;
  rt::Control& control_;
};

class TableAccessible;

class CellAccessible : public Leaf, public QAccessibleTableCellInterface {
 public:
  CellAccessible(TableAccessible& table, FormWindow& window, const rt::Control& control, int row, int column);

  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? Text(control_.Caption()) : QString();
  }
  QRect rect() const override { return window_.ScreenRect(control_); }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
  }

  bool isSelected() const override { return false; }
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return row_; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent_; }

 private:
  const rt::Control& control_;
  int row_, column_;
};

// A table of control arrays: each row an array, each column one member of each.
class TableAccessible : public QAccessibleInterface, public QAccessibleTableInterface {
 public:
  TableAccessible(QAccessibleInterface* parent, FormWindow& window, const rt::AccessibleDesign& entry)
      : parent_(parent), window_(window), entry_(entry), table_(*entry.table) {
    const rt::Form& form = window.Form();
    for (int row = 0; row < rt::TableRows(table_); ++row)
      for (int column = 0; column < rt::TableColumns(form, table_); ++column) {
        cells_.push_back(new CellAccessible(*this, window, rt::TableCell(form, table_, row, column), row, column));
        QAccessible::registerAccessibleInterface(cells_.back());
      }
  }
  ~TableAccessible() override {
    for (CellAccessible* cell : cells_) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cell));
  }
  TableAccessible(const TableAccessible&) = delete;
  TableAccessible& operator=(const TableAccessible&) = delete;

  bool isValid() const override { return true; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return window_.windowHandle(); }
  QAccessibleInterface* parent() const override { return parent_; }
  QAccessibleInterface* child(int index) const override {
    return index >= 0 && index < childCount() ? cells_[static_cast<std::size_t>(index)] : nullptr;
  }
  int childCount() const override { return static_cast<int>(cells_.size()); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < cells_.size(); ++i)
      if (cells_[i] == child) return static_cast<int>(i);
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (CellAccessible* cell : cells_)
      if (cell->rect().contains(x, y)) return cell;
    return nullptr;
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? Text(rt::AccessibleName(window_.Form(), entry_)) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    QRect united;
    for (CellAccessible* cell : cells_) united = united.united(cell->rect());
    return united;
  }
  QAccessible::Role role() const override { return QAccessible::Table; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
  }

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    return cells_[static_cast<std::size_t>(row * columnCount() + column)];
  }
  int selectedCellCount() const override { return 0; }
  QList<QAccessibleInterface*> selectedCells() const override { return {}; }
  QString columnDescription(int column) const override {
    return Text(rt::TableColumnName(window_.Form(), table_, column));
  }
  QString rowDescription(int row) const override { return Text(rt::TableRowName(window_.Form(), table_, row)); }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return 0; }
  int columnCount() const override { return rt::TableColumns(window_.Form(), table_); }
  int rowCount() const override { return rt::TableRows(table_); }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int) const override { return false; }
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

  // What the cells read now, to tell what the program changed.
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (CellAccessible* cell : cells_) captions.push_back(cell->text(QAccessible::Name).toStdString());
    return captions;
  }
  CellAccessible* Cell(std::size_t index) const { return cells_[index]; }

 private:
  QAccessibleInterface* parent_;
  FormWindow& window_;
  const rt::AccessibleDesign& entry_;
  const rt::AccessibleTable& table_;
  std::vector<CellAccessible*> cells_;
};

CellAccessible::CellAccessible(TableAccessible& table, FormWindow& window, const rt::Control& control, int row,
                               int column)
    : Leaf(&table, window), control_(control), row_(row), column_(column) {}

// A form's window: its children are the controls its design exposes, in the
// design's order; a control that is a real widget (a command button) is that
// widget's own accessible object.
class WindowAccessible : public QAccessibleWidget {
 public:
  explicit WindowAccessible(FormWindow& window) : QAccessibleWidget(&window, QAccessible::Window), window_(window) {
    for (const rt::AccessibleDesign& entry : window.Form().Design().accessible) {
      Child child{&entry};
      if (entry.table) {
        child.table = new TableAccessible(this, window, entry);
        child.own = child.table;
      } else if (QWidget* widget = window.HostedWidget(*rt::AccessibleControl(window.Form(), entry))) {
        child.widget = widget;
      } else {
        child.control = new ControlAccessible(this, window, entry);
        child.own = child.control;
      }
      if (child.own) QAccessible::registerAccessibleInterface(child.own);
      children_.push_back(child);
    }
    Remember();
  }
  ~WindowAccessible() override {
    for (const Child& child : children_)
      if (child.own) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(child.own));
  }
  WindowAccessible(const WindowAccessible&) = delete;
  WindowAccessible& operator=(const WindowAccessible&) = delete;

  int childCount() const override { return static_cast<int>(children_.size()); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    const Child& c = children_[static_cast<std::size_t>(index)];
    return c.widget ? QAccessible::queryAccessibleInterface(c.widget) : c.own;
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

  // Sends an event for every name, value, state and cell that reads otherwise
  // than when last told.
  void Notify() {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      const Child& c = children_[i];
      const Seen before = seen_[i];
      if (c.control) {
        const Seen now = SeenOf(c);
        if (now.name != before.name) Send(c.control, QAccessible::NameChanged);
        if (now.value != before.value) {
          QAccessibleTextUpdateEvent update(c.control, 0, Text(before.value), Text(now.value));
          QAccessible::updateAccessibility(&update);
          Send(c.control, QAccessible::DescriptionChanged);
        }
        if (now.enabled != before.enabled) {
          QAccessible::State changed;
          changed.disabled = true;
          QAccessibleStateChangeEvent event(c.control, changed);
          QAccessible::updateAccessibility(&event);
        }
      } else if (c.table) {
        const std::vector<std::string> now = c.table->Captions();
        for (std::size_t k = 0; k < now.size() && k < before.cells.size(); ++k)
          if (now[k] != before.cells[k]) Send(c.table->Cell(k), QAccessible::NameChanged);
      }
    }
    Remember();
  }

 private:
  struct Child {
    const rt::AccessibleDesign* entry = nullptr;
    QAccessibleInterface* own = nullptr;  // created here, registered with Qt
    ControlAccessible* control = nullptr;
    TableAccessible* table = nullptr;
    QWidget* widget = nullptr;
  };
  struct Seen {
    std::string name, value;
    bool enabled = true;
    std::vector<std::string> cells;
  };

  static Seen SeenOf(const Child& c) {
    Seen seen;
    if (c.control) seen = {c.control->Name(), c.control->Value(), c.control->Enabled(), {}};
    if (c.table) seen.cells = c.table->Captions();
    return seen;
  }
  void Remember() {
    seen_.clear();
    for (const Child& c : children_) seen_.push_back(SeenOf(c));
  }
  static void Send(QAccessibleInterface* iface, QAccessible::Event type) {
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
  }

  FormWindow& window_;
  std::vector<Child> children_;
  std::vector<Seen> seen_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* window = dynamic_cast<FormWindow*>(object)) return new WindowAccessible(*window);
  return nullptr;
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
  if (!QAccessible::isActive()) return;
  if (auto* iface = dynamic_cast<WindowAccessible*>(QAccessible::queryAccessibleInterface(&window))) iface->Notify();
}

}  // namespace quintarel::qt
