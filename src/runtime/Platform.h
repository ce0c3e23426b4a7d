#pragma once

#include <cstdint>
#include <string_view>

namespace rt {

class Form;
class Control;

struct PixelPoint {
  int x = 0, y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool Contains(PixelPoint p) const { return p.x >= left && p.x < left + width && p.y >= top && p.y < top + height; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The rectangle ClipCursor takes, in screen pixels.
struct ClipRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ClipRect&, const ClipRect&) = default;
};

struct ScreenInfo {
  int widthPx = 1024, heightPx = 768;
  float twipsPerPixelX = 15.0f, twipsPerPixelY = 15.0f;
};

// What a platform backend provides to the runtime. The test suite has a recording
// fake of it.
class Platform {
 public:
  virtual ~Platform() = default;

  // Modal; returns the button pressed (1 for OK).
  virtual int MessageBox(std::string_view prompt, int style, std::string_view title) = 0;
  // Confines the pointer to the rectangle; nullptr frees it.
  virtual void ClipCursor(const ClipRect* rect) = 0;
  virtual ScreenInfo Screen() const = 0;
  // The form's window frame on the screen, in pixels.
  virtual PixelRect OuterRect(const Form& form) const = 0;

  // Makes the form's window visible (modeless) and brings it to the front.
  virtual void ShowForm(Form& form) = 0;
  // A property of the control (or of the form, when control is null) changed.
  virtual void Changed(Form& form, const Control* control) = 0;
  // The keyboard focus moved within the form's window, to form.FocusNode().
  virtual void FocusChanged(Form& form) = 0;
  // Tells a screen reader user this now, without moving the focus.
  virtual void Announce(Form& form, std::string_view text) = 0;
  // End: leave the event loop; the process exits 0.
  virtual void Quit() = 0;
};

}  // namespace rt
