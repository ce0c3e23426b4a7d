#pragma once

#include <string_view>

namespace quintarel::web {

// The runtime's message box as a modal dialog of the page: the program waits
// in it, as in a desktop's nested loop, until OK (or Escape) answers it.
int ShowMessageBox(std::string_view prompt, int style, std::string_view title);

}  // namespace quintarel::web
