#pragma once

#include "runtime/Control.h"
#include "runtime/Design.h"
#include "runtime/Platform.h"

// Twips to pixels and hit-testing: the one place both backends take them from, so
// what is painted and what is clicked always agree.
namespace rt {

class Form;

int TwipsToPixels(double twips, float twipsPerPixel);
float PixelsToTwips(int pixels, float twipsPerPixel);

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelLine {
  PixelPoint from, to;
};

// The form's client area, and the screen point where it opens.
PixelSize ClientSize(const FormDesign& form, const ScreenInfo& screen);
PixelPoint ClientOrigin(const FormDesign& form, const ScreenInfo& screen);

// The width of a window's frame on each side, in pixels.
struct FrameMargins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where the program's windows open. A window opens at its designed place when
// its outer rectangle lies wholly inside the work area of the screen it opens
// on; otherwise it is moved by the least distance that puts it inside (a window
// larger than the area goes to the area's top-left). A later window keeps its
// designed offset from the first one: it is moved as the first was, then
// fitted in turn. Designed places count from the primary screen's top-left.
class WindowPlacer {
 public:
  // The client origin the form asks for, in virtual-desktop pixels: where the
  // backend looks for the screen it opens on.
  PixelPoint Wanted(const FormDesign& form, const ScreenInfo& screen, PixelPoint primaryOrigin) const;
  // The client origin it opens at, given the frame it will get and the work
  // area of the screen that holds the wanted point.
  PixelPoint Place(const FormDesign& form, const ScreenInfo& screen, PixelPoint primaryOrigin,
                   const FrameMargins& frame, const PixelRect& workArea);

 private:
  bool placedFirst_ = false;
  PixelPoint shift_;
};

// A control's rectangle in client pixels of its form, frames' offsets included.
// Edges are rounded, not sizes, so controls that abut in twips abut in pixels.
PixelRect ControlRect(const Control& control, const ScreenInfo& screen);
// A line's end points in client pixels.
PixelLine LinePixels(const Control& control, const ScreenInfo& screen);
// A circle shape is centred in its box with the smaller side as diameter.
PixelRect ShapeBounds(const Control& shape, const ScreenInfo& screen);
// The em height in pixels of a font (1 point is 20 twips).
int FontPixelHeight(const FontDesign& font, const ScreenInfo& screen);

// All that painting the control may cover, in client pixels: its rectangle,
// grown for a line by its width (round caps reach past its ends) and for a
// label by a quarter of its em height (a caption a little wider than its box,
// the engraving of a disabled one). A changed control repaints this much of its
// window, and a repaint paints only the controls whose PaintRect meets it.
PixelRect PaintRect(const Control& control, const ScreenInfo& screen);
bool Overlap(const PixelRect& a, const PixelRect& b);

// The control that receives a click at a client point: the front-most visible
// control that takes clicks, descending into frames. A disabled label is
// windowless and lets the click through to what lies behind it. Null: the form.
Control* HitTest(const Form& form, PixelPoint client, const ScreenInfo& screen);

}  // namespace rt
