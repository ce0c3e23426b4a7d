#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>

#include "runtime/Geometry.h"
#include "runtime/Platform.h"
#include "runtime/win32/Fonts.h"

namespace rt {
class Runtime;
}

namespace quintarel::win32 {

class FormWindow;

// The runtime's ports on user32 and gdi32: one FormWindow per form, created when
// the form is first shown.
class Win32Platform : public rt::Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The runtime that input is delivered to; set before the program starts.
  void Attach(rt::Runtime& runtime) { runtime_ = &runtime; }

  int MessageBox(std::string_view prompt, int style, std::string_view title) override;
  void ClipCursor(const rt::ClipRect* rect) override;
  // Applies the program's hold as things stand: the rectangle it asked for
  // while the window it held for is shown and not minimised, nothing
  // otherwise. Called again whenever that may have changed: the system's move
  // loop frees the cursor, and a minimised window holds nothing until restored.
  void ApplyClip() const;
  // The window comes back to the front: the system let go of the cursor when
  // another program's window came in front of it, and the hold resumes.
  void Reactivated(HWND window) const;
  rt::ScreenInfo Screen() const override;
  rt::PixelRect OuterRect(const rt::Form& form) const override;
  void ShowForm(rt::Form& form) override;
  void Changed(rt::Form& form, const rt::Control* control) override;
  void FocusChanged(rt::Form& form) override;
  void Announce(rt::Form& form, std::string_view text) override;
  void Quit() override;
  // The status the program ends with, once it is ending. The event loop stops
  // on it too: a menu's or dialog's own loop may take the quit message and
  // never pass it on.
  std::optional<int> ExitCode() const { return exitCode_; }

  // Hands a queued message to the keyboard handling of its window, if that
  // window wants it (Enter and Space for a command button).
  bool PreTranslate(MSG& msg) const;

  // Closes every window; called when the event loop has ended, while the
  // program's forms still exist for the messages that closing sends.
  void DestroyWindows();
  // Whether the windows are going because the program is tearing them down,
  // not because someone else destroyed one.
  bool TearingDown() const { return tearingDown_; }

  HWND MainWindow() const;
  Fonts& FontCache() { return fonts_; }
  HINSTANCE Instance() const { return instance_; }

 private:
  FormWindow* WindowOf(const rt::Form& form) const;
  // The outer rectangle the form's window opens at, as the placer decides it
  // for the monitor that holds the form's wanted place.
  rt::PixelRect Placement(const rt::Form& form, rt::WindowPlacer& placer) const;
  void Exit(int code);

  HINSTANCE instance_;
  rt::Runtime* runtime_ = nullptr;
  Fonts fonts_;
  std::map<const rt::Form*, std::unique_ptr<FormWindow>> windows_;
  const rt::Form* first_ = nullptr;
  rt::WindowPlacer placer_;
  bool tearingDown_ = false;
  std::optional<int> exitCode_;
  std::optional<RECT> clip_;
  HWND clipWindow_ = nullptr;
  mutable bool holding_ = false;  // the rectangle applied, as far as the program knows
  // The system's pixels per inch, once asked.
  mutable int dpiX_ = 0, dpiY_ = 0;
};

}  // namespace quintarel::win32
