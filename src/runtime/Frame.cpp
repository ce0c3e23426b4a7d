#include "runtime/Frame.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "runtime/Geometry.h"

namespace rt {

namespace {

// The classic desktop's frame metrics, in pixels of a 96 dpi desktop.
constexpr int kBorder = 3;     // a fixed (dialog) frame
constexpr int kBar = 18;       // a title bar
constexpr int kToolBar = 15;   // a tool window's title bar
constexpr int kUnderBar = 1;   // the face-coloured line between bar and client
constexpr int kBoxInset = 2;   // a box's distance from the bar's top and right
constexpr int kBoxWidth = 16;  // a box is as wide as the bar is high, less 2
constexpr int kToolBoxWidth = 13;
constexpr int kIcon = 16;     // the small icon at the bar's left
constexpr int kTitleGap = 3;  // text after the icon or the bar's start

// The classic palette's frame colours, &H00BBGGRR.
constexpr Color kLight = 0x00C8D0D4;
constexpr Color kHighlight = 0x00FFFFFF;
constexpr Color kShadow = 0x00808080;
constexpr Color kDarkShadow = 0x00404040;
constexpr Color kBlack = 0x00000000;
constexpr Color kActiveLeft = 0x006A240A, kActiveRight = 0x00F0CAA6;
constexpr Color kInactiveLeft = 0x00808080, kInactiveRight = 0x00C0C0C0;
constexpr Color kActiveText = 0x00FFFFFF, kInactiveText = 0x00C8D0D4;

// The boxes' glyphs, a row a string, '#' a pixel.
constexpr std::string_view kCloseGlyph[] = {"##    ##", " ##  ## ", "  ####  ", "   ##   ",
                                            "  ####  ", " ##  ## ", "##    ##"};
constexpr std::string_view kToolCloseGlyph[] = {"##  ##", " #### ", "  ##  ", " #### ", "##  ##"};
constexpr std::string_view kMinimizeGlyph[] = {"######", "######"};

int UnitOf(const ScreenInfo& screen) {
  if (!(screen.twipsPerPixelX > 0.0f)) return 1;
  return std::max(1, static_cast<int>(std::lround(15.0 / screen.twipsPerPixelX)));
}

PixelRect Inset(const PixelRect& r, int by) { return {r.left + by, r.top + by, r.width - 2 * by, r.height - 2 * by}; }

// A classic raised (or sunken) edge two pixels wide: the light and highlight
// on the top and left, shadow and dark shadow on the bottom and right.
void Edge(std::vector<FrameFill>& out, const PixelRect& r, int unit, bool sunken) {
  const Color outerLit = sunken ? kDarkShadow : kLight, outerDark = sunken ? kHighlight : kDarkShadow;
  const Color innerLit = sunken ? kShadow : kHighlight, innerDark = sunken ? kLight : kShadow;
  for (int ring = 0; ring < 2; ++ring) {
    const PixelRect e = Inset(r, ring * unit);
    const Color lit = ring == 0 ? outerLit : innerLit, dark = ring == 0 ? outerDark : innerDark;
    out.push_back({{e.left, e.top + e.height - unit, e.width, unit}, dark});
    out.push_back({{e.left + e.width - unit, e.top, unit, e.height}, dark});
    out.push_back({{e.left, e.top, e.width - unit, unit}, lit});
    out.push_back({{e.left, e.top, unit, e.height - unit}, lit});
  }
}

void Glyph(std::vector<FrameFill>& out, std::span<const std::string_view> rows, PixelPoint at, int unit) {
  int y = 0;
  for (std::string_view row : rows) {
    for (std::size_t x = 0; x < row.size();) {
      if (row[x] != '#') {
        ++x;
        continue;
      }
      const std::size_t start = x;
      while (x < row.size() && row[x] == '#') ++x;
      out.push_back(
          {{at.x + static_cast<int>(start) * unit, at.y + y * unit, static_cast<int>(x - start) * unit, unit}, kBlack});
    }
    ++y;
  }
}

// A box with its glyph centred, moved a pixel down and right while pressed.
void Box(std::vector<FrameFill>& out, const PixelRect& r, int unit, bool sunken,
         std::span<const std::string_view> glyph, bool bottom) {
  out.push_back({r, sys::ButtonFace});
  Edge(out, r, unit, sunken);
  const int w = static_cast<int>(glyph.front().size()) * unit, h = static_cast<int>(glyph.size()) * unit;
  const int shift = sunken ? unit : 0;
  const int top = bottom ? r.top + r.height - 3 * unit - h : r.top + (r.height - h) / 2;
  Glyph(out, glyph, {r.left + (r.width - w) / 2 + shift, top + shift}, unit);
}

// Whether i starts a UTF-8 letter (is not a continuation byte).
bool LetterStart(std::string_view text, std::size_t i) {
  return i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u;
}

}  // namespace

FrameLayout LayOutFrame(const FormDesign& form, const ScreenInfo& screen) {
  FrameLayout f;
  f.unit = UnitOf(screen);
  const int u = f.unit;
  f.toolWindow = form.borderStyle == 4 || form.borderStyle == 5;
  const PixelSize client = ClientSize(form, screen);
  const int border = kBorder * u, bar = (f.toolWindow ? kToolBar : kBar) * u;
  f.client = {border, border + bar + kUnderBar * u, client.width, client.height};
  f.outer = {client.width + 2 * border, f.client.top + client.height + border};
  f.caption = {border, border, f.outer.width - 2 * border, bar};

  const int boxHeight = bar - 2 * kBoxInset * u;
  const int boxWidth = (f.toolWindow ? kToolBoxWidth : kBoxWidth) * u;
  const int boxTop = f.caption.top + kBoxInset * u;
  f.close = {f.caption.left + f.caption.width - kBoxInset * u - boxWidth, boxTop, boxWidth, boxHeight};
  int titleRight = f.close.left;
  if (!f.toolWindow && form.minButton) {
    f.minimize = {f.close.left - kBoxInset * u - boxWidth, boxTop, boxWidth, boxHeight};
    titleRight = f.minimize.left;
  }
  int titleLeft = f.caption.left + kTitleGap * u;
  if (!f.toolWindow && form.icon) {
    const int icon = kIcon * u;
    f.icon = {f.caption.left + 2 * u, f.caption.top + (bar - icon) / 2, icon, icon};
    titleLeft = f.icon.left + f.icon.width + kTitleGap * u;
  }
  f.title = {titleLeft, f.caption.top, std::max(0, titleRight - kBoxInset * u - titleLeft), bar};
  return f;
}

FramePart HitFrame(const FrameLayout& frame, PixelPoint p) {
  if (!PixelRect{0, 0, frame.outer.width, frame.outer.height}.Contains(p)) return FramePart::Outside;
  if (frame.client.Contains(p)) return FramePart::Client;
  if (frame.close.Contains(p)) return FramePart::Close;
  if (frame.minimize.Contains(p)) return FramePart::Minimize;
  if (frame.icon.Contains(p)) return FramePart::Icon;
  if (frame.caption.Contains(p)) return FramePart::Caption;
  return FramePart::Border;
}

std::string FitTitle(std::string_view caption, int width, const TextMeasure& measure) {
  if (measure.Width(caption, 100) <= width) return std::string(caption);
  constexpr std::string_view kEllipsis = "...";
  for (std::size_t cut = caption.size(); cut > 0; --cut) {
    if (!LetterStart(caption, cut)) continue;
    std::string title(caption.substr(0, cut));
    while (!title.empty() && title.back() == ' ') title.pop_back();
    title += kEllipsis;
    if (measure.Width(title, 100) <= width) return title;
  }
  return measure.Width(kEllipsis, 100) <= width ? std::string(kEllipsis) : std::string();
}

FrameLook LookOfFrame(const FrameLayout& frame, std::string_view caption, bool active, FramePart sunken,
                      const TextMeasure& measure) {
  FrameLook look;
  const int u = frame.unit;
  const PixelRect outer{0, 0, frame.outer.width, frame.outer.height};
  const PixelRect& c = frame.client;
  // The face around the client area, then the raised edge over it.
  look.fills.push_back({{0, 0, outer.width, c.top}, sys::ButtonFace});
  look.fills.push_back({{0, c.top, c.left, c.height}, sys::ButtonFace});
  look.fills.push_back({{c.left + c.width, c.top, outer.width - c.left - c.width, c.height}, sys::ButtonFace});
  look.fills.push_back({{0, c.top + c.height, outer.width, outer.height - c.top - c.height}, sys::ButtonFace});
  Edge(look.fills, outer, u, false);
  look.bar = frame.caption;
  look.barLeft = active ? kActiveLeft : kInactiveLeft;
  look.barRight = active ? kActiveRight : kInactiveRight;
  Box(look.boxes, frame.close, u, sunken == FramePart::Close,
      frame.toolWindow ? std::span<const std::string_view>(kToolCloseGlyph) : kCloseGlyph, false);
  if (frame.minimize.width > 0) Box(look.boxes, frame.minimize, u, sunken == FramePart::Minimize, kMinimizeGlyph, true);
  look.title = FitTitle(caption, frame.title.width, measure);
  look.titleColor = active ? kActiveText : kInactiveText;
  look.icon = frame.icon;
  return look;
}

FrameAction FrameMouse::Press(const FrameLayout& frame, PixelPoint p) {
  const FramePart part = HitFrame(frame, p);
  if (part == FramePart::Close || part == FramePart::Minimize) {
    pressed_ = part;
    over_ = true;
    return FrameAction::None;
  }
  pressed_ = FramePart::Outside;
  over_ = false;
  return part == FramePart::Caption || part == FramePart::Icon ? FrameAction::Move : FrameAction::None;
}

bool FrameMouse::Drag(const FrameLayout& frame, PixelPoint p) {
  if (!Pressing()) return false;
  const bool over = HitFrame(frame, p) == pressed_;
  const bool changed = over != over_;
  over_ = over;
  return changed;
}

FrameAction FrameMouse::Release(const FrameLayout& frame, PixelPoint p) {
  const FramePart pressed = pressed_;
  pressed_ = FramePart::Outside;
  over_ = false;
  if (pressed == FramePart::Outside || HitFrame(frame, p) != pressed) return FrameAction::None;
  return pressed == FramePart::Close ? FrameAction::Close : FrameAction::Minimize;
}

}  // namespace rt
