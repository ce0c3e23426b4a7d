#pragma once

#include <string>

#include "runtime/Design.h"
#include "runtime/Form.h"

// What assistive technology reads off a form: the names, values and cells of
// the controls its design exposes, from their current properties. Backends
// present these through their platform's accessibility and send a press to
// Runtime::Click, like a click.
namespace rt {

// The control the entry stands for; null for a table.
Control* AccessibleControl(const Form& form, const AccessibleDesign& entry);
std::string AccessibleName(const Form& form, const AccessibleDesign& entry);
std::string AccessibleValueText(const Form& form, const AccessibleDesign& entry);

int TableRows(const AccessibleTable& table);
int TableColumns(const Form& form, const AccessibleTable& table);
Control& TableCell(const Form& form, const AccessibleTable& table, int row, int column);
std::string TableRowName(const Form& form, const AccessibleTable& table, int row);
std::string TableColumnName(const Form& form, const AccessibleTable& table, int column);

}  // namespace rt
