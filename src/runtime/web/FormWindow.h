#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/Form.h"
#include "runtime/Frame.h"
#include "runtime/Geometry.h"
#include "runtime/web/Accessible.h"

namespace quintarel::web {

class WebPlatform;

// A form's window in the page: a canvas the program paints, the classic frame
// of its design included, with its command buttons as real buttons over it.
// Turns the page's mouse and keys into runtime events; the runtime does the
// hit-testing, the frame rule says what the frame's parts do.
class FormWindow {
 public:
  FormWindow(int id, rt::Form& form, WebPlatform& platform, rt::PixelPoint clientOrigin);

  int Id() const { return id_; }
  rt::Form& Form() const { return form_; }
  WebPlatform& Platform() const { return platform_; }
  rt::ScreenInfo Screen() const;
  WindowAccessibility& Accessibility() const { return *accessibility_; }
  // Which of the page's buttons stands for the control; -1: none does.
  int ButtonIndex(const rt::Control* control) const;
  const rt::FrameLayout& Frame() const { return frame_; }
  // The outer rectangle on the page's screen, in device pixels.
  rt::PixelRect OuterRect() const;
  bool Shown() const { return shown_; }
  bool Active() const;

  void Show();
  void Hide();
  // Paints it all anew: the page keeps no stale pixels between two paints.
  // Inside an event of the page's, at its end.
  void Paint();
  void PaintNow();
  void Refresh(const rt::Control* changed);
  void FocusChanged();

  // Input from the page: a point in the window's device pixels, its frame's
  // top-left (0, 0).
  void MouseDown(rt::PixelPoint window);
  void MouseMove(rt::PixelPoint window);
  void MouseUp(rt::PixelPoint window);
  void Key(int key, int modifiers, bool repeat);
  void ButtonClicked(int index);

 private:
  rt::PixelPoint ClientPoint(rt::PixelPoint window) const;
  // A control's rectangle in the window's pixels, frame included.
  rt::PixelRect InWindow(const rt::Control& control) const;
  void PaintFrame();
  void PaintControls(const rt::Control* container);
  void PaintControl(const rt::Control& control);
  void PaintLabel(const rt::Control& control);
  void PaintFrameControl(const rt::Control& control);
  void PlaceButtons();
  // The command button under a client point, for a press the page's own
  // button can't take (the pointer held, the press at the drawn cursor).
  int ButtonAt(rt::PixelPoint client) const;

  int id_;
  rt::Form& form_;
  WebPlatform& platform_;
  rt::FrameLayout frame_;
  rt::FrameMouse frameMouse_;
  rt::PixelPoint origin_;                   // the outer top-left on the screen
  std::optional<rt::PixelPoint> dragFrom_;  // a title bar drag: where the pointer took the window
  std::vector<const rt::Control*> buttons_;
  int pressedButton_ = -1;
  bool shown_ = false;
  std::unique_ptr<WindowAccessibility> accessibility_;
};

}  // namespace quintarel::web
