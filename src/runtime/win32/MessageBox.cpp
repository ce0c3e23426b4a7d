#include "runtime/win32/MessageBox.h"

#include "runtime/win32/Text.h"

namespace quintarel::win32 {

int ShowMessageBox(HWND owner, std::string_view prompt, int style, std::string_view title) {
  // The runtime's style numbers are the system's: buttons in bits 0-3, icon in
  // 4-7, default button in 8-11, modality in 12-13.
  const UINT type = static_cast<UINT>(style) & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK | MB_MODEMASK);
  const int pressed = MessageBoxW(owner, Widen(prompt).c_str(), Widen(title).c_str(), type | MB_SETFOREGROUND);
  return pressed == 0 ? IDCANCEL : pressed;
}

}  // namespace quintarel::win32
