// The Win32 floor: a plain window with a static label and a push button,
// painted in one colour, that repaints a patch when clicked.
#include <windows.h>

#include "Floor.h"

namespace {

namespace fw = floor_window;

COLORREF ToColorRef(unsigned rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

constexpr RECT kPatch{fw::kPatchLeft, fw::kPatchTop, fw::kPatchLeft + fw::kPatchWidth,
                      fw::kPatchTop + fw::kPatchHeight};
HBRUSH background = nullptr;
HBRUSH patchBrushes[2] = {};
int patch = 0;

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      FillRect(dc, &ps.rcPaint, background);
      FillRect(dc, &kPatch, patchBrushes[patch]);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      patch ^= 1;
      InvalidateRect(hwnd, &kPatch, FALSE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  background = CreateSolidBrush(ToColorRef(fw::kBackground));
  for (int i = 0; i < 2; ++i) patchBrushes[i] = CreateSolidBrush(ToColorRef(fw::kPatchColours[i]));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = L"QuintarelFloor";
  RegisterClassExW(&wc);
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{fw::kLeft, fw::kTop, fw::kLeft + fw::kWidth, fw::kTop + fw::kHeight};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"" FLOOR_TITLE, style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  CreateWindowExW(0, L"STATIC", L"Zvolen\u00e9 \u010d\u00edslo:", WS_CHILD | WS_VISIBLE, 230, 68, 110, 16, hwnd,
                  nullptr, instance, nullptr);
  CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 330, 190, 80, 26, hwnd,
                  nullptr, instance, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
