#pragma once

#include <windows.h>

#include <string_view>

namespace quintarel::win32 {

// The runtime's message box on MessageBoxW: modal to the owner, the style's
// button and icon bits passed on (16 is MB_OK | MB_ICONERROR). Returns the
// button pressed, numbered as the runtime numbers them (1 OK).
int ShowMessageBox(HWND owner, std::string_view prompt, int style, std::string_view title);

}  // namespace quintarel::win32
