#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/Geometry.h"
#include "runtime/Platform.h"
#include "runtime/Runtime.h"

class QAbstractNativeEventFilter;

namespace quintarel::qt {

class CursorClip;
class FormWindow;

// The runtime's ports on Qt: one window per form, created when the form is first
// shown, the message box, the screen and the pointer confinement.
class QtPlatform : public rt::Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;
  QtPlatform(const QtPlatform&) = delete;
  QtPlatform& operator=(const QtPlatform&) = delete;

  // The runtime that the windows feed their input to.
  void Attach(rt::Runtime& runtime) { runtime_ = &runtime; }
  rt::Runtime& Runtime() const { return *runtime_; }

  int MessageBox(std::string_view prompt, int style, std::string_view title) override;
  void ClipCursor(const rt::ClipRect* rect) override;
  rt::ScreenInfo Screen() const override;
  rt::PixelRect OuterRect(const rt::Form& form) const override;
  void ShowForm(rt::Form& form) override;
  void Changed(rt::Form& form, const rt::Control* control) override;
  void FocusChanged(rt::Form& form) override;
  void Announce(rt::Form& form, std::string_view text) override;
  void Quit() override;

  // Where the form's window opens, client origin in device pixels.
  rt::PixelPoint Place(const rt::FormDesign& design);
  // A native window of the program was destroyed; by anyone but the program, it
  // ends the program as its close box would.
  void WindowDestroyed(std::uintptr_t nativeId);

  // Device pixels per Qt (logical) pixel of the primary screen. The runtime
  // measures everything in device pixels; Qt's widgets in logical ones.
  double DevicePixelRatio() const;
  bool QuitRequested() const { return quit_; }
  // Whether the program's windows draw their frames themselves: on Wayland,
  // where a compositor may draw none (mutter) or one outside the surface that
  // holds the pointer (KWin).
  bool DrawsFrames() const;
  // The shown forms, in the order they were first shown.
  std::vector<rt::Form*> ShownForms() const;

 private:
  FormWindow* WindowFor(const rt::Form& form) const;

  rt::Runtime* runtime_ = nullptr;
  std::vector<std::unique_ptr<FormWindow>> windows_;
  std::unique_ptr<CursorClip> clip_;
  std::unique_ptr<QAbstractNativeEventFilter> destroyWatch_;
  rt::WindowPlacer placer_;
  bool clipChecked_ = false;
  bool quit_ = false;
};

}  // namespace quintarel::qt
