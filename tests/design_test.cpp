#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "runtime/Caption.h"
#include "runtime/Errors.h"
#include "runtime/Geometry.h"

using namespace rt;
using quintarel::FrmMain;
using quintarel::FrmWin;
using testing_support::CentreOf;
using testing_support::Game;

namespace {

std::map<ControlKind, int> CountKinds(const Form& form) {
  std::map<ControlKind, int> counts;
  for (const auto& c : form.Controls()) ++counts[c->Kind()];
  return counts;
}

std::string NameOf(const Control* c) {
  if (!c) return "(form)";
  std::string name(c->Name());
  if (c->Index() >= 0) name += "(" + std::to_string(c->Index()) + ")";
  return name;
}

std::vector<std::string> Stacking(const Form& form, const Control* container) {
  std::vector<std::string> names;
  for (const Control* c : form.Children(container)) names.push_back(NameOf(c));
  return names;
}

std::vector<std::string> Series(const std::string& stem, int from, int to) {
  std::vector<std::string> names;
  for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1)
    names.push_back(stem + std::to_string(i));
  return names;
}

std::vector<std::string> ArraySeries(const std::string& stem, int from, int to) {
  std::vector<std::string> names;
  for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1)
    names.push_back(stem + "(" + std::to_string(i) + ")");
  return names;
}

template <typename... Parts>
std::vector<std::string> Concat(const Parts&... parts) {
  std::vector<std::string> all;
  (all.insert(all.end(), parts.begin(), parts.end()), ...);
  return all;
}

using Names = std::vector<std::string>;

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  const int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
  const int right = std::min(a.left + a.width, b.left + b.width);
  const int bottom = std::min(a.top + a.height, b.top + b.height);
  return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

}  // namespace

TEST(Design, MainWindowHasItsSixtyEightControls) {
  Game game;
  const auto counts = CountKinds(game.main());
  EXPECT_EQ(game.main().Controls().size(), 68u);
  EXPECT_EQ(counts.at(ControlKind::Label), 46);
  EXPECT_EQ(counts.at(ControlKind::Frame), 2);
  EXPECT_EQ(counts.at(ControlKind::Line), 17);
  EXPECT_EQ(counts.at(ControlKind::Shape), 2);
  EXPECT_EQ(counts.at(ControlKind::Image), 1);
  for (const auto& c : game.main().Controls()) EXPECT_LT(c->Index(), 0) << c->Name() << " is no array member";
}

TEST(Design, EvaluationWindowHasItsFortySevenControlsAndNoLine3) {
  Game game;
  const Form& win = game.project.frmWin();
  const auto counts = CountKinds(win);
  EXPECT_EQ(win.Controls().size(), 47u);
  EXPECT_EQ(counts.at(ControlKind::CommandButton), 1);
  EXPECT_EQ(counts.at(ControlKind::Label), 35);
  EXPECT_EQ(counts.at(ControlKind::Line), 10);
  EXPECT_EQ(counts.at(ControlKind::Shape), 1);
  int members = 0;
  for (const auto& c : win.Controls()) members += c->Index() >= 0;
  EXPECT_EQ(members, 28);
  EXPECT_THROW(win.Ctl("Line3"), RuntimeError);
  for (const char* array : {"lblCisloText", "lblBarva", "lblVaseCislo", "lblSpravneCislo"}) {
    EXPECT_EQ(win.Array(array).Count(), 7) << array;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(win.Array(array).Item(i).Index(), i);
  }
}

TEST(Design, MainWindowStackingOrder) {
  Game game;
  const Form& main = game.main();
  const Names expected = Concat(Names{"fraVysledky", "fraNumber", "Image1"}, Series("Label", 8, 1),
                                Series("lblNo", 7, 4), Series("lblNoSelectNo", 7, 1), Names{"lblNo3", "lblNo2"},
                                Series("lblNoSelect", 7, 1), Series("Line", 17, 8), Names{"lblNo1"},
                                Series("lblClick", 7, 1), Series("Line", 7, 1), Names{"Shape2", "Shape1"});
  EXPECT_EQ(Stacking(main, nullptr), expected);
  EXPECT_EQ(Stacking(main, &main.Ctl("fraVysledky")),
            Concat(Names{"lblPercent", "lblUspesnost"}, Series("lblScore", 1, 7)));
  EXPECT_EQ(Stacking(main, &main.Ctl("fraNumber")), Names{"lblNumber"});
}

TEST(Design, EvaluationWindowStackingOrder) {
  Game game;
  const Form& win = game.project.frmWin();
  const Names expected =
      Concat(Names{"cmdOK"}, ArraySeries("lblCisloText", 0, 6), ArraySeries("lblBarva", 6, 0),
             ArraySeries("lblSpravneCislo", 6, 0),
             Names{"Line11", "Line10", "Line9", "lblSpravneTipyText", "Line8", "Line7", "Line6"},
             ArraySeries("lblVaseCislo", 6, 0),
             Names{"Line5", "Line4", "Line2", "Line1", "Shape1", "lblVaseTipyText", "lblSpravneOdhady", "lblZeSedmi",
                   "lblSpravneText", "lblUspesnost", "lblUspesnostText"});
  EXPECT_EQ(Stacking(win, nullptr), expected);
}

TEST(Design, WindowsAndTheirClientAreas) {
  Game game;
  const ScreenInfo at96{1024, 768, 15, 15};
  const FormDesign& main = game.main().Design();
  EXPECT_EQ(main.caption, " Quintarel");
  EXPECT_EQ(main.backColor, 0x00C0C0FFu);
  EXPECT_EQ(main.borderStyle, 1);
  EXPECT_FALSE(main.maxButton);
  EXPECT_TRUE(main.minButton && main.showInTaskbar && main.icon);
  EXPECT_EQ(ClientSize(main, at96), (PixelSize{431, 237}));
  EXPECT_EQ(ClientOrigin(main, at96), (PixelPoint{221, 171}));

  const FormDesign& win = game.project.frmWin().Design();
  EXPECT_EQ(win.caption, "Vyhodnocení");
  EXPECT_EQ(win.backColor, 0x80000013u);
  EXPECT_EQ(win.borderStyle, 4);
  EXPECT_FALSE(win.maxButton || win.minButton || win.showInTaskbar || win.icon);
  EXPECT_EQ(ClientSize(win, at96), (PixelSize{167, 151}));
  EXPECT_EQ(ClientOrigin(win, at96), (PixelPoint{347, 226}));
}

TEST(Design, InitialValuesAreTheGamesStartState) {
  Game game;
  for (int k = 1; k <= 7; ++k) {
    const auto round = game.main().RoundControls(k);
    EXPECT_EQ(round.no.Caption(), "");
    EXPECT_EQ(round.score.Tag(), "0");
    EXPECT_EQ(round.score.BackColor(), sys::Window);
    EXPECT_EQ(round.score.BorderStyle(), style::FixedSingle);
    EXPECT_EQ(round.click.BackStyle(), style::Transparent);
    EXPECT_EQ(round.click.Caption(), "");
    EXPECT_EQ(game.main().Ctl("Label" + std::to_string(k + 1)).Caption(), std::to_string(k) + ".");
    EXPECT_EQ(game.main().Ctl("lblNoSelectNo" + std::to_string(k)).Caption(), std::to_string(k));
  }
  EXPECT_EQ(game.main().lblNumber.Caption(), "");
  EXPECT_EQ(game.main().lblPercent.Caption(), "");
  EXPECT_EQ(game.main().lblPercent.Alignment(), style::RightJustify);
  EXPECT_EQ(game.main().Ctl("Line1").BorderWidth(), 3);
  EXPECT_EQ(game.main().Ctl("Label1").Caption(), "Zvolené číslo:");
  EXPECT_EQ(game.main().Ctl("fraVysledky").Caption(), "Výsledky");
  EXPECT_EQ(game.main().Ctl("lblUspesnost").Caption(), "Úspěšnost:");
  EXPECT_EQ(game.main().lblNumber.Font().size, 14.25);
  EXPECT_EQ(game.main().Ctl("lblPercent").Font().name, kDefaultFont.name);

  FrmWin& win = game.project.frmWin();
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(win.lblVaseCislo.Item(i).Caption(), "0");
    EXPECT_EQ(win.lblSpravneCislo.Item(i).Caption(), "0");
    EXPECT_EQ(win.lblBarva.Item(i).BackColor(), 0x008080FFu);
    EXPECT_EQ(win.Array("lblCisloText").Item(i).Caption(), std::to_string(i + 1));
    EXPECT_EQ(win.lblVaseCislo.Item(i).Alignment(), i == 1 ? style::Center : style::LeftJustify);
  }
  EXPECT_EQ(win.lblSpravneOdhady.Caption(), "0");
  EXPECT_EQ(win.lblSpravneOdhady.ForeColor(), 0x00008000u);
  EXPECT_EQ(win.lblUspesnost.Caption(), "");
  EXPECT_EQ(win.Ctl("lblZeSedmi").Caption(), "/7");
  EXPECT_EQ(win.Ctl("lblSpravneText").Caption(), "Správné odhady:");
  EXPECT_EQ(win.Ctl("lblVaseTipyText").Caption(), "Vaše tipy:");
  EXPECT_EQ(win.Ctl("lblSpravneTipyText").Caption(), "Správně:");
  EXPECT_EQ(win.cmdOK.Caption(), "OK");
}

TEST(Geometry, FramedControlsAndCirclesLandWhereDesigned) {
  Game game;
  const ScreenInfo at96{1024, 768, 15, 15};
  FrmMain& main = game.main();
  // lblNumber lies in fraNumber at (120, 180): (5250, 1020) in the window.
  EXPECT_EQ(ControlRect(main.lblNumber, at96), (PixelRect{350, 68, 15, 23}));
  for (int k = 1; k <= 7; ++k)
    EXPECT_EQ(ControlRect(main.RoundControls(k).score, at96), (PixelRect{(3270 + 390 * (k - 1)) / 15, 168, 27, 17}));
  // Circles: the smaller side is the diameter, centred in the box.
  EXPECT_EQ(ShapeBounds(main.Ctl("Shape1"), at96), (PixelRect{34, 40, 133, 133}));
  EXPECT_EQ(ShapeBounds(main.Ctl("Shape2"), at96), (PixelRect{63, 68, 75, 75}));
  const PixelLine line1 = LinePixels(main.Ctl("Line1"), at96);
  EXPECT_EQ(line1.from, (PixelPoint{80, 72}));
  EXPECT_EQ(line1.to, (PixelPoint{64, 52}));
  // Edges are rounded, so neighbours abut at any scale.
  const ScreenInfo at192{2048, 1536, 7.5f, 7.5f};
  EXPECT_EQ(ControlRect(main.lblNumber, at192), (PixelRect{700, 136, 30, 46}));
  EXPECT_EQ(FontPixelHeight(main.lblNumber.Font(), at96), 19);
  EXPECT_EQ(FontPixelHeight(main.lblNumber.Font(), at192), 38);
}

TEST(HitTest, OverlapsGoToTheFrontControl) {
  struct Overlap {
    const char* front;
    const char* behind;
    int width, height;  // twips
  };
  const Overlap overlaps[] = {{"Label2", "lblClick1", 15, 105},
                              {"lblNo2", "lblClick2", 45, 165},
                              {"lblNo4", "lblClick4", 105, 75},
                              {"lblNo6", "lblClick6", 15, 255},
                              {"lblNo7", "lblClick7", 45, 225}};
  for (float tpp : {15.0f, 12.0f, 7.5f}) {
    Game game;
    game.platform.screen = {2048, 1536, tpp, tpp};
    Form& main = game.main();
    for (const Overlap& o : overlaps) {
      const PixelRect both = Intersection(ControlRect(main.Ctl(o.front), game.platform.screen),
                                          ControlRect(main.Ctl(o.behind), game.platform.screen));
      // Exact at 15 twips per pixel; elsewhere the rounded edges may shift it by one.
      EXPECT_NEAR(both.width, o.width / tpp, tpp == 15.0f ? 0 : 1) << o.front << " at " << tpp;
      EXPECT_NEAR(both.height, o.height / tpp, tpp == 15.0f ? 0 : 1) << o.front << " at " << tpp;
      ASSERT_GT(both.width * both.height, 0);
      for (int x = both.left; x < both.left + both.width; ++x)
        for (int y = both.top; y < both.top + both.height; ++y)
          ASSERT_EQ(HitTest(main, {x, y}, game.platform.screen), &main.Ctl(o.front))
              << o.front << " at " << tpp << " (" << x << ", " << y << ")";
    }
    // Every digit lies wholly over its box and takes the clicks on it.
    for (int k = 1; k <= 7; ++k) {
      Control& digit = main.Ctl("lblNoSelectNo" + std::to_string(k));
      Control& box = main.Ctl("lblNoSelect" + std::to_string(k));
      const PixelRect d = ControlRect(digit, game.platform.screen);
      EXPECT_EQ(Intersection(d, ControlRect(box, game.platform.screen)), d);
      EXPECT_EQ(HitTest(main, CentreOf(digit, game.platform.screen), game.platform.screen), &digit);
      const PixelRect b = ControlRect(box, game.platform.screen);
      EXPECT_EQ(HitTest(main, {b.left + 1, b.top + b.height / 2}, game.platform.screen), &box);
      EXPECT_EQ(HitTest(main, {b.left + b.width - 2, b.top + b.height / 2}, game.platform.screen), &box);
    }
  }
}

TEST(HitTest, DisabledRoundSevenLetsRoundOneTakeTheClickInTheirOverlap) {
  Game game;
  FrmMain& main = game.main();
  Control& click1 = main.Ctl("lblClick1");
  Control& click7 = main.Ctl("lblClick7");
  const ScreenInfo& screen = game.platform.screen;
  const PixelRect both = Intersection(ControlRect(click7, screen), ControlRect(click1, screen));
  ASSERT_EQ(both.width, 3);
  ASSERT_EQ(both.height, 13);
  const PixelPoint p{both.left + 1, both.top + both.height / 2};
  EXPECT_EQ(HitTest(main, p, screen), &click1);

  game.Choose(4);
  game.random.QueueDigit(4);
  game.ClickAt(main, p);
  EXPECT_EQ(main.RoundControls(1).no.Caption(), "4");  // round 1 was played from the overlap
  // Round 1 done, round 7 still closed: the overlap now reaches no handler.
  EXPECT_EQ(HitTest(main, p, screen), nullptr);
}

TEST(HitTest, FramesLineShapesAndEmptyPlaces) {
  Game game;
  FrmMain& main = game.main();
  const ScreenInfo& screen = game.platform.screen;
  // A click in a frame reaches its child there, else the frame.
  EXPECT_EQ(HitTest(main, CentreOf(main.RoundControls(3).score, screen), screen), &main.RoundControls(3).score);
  EXPECT_EQ(HitTest(main, CentreOf(main.lblNumber, screen), screen), &main.lblNumber);
  const PixelRect frame = ControlRect(main.Ctl("fraVysledky"), screen);
  EXPECT_EQ(HitTest(main, {frame.left + 3, frame.top + frame.height - 3}, screen), &main.Ctl("fraVysledky"));
  // Lines and shapes never take clicks: the centre of the inner disc is the icon,
  // the ring beside the icon reaches the window.
  EXPECT_EQ(HitTest(main, CentreOf(main.Ctl("Shape2"), screen), screen), &main.Ctl("Image1"));
  EXPECT_EQ(HitTest(main, {100, 145}, screen), nullptr);  // inner disc below the icon
  EXPECT_EQ(HitTest(main, {2, 2}, screen), nullptr);
  // Every control that takes clicks gets them at its centre unless a control
  // listed before it lies there.
  for (float tpp : {15.0f, 12.0f, 7.5f}) {
    const ScreenInfo s{2048, 1536, tpp, tpp};
    for (const auto& c : main.Controls()) {
      if (!c->TakesClicks() || !c->Enabled()) continue;
      Control* hit = HitTest(main, CentreOf(*c, s), s);
      ASSERT_NE(hit, nullptr) << c->Name();
      if (hit == c.get()) continue;
      const auto& all = main.Controls();
      const auto at = [&](const Control* x) {
        return std::find_if(all.begin(), all.end(), [&](const auto& p) { return p.get() == x; });
      };
      EXPECT_TRUE(at(hit) < at(c.get()) || hit->Windowed() || hit->Container() == c.get())
          << hit->Name() << " over " << c->Name();
    }
  }
}

TEST(ControlArrays, ItemOutOfRangeIsError9) {
  Game game;
  FrmWin& win = game.project.frmWin();
  for (int bad : {-1, 7, 100}) {
    try {
      win.lblBarva.Item(bad);
      ADD_FAILURE() << bad;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number(), err::SubscriptOutOfRange);
    }
  }
}

// Windows open where designed when they fit the work area of their screen, and
// are moved the least distance inside when they do not; the evaluation window
// moves as the main window did.
TEST(Placement, DesignedWhereItFitsOtherwiseInsideTheWorkArea) {
  const auto place = [](WindowPlacer& placer, const FormDesign& form, const ScreenInfo& screen, const PixelRect& area,
                        FrameMargins frame = {},
                        PixelPoint primary = {}) { return placer.Place(form, screen, primary, frame, area); };
  {
    WindowPlacer placer;
    const ScreenInfo screen{1024, 768, 15, 15};
    EXPECT_EQ(place(placer, quintarel::kFrmMainDesign, screen, {0, 0, 1024, 768}, {4, 23, 4, 4}),
              (PixelPoint{221, 171}));
    EXPECT_EQ(place(placer, quintarel::kFrmWinDesign, screen, {0, 0, 1024, 768}, {3, 17, 3, 3}),
              (PixelPoint{347, 226}));
  }
  {
    // Twice the scale on 1366 x 768: the main window would reach 816.
    WindowPlacer placer;
    const ScreenInfo screen{1366, 768, 7.5f, 7.5f};
    EXPECT_EQ(place(placer, quintarel::kFrmMainDesign, screen, {0, 0, 1366, 768}), (PixelPoint{442, 294}));
    EXPECT_EQ(placer.Wanted(quintarel::kFrmWinDesign, screen, {}), (PixelPoint{694, 404}));
    EXPECT_EQ(place(placer, quintarel::kFrmWinDesign, screen, {0, 0, 1366, 768}), (PixelPoint{694, 404}));
  }
  {
    // A frame and a panel count; a window larger than the area goes to its top-left.
    WindowPlacer placer;
    const ScreenInfo screen{800, 600, 7.5f, 7.5f};
    EXPECT_EQ(place(placer, quintarel::kFrmMainDesign, screen, {0, 30, 800, 570}, {2, 20, 2, 2}), (PixelPoint{2, 124}));
    // The evaluation window, moved alike, fits.
    EXPECT_EQ(place(placer, quintarel::kFrmWinDesign, screen, {0, 30, 800, 570}, {2, 20, 2, 2}),
              (PixelPoint{254, 234}));
  }
  {
    // A primary screen to the right of another: designed places count from its corner.
    WindowPlacer placer;
    const ScreenInfo screen{1280, 1024, 15, 15};
    EXPECT_EQ(placer.Wanted(quintarel::kFrmMainDesign, screen, {1920, 0}), (PixelPoint{2141, 171}));
    EXPECT_EQ(place(placer, quintarel::kFrmMainDesign, screen, {1920, 0, 1280, 1024}, {}, {1920, 0}),
              (PixelPoint{2141, 171}));
    // Had the window still reached past the right edge, it would have been pulled in.
    WindowPlacer narrow;
    EXPECT_EQ(place(narrow, quintarel::kFrmMainDesign, screen, {1920, 0, 600, 1024}, {}, {1920, 0}),
              (PixelPoint{2089, 171}));
  }
}

namespace {

// A font whose every byte is 7 pixels wide at full width, narrowed by the stretch
// (cut to whole pixels), with lines 10 pixels high.
struct SevenPixels : TextMeasure {
  int Width(std::string_view text, int stretch) const override {
    return static_cast<int>(text.size()) * 7 * stretch / 100;
  }
  int LineHeight(int) const override { return 10; }
};

std::vector<std::string> LinesOf(const CaptionLayout& layout) {
  std::vector<std::string> lines;
  for (const CaptionLine& line : layout.lines) lines.push_back(line.text);
  return lines;
}

}  // namespace

// A caption wraps at spaces while the box has the lines' height, and is narrowed
// only when it has not or a word is wider than the box.
TEST(Caption, WrapsWhereTheBoxIsHighEnoughNarrowsWhereNot) {
  const SevenPixels seven;
  const auto lay = [&](std::string_view text, int width, int height) {
    const CaptionLayout layout = LayOutCaption(text, width, height, style::LeftJustify, seven);
    return std::pair(layout.stretch, LinesOf(layout));
  };
  using Result = std::pair<int, Names>;
  EXPECT_EQ(lay("ab cd", 35, 10), (Result{100, {"ab cd"}}));
  EXPECT_EQ(lay("ab cd ef", 40, 20), (Result{100, {"ab cd", "ef"}}));
  // The spaces at a break show on neither line; the caption's own breaks break.
  EXPECT_EQ(lay("ab  cd", 20, 20), (Result{100, {"ab", "cd"}}));
  EXPECT_EQ(lay("ab\r\ncd\nef gh", 100, 30), (Result{100, {"ab", "cd", "ef gh"}}));
  // One line's room: 56 pixels narrowed to 49 at 89 %, not 50 at 90 %.
  EXPECT_EQ(lay("ab cd ef", 49, 10), (Result{89, {"ab cd ef"}}));
  EXPECT_EQ(lay("ab cd ef", 49, 19), (Result{89, {"ab cd ef"}}));
  EXPECT_EQ(lay("ab cd ef", 49, 20), (Result{100, {"ab cd", "ef"}}));
  // A word wider than the box stays whole, and the font narrows until it fits.
  EXPECT_EQ(lay("abcdefgh ab", 50, 100), (Result{91, {"abcdefgh", "ab"}}));
  // Nothing fits even at 70 %: the narrowest, wrapped, and the box clips the rest.
  EXPECT_EQ(lay("abcdefghij", 40, 100), (Result{70, {"abcdefghij"}}));
  EXPECT_EQ(lay("ab cd ef gh", 20, 10), (Result{70, {"ab", "cd", "ef", "gh"}}));
  EXPECT_TRUE(LayOutCaption("", 20, 10, style::LeftJustify, seven).lines.empty());
}

TEST(Caption, EachLineIsAlignedInTheBox) {
  const SevenPixels seven;
  const auto offsets = [&](int alignment, int width) {
    std::vector<std::pair<int, int>> xs;
    const CaptionLayout layout = LayOutCaption("ab cd ef", width, 30, alignment, seven);
    for (const CaptionLine& line : layout.lines) xs.emplace_back(line.x, line.width);
    return xs;
  };
  using Offsets = std::vector<std::pair<int, int>>;
  EXPECT_EQ(offsets(style::LeftJustify, 40), (Offsets{{0, 35}, {0, 14}}));
  EXPECT_EQ(offsets(style::RightJustify, 40), (Offsets{{5, 35}, {26, 14}}));
  EXPECT_EQ(offsets(style::Center, 40), (Offsets{{2, 35}, {13, 14}}));
  // Widths are those at the stretch chosen: a word of 42 pixels narrowed to 97 %.
  const CaptionLayout narrowed = LayOutCaption("abcdef ab cd", 40, 20, style::RightJustify, seven);
  EXPECT_EQ(narrowed.stretch, 97);
  EXPECT_EQ(narrowed.lineHeight, 10);
  ASSERT_EQ(LinesOf(narrowed), (Names{"abcdef", "ab cd"}));
  EXPECT_EQ(narrowed.lines[0].x, 0);
  EXPECT_EQ(narrowed.lines[1].x, 7);
}
