#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/Form.h"
#include "runtime/Geometry.h"
#include "runtime/Platform.h"

namespace rt {
class Runtime;
}

namespace quintarel::win32 {

class Win32Platform;

// The window of one form: its own window class, styles from the form's design,
// the client area exactly as designed, every windowless control painted from
// the model, and the command buttons as real BUTTON children. Its window
// procedure only turns messages into runtime events.
class FormWindow {
 public:
  // Opens at the outer rectangle given (the platform decides where windows open).
  FormWindow(Win32Platform& platform, rt::Runtime& runtime, rt::Form& form, HWND owner, const rt::PixelRect& outer);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // Why the system gave no window (GetLastError), when it gave none.
  DWORD CreateError() const { return createError_; }
  void Show();
  void Changed(const rt::Control* control);
  rt::PixelRect OuterRect() const;
  bool PreTranslate(MSG& msg);

  // The frame the form's window gets around its client area.
  static rt::FrameMargins Frame(const rt::FormDesign& design);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void CreateButtons();
  void PaintBuffered();
  void Paint(HDC dc, const RECT& dirty);
  void PaintControl(HDC dc, const rt::Control& control, const rt::PixelRect& dirty);
  void PaintLabel(HDC dc, const rt::Control& label);
  void PaintFrame(HDC dc, const rt::Control& frame);
  void PaintLine(HDC dc, const rt::Control& line);
  void PaintShape(HDC dc, const rt::Control& shape);
  void PaintImage(HDC dc, const rt::Control& image);
  void PaintChildren(HDC dc, const rt::Control* container, const rt::PixelRect& dirty);
  void FocusButton();

  Win32Platform& platform_;
  rt::Runtime& runtime_;
  rt::Form& form_;
  rt::ScreenInfo screen_;
  std::wstring className_;
  HWND hwnd_ = nullptr;
  DWORD createError_ = 0;
  struct Button {
    rt::Control* control;
    HWND hwnd;
  };
  std::vector<Button> buttons_;
  // The off-screen buffer that painting goes to, kept between paints.
  HDC buffer_ = nullptr;
  HBITMAP bufferBitmap_ = nullptr;
  HGDIOBJ bufferPrevious_ = nullptr;
  SIZE bufferSize_{};
};

}  // namespace quintarel::win32
