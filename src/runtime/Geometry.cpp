#include "runtime/Geometry.h"

#include <algorithm>
#include <cmath>

#include "runtime/Form.h"

namespace rt {

namespace {

struct TwipsOrigin {
  int x = 0, y = 0;
};

TwipsOrigin ContainerOrigin(const Control& control) {
  TwipsOrigin origin;
  for (const Control* c = control.Container(); c; c = c->Container()) {
    origin.x += c->Design().left;
    origin.y += c->Design().top;
  }
  return origin;
}

Control* HitIn(const Form& form, const Control* container, PixelPoint p, const ScreenInfo& screen) {
  std::vector<Control*> children = form.Children(container);
  // Windows of their own (frames, buttons) lie over every windowless control.
  std::stable_partition(children.begin(), children.end(), [](const Control* c) { return c->Windowed(); });
  for (Control* c : children) {
    if (!c->Visible() || !c->TakesClicks()) continue;
    if (!ControlRect(*c, screen).Contains(p)) continue;
    if (c->Kind() == ControlKind::Frame) {
      Control* inner = HitIn(form, c, p, screen);
      return inner ? inner : c;
    }
    if (c->Kind() == ControlKind::Label && !c->Enabled()) continue;
    return c;
  }
  return nullptr;
}

}  // namespace

int TwipsToPixels(double twips, float twipsPerPixel) {
  if (!(twipsPerPixel > 0.0f)) return 0;  // no usable screen metrics: nothing to place
  return static_cast<int>(std::floor(twips / static_cast<double>(twipsPerPixel) + 0.5));
}

float PixelsToTwips(int pixels, float twipsPerPixel) { return static_cast<float>(pixels) * twipsPerPixel; }

PixelSize ClientSize(const FormDesign& form, const ScreenInfo& screen) {
  return {TwipsToPixels(form.clientWidth, screen.twipsPerPixelX),
          TwipsToPixels(form.clientHeight, screen.twipsPerPixelY)};
}

PixelPoint ClientOrigin(const FormDesign& form, const ScreenInfo& screen) {
  return {TwipsToPixels(form.clientLeft, screen.twipsPerPixelX), TwipsToPixels(form.clientTop, screen.twipsPerPixelY)};
}

namespace {

// The least move along one axis that puts [start, start + size) inside [lo, hi).
int FitAxis(int start, int size, int lo, int hi) {
  if (size >= hi - lo || start < lo) return lo;
  return start + size > hi ? hi - size : start;
}

}  // namespace

PixelPoint WindowPlacer::Wanted(const FormDesign& form, const ScreenInfo& screen, PixelPoint primaryOrigin) const {
  const PixelPoint designed = ClientOrigin(form, screen);
  return {primaryOrigin.x + designed.x + shift_.x, primaryOrigin.y + designed.y + shift_.y};
}

PixelPoint WindowPlacer::Place(const FormDesign& form, const ScreenInfo& screen, PixelPoint primaryOrigin,
                               const FrameMargins& frame, const PixelRect& workArea) {
  const PixelPoint wanted = Wanted(form, screen, primaryOrigin);
  const PixelSize size = ClientSize(form, screen);
  const int outerWidth = frame.left + size.width + frame.right;
  const int outerHeight = frame.top + size.height + frame.bottom;
  const PixelPoint placed{
      FitAxis(wanted.x - frame.left, outerWidth, workArea.left, workArea.left + workArea.width) + frame.left,
      FitAxis(wanted.y - frame.top, outerHeight, workArea.top, workArea.top + workArea.height) + frame.top};
  if (!placedFirst_) {
    placedFirst_ = true;
    shift_ = {placed.x - wanted.x, placed.y - wanted.y};
  }
  return placed;
}

PixelRect ControlRect(const Control& control, const ScreenInfo& screen) {
  const ControlDesign& d = control.Design();
  const TwipsOrigin o = ContainerOrigin(control);
  int left = 0, top = 0, right = 0, bottom = 0;
  if (control.Kind() == ControlKind::Line) {
    left = std::min(d.x1, d.x2), right = std::max(d.x1, d.x2);
    top = std::min(d.y1, d.y2), bottom = std::max(d.y1, d.y2);
  } else {
    left = d.left, top = d.top, right = d.left + d.width, bottom = d.top + d.height;
  }
  const int l = TwipsToPixels(o.x + left, screen.twipsPerPixelX);
  const int t = TwipsToPixels(o.y + top, screen.twipsPerPixelY);
  return {l, t, TwipsToPixels(o.x + right, screen.twipsPerPixelX) - l,
          TwipsToPixels(o.y + bottom, screen.twipsPerPixelY) - t};
}

PixelLine LinePixels(const Control& control, const ScreenInfo& screen) {
  const ControlDesign& d = control.Design();
  const TwipsOrigin o = ContainerOrigin(control);
  return {{TwipsToPixels(o.x + d.x1, screen.twipsPerPixelX), TwipsToPixels(o.y + d.y1, screen.twipsPerPixelY)},
          {TwipsToPixels(o.x + d.x2, screen.twipsPerPixelX), TwipsToPixels(o.y + d.y2, screen.twipsPerPixelY)}};
}

PixelRect ShapeBounds(const Control& shape, const ScreenInfo& screen) {
  const PixelRect box = ControlRect(shape, screen);
  if (shape.Shape() != style::Circle) return box;
  const int diameter = std::min(box.width, box.height);
  return {box.left + (box.width - diameter) / 2, box.top + (box.height - diameter) / 2, diameter, diameter};
}

int FontPixelHeight(const FontDesign& font, const ScreenInfo& screen) {
  return TwipsToPixels(font.size * 20.0, screen.twipsPerPixelY);
}

PixelRect PaintRect(const Control& control, const ScreenInfo& screen) {
  const PixelRect r = ControlRect(control, screen);
  int margin = 0;
  if (control.Kind() == ControlKind::Line) {
    // A border width counts pixels at 96 dpi (15 twips each); a backend may scale it.
    const float finest = std::min(screen.twipsPerPixelX, screen.twipsPerPixelY);
    if (finest > 0.0f) margin = static_cast<int>(std::ceil(std::max(1, control.BorderWidth()) * 15.0 / finest));
  }
  if (control.Kind() == ControlKind::Label) margin = std::max(1, FontPixelHeight(control.Font(), screen) / 4);
  return {r.left - margin, r.top - margin, r.width + 2 * margin, r.height + 2 * margin};
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height && b.top < a.top + a.height;
}

Control* HitTest(const Form& form, PixelPoint client, const ScreenInfo& screen) {
  return HitIn(form, nullptr, client, screen);
}

}  // namespace rt
