#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/Caption.h"
#include "runtime/Color.h"
#include "runtime/Design.h"
#include "runtime/Geometry.h"
#include "runtime/Platform.h"

// The classic window frame, for the desktops where the program draws its
// windows' frames itself (native Wayland, the browser): its metrics, its parts
// and what a click on each does, and how it looks. Every backend that draws a
// frame takes it from here, so the frames look and answer alike everywhere.
// Pixels are the device's, in the window: (0, 0) is the frame's top-left.
namespace rt {

enum class FramePart { Outside, Client, Border, Caption, Icon, Minimize, Close };

struct FrameLayout {
  int unit = 1;  // device pixels to one pixel of a 96 dpi desktop
  PixelSize outer;
  PixelRect client;
  PixelRect caption;   // the title bar
  PixelRect icon;      // empty: none
  PixelRect title;     // where the caption's text goes
  PixelRect minimize;  // empty: none
  PixelRect close;
  bool toolWindow = false;  // the narrow title bar of a tool window
};

// The frame of the form's border style around its designed client area: a
// fixed frame with the window's icon, its caption, a minimize box where the
// design has one, and the close box; a tool window's narrow bar has the close
// box alone. The program's windows are fixed: no maximize box and no sizing
// border on any of them.
FrameLayout LayOutFrame(const FormDesign& form, const ScreenInfo& screen);

FramePart HitFrame(const FrameLayout& frame, PixelPoint window);

// The font of the title bar's text.
inline constexpr FontDesign kCaptionFont{"MS Sans Serif", 8.25, true, 238};

// The caption as the title bar shows it in width pixels: whole where it fits,
// else cut after a whole letter and ended with "...".
std::string FitTitle(std::string_view caption, int width, const TextMeasure& measure);

struct FrameFill {
  PixelRect rect;
  Color color = 0;
};

// What painting the frame takes, in this order: the fills (the border, the
// bar's ends, the boxes and their glyphs), the bar's gradient from left to
// right, then the icon and the title text over it. Nothing of it covers the
// client area.
struct FrameLook {
  std::vector<FrameFill> fills;
  PixelRect bar;
  Color barLeft = 0, barRight = 0;
  std::vector<FrameFill> boxes;  // the caption's boxes, over the bar
  std::string title;
  Color titleColor = 0;
  PixelRect icon;
};

FrameLook LookOfFrame(const FrameLayout& frame, std::string_view caption, bool active, FramePart sunken,
                      const TextMeasure& measure);

// What the frame asks of the window system.
enum class FrameAction { None, Move, Minimize, Close };

// The mouse on the frame's boxes, as a classic frame answers it: a box goes down
// when pressed, comes up while the pointer is off it and acts only when the
// button is released over it. A press on the title bar or the icon moves the
// window at once (the window system's move follows the pointer from there).
class FrameMouse {
 public:
  FrameAction Press(const FrameLayout& frame, PixelPoint window);
  // The pointer moved with the button down: true when the box's look changed.
  bool Drag(const FrameLayout& frame, PixelPoint window);
  FrameAction Release(const FrameLayout& frame, PixelPoint window);
  // The box drawn pressed now, if any (FramePart::Outside: none).
  FramePart Sunken() const { return over_ ? pressed_ : FramePart::Outside; }
  bool Pressing() const { return pressed_ != FramePart::Outside; }

 private:
  FramePart pressed_ = FramePart::Outside;
  bool over_ = false;
};

}  // namespace rt
