#pragma once

#include <string_view>

class QWidget;

namespace quintarel::qt {

// The runtime's message box: modal to the whole program, one OK button, the
// critical icon for style 16. Returns the button pressed (1: OK).
int ShowMessageBox(QWidget* owner, std::string_view prompt, int style, std::string_view title);

}  // namespace quintarel::qt
