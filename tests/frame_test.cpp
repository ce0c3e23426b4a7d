#include "runtime/Frame.h"

#include <gtest/gtest.h>

#include "forms/frmMain.h"
#include "forms/frmWin.h"
#include "runtime/Geometry.h"

using namespace rt;

namespace {

// Every byte 6 pixels wide, so a Czech letter (two bytes) is 12.
struct SixPerByte : TextMeasure {
  int Width(std::string_view text, int) const override { return static_cast<int>(text.size()) * 6; }
  int LineHeight(int) const override { return 13; }
};

ScreenInfo AtTwipsPerPixel(float tpp) {
  ScreenInfo screen;
  screen.twipsPerPixelX = screen.twipsPerPixelY = tpp;
  return screen;
}

PixelPoint Mid(const PixelRect& r) { return {r.left + r.width / 2, r.top + r.height / 2}; }

bool Inside(const PixelRect& inner, const PixelRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.left + inner.width <= outer.left + outer.width &&
         inner.top + inner.height <= outer.top + outer.height;
}

}  // namespace

// The classic metrics: a fixed frame of 3 pixels, a title bar of 18 (a tool
// window's 15) over a line of 1, boxes 2 pixels in from the bar's top and right;
// twice all of it at twice the pixel density, around the designed client area.
TEST(Frame, ClassicMetricsAroundTheDesignedClientArea) {
  const FrameLayout main = LayOutFrame(quintarel::kFrmMainDesign, AtTwipsPerPixel(15.0f));
  EXPECT_EQ(main.client, (PixelRect{3, 22, 431, 237}));
  EXPECT_EQ(main.outer, (PixelSize{437, 262}));
  EXPECT_EQ(main.caption, (PixelRect{3, 3, 431, 18}));
  EXPECT_EQ(main.close, (PixelRect{416, 5, 16, 14}));
  EXPECT_EQ(main.minimize, (PixelRect{398, 5, 16, 14}));
  EXPECT_EQ(main.icon, (PixelRect{5, 4, 16, 16}));
  EXPECT_EQ(main.title.left, 24);
  EXPECT_EQ(main.title.left + main.title.width, 396);

  const FrameLayout win = LayOutFrame(quintarel::kFrmWinDesign, AtTwipsPerPixel(15.0f));
  EXPECT_TRUE(win.toolWindow);
  EXPECT_EQ(win.client, (PixelRect{3, 19, 167, 151}));
  EXPECT_EQ(win.outer, (PixelSize{173, 173}));
  EXPECT_EQ(win.close, (PixelRect{155, 5, 13, 11}));
  EXPECT_EQ(win.minimize.width, 0) << "a tool window has the close box alone";
  EXPECT_EQ(win.icon.width, 0);

  const FrameLayout doubled = LayOutFrame(quintarel::kFrmMainDesign, AtTwipsPerPixel(7.5f));
  EXPECT_EQ(doubled.unit, 2);
  EXPECT_EQ(doubled.client, (PixelRect{6, 44, 862, 474}));
  EXPECT_EQ(doubled.close, (PixelRect{832, 10, 32, 28}));
  // A design with a minimize box still gets none on a tool window.
  FormDesign tool = quintarel::kFrmMainDesign;
  tool.borderStyle = 4;
  EXPECT_EQ(LayOutFrame(tool, AtTwipsPerPixel(15.0f)).minimize.width, 0);
}

TEST(Frame, EachPointHitsThePartUnderIt) {
  const FrameLayout f = LayOutFrame(quintarel::kFrmMainDesign, AtTwipsPerPixel(15.0f));
  EXPECT_EQ(HitFrame(f, Mid(f.close)), FramePart::Close);
  EXPECT_EQ(HitFrame(f, Mid(f.minimize)), FramePart::Minimize);
  EXPECT_EQ(HitFrame(f, Mid(f.icon)), FramePart::Icon);
  EXPECT_EQ(HitFrame(f, Mid(f.title)), FramePart::Caption);
  // Between the two boxes lies the bar.
  EXPECT_EQ(HitFrame(f, {f.minimize.left + f.minimize.width, f.close.top + 3}), FramePart::Caption);
  EXPECT_EQ(HitFrame(f, {f.close.left + f.close.width, f.close.top}), FramePart::Caption);
  EXPECT_EQ(HitFrame(f, {f.client.left, f.client.top}), FramePart::Client);
  EXPECT_EQ(HitFrame(f, {f.client.left - 1, f.client.top}), FramePart::Border);
  EXPECT_EQ(HitFrame(f, {f.client.left, f.client.top - 1}), FramePart::Border);
  EXPECT_EQ(HitFrame(f, {0, 0}), FramePart::Border);
  EXPECT_EQ(HitFrame(f, {f.outer.width - 1, f.outer.height - 1}), FramePart::Border);
  EXPECT_EQ(HitFrame(f, {f.outer.width, 5}), FramePart::Outside);
  EXPECT_EQ(HitFrame(f, {5, -1}), FramePart::Outside);
}

TEST(Frame, TitleIsWholeWhereItFitsAndCutAfterAWholeLetter) {
  const SixPerByte six;
  EXPECT_EQ(FitTitle("Vyhodnocení", 72, six), "Vyhodnocení");
  EXPECT_EQ(FitTitle("Vyhodnocení", 71, six), "Vyhodnoc...");
  // Half an "í" and "..." would fit in 37 pixels; the cut never splits a letter.
  EXPECT_EQ(FitTitle("íííí", 37, six), "í...");
  EXPECT_EQ(FitTitle("ab    cd", 40, six), "ab...");
  EXPECT_EQ(FitTitle("Vyhodnocení", 17, six), "");
}

// Nothing of the frame covers the client area; the boxes lie in the bar, and
// only the pressed box looks pressed.
TEST(Frame, LookLeavesTheClientAreaAndPressesOneBox) {
  const SixPerByte six;
  for (const FormDesign* design : {&quintarel::kFrmMainDesign, &quintarel::kFrmWinDesign}) {
    const FrameLayout f = LayOutFrame(*design, AtTwipsPerPixel(7.5f));
    const FrameLook up = LookOfFrame(f, design->caption, true, FramePart::Outside, six);
    for (const std::vector<FrameFill>* fills : {&up.fills, &up.boxes})
      for (const FrameFill& fill : *fills) {
        EXPECT_FALSE(Overlap(fill.rect, f.client)) << design->name;
        EXPECT_TRUE(Inside(fill.rect, {0, 0, f.outer.width, f.outer.height})) << design->name;
      }
    for (const FrameFill& fill : up.boxes) EXPECT_TRUE(Inside(fill.rect, f.caption)) << design->name;
    const FrameLook down = LookOfFrame(f, design->caption, true, FramePart::Close, six);
    ASSERT_EQ(down.boxes.size(), up.boxes.size());
    for (std::size_t i = 0; i < up.boxes.size(); ++i) {
      const bool differs = !(up.boxes[i].rect == down.boxes[i].rect) || up.boxes[i].color != down.boxes[i].color;
      if (differs) {
        EXPECT_TRUE(Overlap(up.boxes[i].rect, f.close)) << design->name;
      }
    }
    EXPECT_NE(up.barLeft, LookOfFrame(f, design->caption, false, FramePart::Outside, six).barLeft);
  }
}

TEST(Frame, BoxesActOnReleaseOverThemAndTheBarMoves) {
  const FrameLayout f = LayOutFrame(quintarel::kFrmMainDesign, AtTwipsPerPixel(15.0f));
  FrameMouse mouse;
  EXPECT_EQ(mouse.Press(f, Mid(f.close)), FrameAction::None);
  EXPECT_EQ(mouse.Sunken(), FramePart::Close);
  EXPECT_EQ(mouse.Release(f, Mid(f.close)), FrameAction::Close);
  EXPECT_EQ(mouse.Sunken(), FramePart::Outside);

  // Off the box it comes up and does nothing; back on it, it goes down again.
  mouse.Press(f, Mid(f.minimize));
  EXPECT_TRUE(mouse.Drag(f, Mid(f.close)));
  EXPECT_EQ(mouse.Sunken(), FramePart::Outside);
  EXPECT_FALSE(mouse.Drag(f, Mid(f.title)));
  EXPECT_TRUE(mouse.Drag(f, Mid(f.minimize)));
  EXPECT_EQ(mouse.Sunken(), FramePart::Minimize);
  EXPECT_EQ(mouse.Release(f, Mid(f.minimize)), FrameAction::Minimize);
  mouse.Press(f, Mid(f.close));
  EXPECT_EQ(mouse.Release(f, Mid(f.minimize)), FrameAction::None);

  EXPECT_EQ(mouse.Press(f, Mid(f.title)), FrameAction::Move);
  EXPECT_EQ(mouse.Press(f, Mid(f.icon)), FrameAction::Move);
  EXPECT_EQ(mouse.Press(f, {0, 0}), FrameAction::None);
  EXPECT_EQ(mouse.Release(f, {0, 0}), FrameAction::None);
}
