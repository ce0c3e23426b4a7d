#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Form.h"
#include "runtime/Geometry.h"
#include "runtime/Platform.h"
#include "runtime/win32/Accessible.h"

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
  rt::Form& Form() const { return form_; }
  const rt::ScreenInfo& Screen() const { return screen_; }
  // The BUTTON window standing for the control, if it has one.
  HWND ButtonOf(const rt::Control* control) const;
  // Why the system gave no window (GetLastError), when it gave none.
  DWORD CreateError() const { return createError_; }
  void Show();
  void Changed(const rt::Control* control);
  void FocusChanged();
  void Announce(std::string_view text);
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
  // Gives the keyboard focus to the button the core's focus is on, or else
  // to the window itself, which takes the keys for the painted controls.
  void PlaceFocus();
  // Repaints where the focus frame was and where it is now.
  void UpdateFocusFrame();

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
  std::unique_ptr<WindowAccessibility> accessibility_;
  // Where the focus frame was last painted, in client pixels.
  std::optional<RECT> focusFrame_;
  bool active_ = false;
};

}  // namespace quintarel::win32
