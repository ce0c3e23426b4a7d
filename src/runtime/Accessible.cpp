#include "runtime/Accessible.h"

namespace rt {

Control* AccessibleControl(const Form& form, const AccessibleDesign& entry) {
  return entry.control.empty() ? nullptr : &form.Ctl(entry.control);
}

std::string AccessibleName(const Form& form, const AccessibleDesign& entry) {
  if (!entry.name.empty()) return std::string(entry.name);
  if (!entry.label.empty()) return form.Ctl(entry.label).Caption();
  const Control* control = AccessibleControl(form, entry);
  return control ? control->Caption() : std::string();
}

std::string AccessibleValueText(const Form& form, const AccessibleDesign& entry) {
  const Control* control = AccessibleControl(form, entry);
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

int TableRows(const AccessibleTable& table) { return static_cast<int>(table.rows.size()); }

int TableColumns(const Form& form, const AccessibleTable& table) { return form.Array(table.columnHeaders).Count(); }

Control& TableCell(const Form& form, const AccessibleTable& table, int row, int column) {
  return form.Array(table.rows[static_cast<std::size_t>(row)]).Item(column);
}

std::string TableRowName(const Form& form, const AccessibleTable& table, int row) {
  return form.Ctl(table.rowHeaders[static_cast<std::size_t>(row)]).Caption();
}

std::string TableColumnName(const Form& form, const AccessibleTable& table, int column) {
  return form.Array(table.columnHeaders).Item(column).Caption();
}

}  // namespace rt
