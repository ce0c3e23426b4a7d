// The game on real Wayland compositors (headless sway, mutter and KWin),
// natively and through XWayland, played through each compositor's own input
// injection, so that the compositor confines the motion as it would a mouse's.
// The checks are written once, against the Compositor interface.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "Game.h"
#include "KWin.h"
#include "Mutter.h"
#include "Sway.h"
#include "runtime/Frame.h"
#include "runtime/qt/Fonts.h"

namespace qt_tests {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kSeed = 20261207;
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

// A compositor of the tests, and the way the game runs on it: natively, as a
// Wayland session starts it (DISPLAY is set there too), or on XWayland, as the
// user may choose.
struct Setup {
  std::string name;
  std::function<std::unique_ptr<Compositor>()> start;
  bool native = true;
};

void PrintTo(const Setup& setup, std::ostream* out) { *out << setup.name; }

// One game on its own compositor, or on one shared by many games.
class WaylandGame {
 public:
  explicit WaylandGame(const Setup& setup) : WaylandGame(setup.start(), setup.native) {}
  // A game on a compositor that outlives it, for many games in a row.
  WaylandGame(Compositor& shared, bool native) : WaylandGame(nullptr, native, &shared) {}

  Compositor& C() { return compositor_; }
  Program& Game() { return *program_; }
  const Layout& Lay() const { return layout_; }
  const Compositor::Window& Main() const { return main_; }
  const std::array<int, 7>& Draws() const { return draws_; }
  bool Native() const { return native_; }

 private:
  WaylandGame(std::unique_ptr<Compositor> own, bool native, Compositor* shared = nullptr)
      : own_(std::move(own)),
        compositor_(shared ? *shared : *own_),
        native_(native),
        layout_(15.0f),
        draws_(ExpectedDraws(kSeed)) {
    std::vector<std::pair<std::string, std::string>> env = compositor_.ClientEnv();
    env.emplace_back("QUINTAREL_TEST_SEED", std::to_string(kSeed));
    if (!native) env.emplace_back("QT_QPA_PLATFORM", "xcb");
    // Under the sanitizers: what Qt's Wayland plugins leave behind is
    // allocated inside libraries without frame pointers, and only a full
    // unwind reaches the Qt frames the suppressions name.
    if (const char* asan = std::getenv("ASAN_OPTIONS"); native && asan)
      env.emplace_back("ASAN_OPTIONS", std::string(asan) + ":fast_unwind_on_malloc=0");
    program_ = std::make_unique<Program>(compositor_.XDisplay(), env, true, compositor_.User());
    main_ = compositor_.WaitWindow(" Quintarel");
    if (!WaitUntil(
            [&] {
              if (const std::optional<Compositor::Window> now = compositor_.FindWindow(" Quintarel")) main_ = *now;
              const Rect client = Client(main_, layout_.Main());
              return compositor_.Pixel(client.x + 2, client.y + 2) == kPink;
            },
            20s))
      throw std::runtime_error("the main window is not painted; the game's stderr: " + program_->Stderr());
  }

 public:
  // The program's own frame around the form, natively; none on XWayland,
  // where the compositor's frame lies outside the surface.
  rt::FrameLayout Frame(const rt::Form& form) const { return rt::LayOutFrame(form.Design(), layout_.Screen()); }
  Rect Client(const Compositor::Window& window, const rt::Form& form) const {
    const rt::PixelSize size = rt::ClientSize(form.Design(), layout_.Screen());
    if (!native_) return {window.content.x, window.content.y, size.width, size.height};
    const rt::FrameLayout frame = Frame(form);
    return {window.content.x + frame.client.left, window.content.y + frame.client.top, size.width, size.height};
  }
  // A point of the window's frame, on the screen.
  rt::PixelPoint OnFrame(const Compositor::Window& window, const rt::PixelRect& part) const {
    return {window.content.x + part.left + part.width / 2, window.content.y + part.top + part.height / 2};
  }
  rt::PixelPoint Center(const Compositor::Window& window, const rt::Control& c) const {
    const Rect client = Client(window, c.Parent());
    const rt::PixelRect r = layout_.Rect(c);
    return {client.x + r.left + r.width / 2, client.y + r.top + r.height / 2};
  }
  void ClickMain(const rt::Control& c) {
    const Rect client = Client(main_, layout_.Main());
    const rt::PixelPoint p = layout_.ClickPoint(c);
    compositor_.Click(client.x + p.x, client.y + p.y);
  }

  // Plays all seven rounds, each a miss, through the digit labels; returns the
  // evaluation window.
  Compositor::Window PlayGame() {
    const quintarel::FrmMain& main = layout_.Main();
    for (int k = 1; k <= 7; ++k) {
      ClickMain(main.Ctl("lblNoSelectNo" + std::to_string(draws_[static_cast<std::size_t>(k - 1)] % 7 + 1)));
      ClickMain(main.Ctl("lblClick" + std::to_string(k)));
      const rt::PixelPoint p = Center(main_, main.Ctl("lblScore" + std::to_string(k)));
      if (!WaitUntil([&] { return compositor_.Pixel(p.x, p.y) != kWhite; }))
        throw std::runtime_error("round " + std::to_string(k) + " shows no result");
    }
    const Compositor::Window win = compositor_.WaitWindow("Vyhodnocení");
    const Rect client = Client(win, layout_.Win());
    if (!WaitUntil([&] { return compositor_.Pixel(client.x + 2, client.y + 2) == kFace; }))
      throw std::runtime_error("the evaluation window is not painted");
    return win;
  }

  // Moves the pointer onto p of the window by relative motion from the window's
  // top-left corner, where a held pointer pushed towards the screen's stays.
  void ReachHeld(const Compositor::Window& window, const rt::PixelPoint& p) {
    compositor_.MoveBy(-kScreenWidth, -kScreenHeight);
    compositor_.MoveBy(p.x - window.content.x, p.y - window.content.y);
  }

 private:
  std::unique_ptr<Compositor> own_;
  Compositor& compositor_;
  bool native_;
  Layout layout_;
  std::array<int, 7> draws_;
  std::unique_ptr<Program> program_;
  Compositor::Window main_;
};

// Whether the pointer shows at a point: moving it away from there by (dx, dy)
// changes what the screen shows there.
bool PointerAt(WaylandGame& g, int x, int y, int dx, int dy) {
  const QImage pointer = g.C().Grab({x, y, 16, 16});
  g.C().MoveBy(dx, dy);
  const QImage bare = g.C().Grab({x, y, 16, 16});
  int changed = 0;
  for (int row = 0; row < pointer.height(); ++row)
    for (int column = 0; column < pointer.width(); ++column)
      changed += pointer.pixel(column, row) != bare.pixel(column, row);
  return changed >= 10;
}

// Whether the pointer is held to the window on every side. Pushed by relative
// motion towards the screen's top-left corner, then as far on as the main
// window's bottom-right corner lies from there, a held pointer stops at the
// window's bottom-right corner; pushed back towards the screen's corner, at its
// top-left one. A free one ends off the window. Nothing is clicked and nothing
// changes: the program takes the hold a moment after the window has the
// focus, and the probe is repeated for a while.
bool HeldTo(WaylandGame& g, const Compositor::Window& win) {
  const Rect& r = win.content;
  const Rect& main = g.Main().content;
  if (main.x + main.width <= r.x + r.width || main.y + main.height <= r.y + r.height)
    throw std::logic_error("the main window does not reach beyond the evaluation window");
  return WaitUntil([&] {
    g.C().MoveBy(-kScreenWidth, -kScreenHeight);
    g.C().MoveBy(main.x + main.width - 3, main.y + main.height - 3);
    if (!PointerAt(g, r.x + r.width - 1, r.y + r.height - 1, -40, -40)) return false;
    g.C().MoveBy(-kScreenWidth, -kScreenHeight);
    return PointerAt(g, r.x, r.y, 40, 40);
  });
}

// Ends the game by clicking OK, reached inside the held window.
void PressOk(WaylandGame& g, const Compositor::Window& win) {
  g.ReachHeld(win, g.Center(win, g.Lay().Win().cmdOK));
  g.C().Click();
}

void ExpectEndsWell(WaylandGame& g, const std::string& how) {
  const std::optional<int> status = g.Game().WaitExit();
  ASSERT_TRUE(status) << how << " did not end the program";
  EXPECT_EQ(*status, 0) << how;
  EXPECT_EQ(g.Game().Stderr(), "") << how;
}

class Wayland : public testing::TestWithParam<Setup> {};
// The program's own frame, on native Wayland only.
class WaylandFrame : public testing::TestWithParam<Setup> {};

// After round 7 the pointer is held to the evaluation window; OK, reached by
// relative motion inside it, ends the program.
TEST_P(Wayland, EvaluationHoldsThePointerUntilOk) {
  WaylandGame g(GetParam());
  const Compositor::Window win = g.PlayGame();
  ASSERT_TRUE(win.focused);
  ASSERT_TRUE(HeldTo(g, win)) << "the pointer left the evaluation window";
  // A click aimed at the main window, by relative or by absolute motion, lands
  // in the evaluation window: the main window is neither focused nor raised.
  const Rect& main = g.Main().content;
  g.ReachHeld(win, {main.x + main.width - 3, main.y + main.height - 3});
  g.C().Click();
  g.C().MoveTo(main.x + main.width - 3, main.y + 3);
  g.C().Click();
  const std::optional<Compositor::Window> now = g.C().FindWindow("Vyhodnocení");
  EXPECT_TRUE(now && now->focused) << "a click went to the main window";
  const Rect client = g.Client(win, g.Lay().Win());
  EXPECT_EQ(g.C().Pixel(client.x + 2, client.y + 2), kFace);
  PressOk(g, win);
  ExpectEndsWell(g, "OK");
}

// Whether clicks on the main window's digit n select it while the evaluation
// window is kept from the focus by away: the pointer is free and the clicks
// reach the program. The program lets go a moment after the focus has moved;
// a click that came before went to the evaluation window, which then took the
// focus back: away is done again, and the click tried again, for a while.
bool Selects(WaylandGame& g, int n, const std::function<void()>& away) {
  const auto selected = [&] {
    const QImage shot = g.C().Grab(g.Client(g.Main(), g.Lay().Main()));
    return ReadLabel(shot, g.Lay(), g.Lay().Main().lblNumber, kPink, {"", "1", "2", "3", "4", "5", "6", "7"}).text ==
           std::to_string(n);
  };
  away();
  return WaitUntil(
      [&] {
        const std::optional<Compositor::Window> win = g.C().FindWindow("Vyhodnocení");
        if (win && win->focused) away();
        std::this_thread::sleep_for(100ms);
        g.ClickMain(g.Lay().Main().Ctl("lblNoSelectNo" + std::to_string(n)));
        return WaitUntil(selected, 500ms);
      },
      10s);
}

// The compositor holds the pointer only while the window has its focus: with
// the main window focused, or the evaluation window minimized, the pointer is
// free and the main window takes clicks; focused or restored, the window holds
// it again.
TEST_P(Wayland, HeldOnlyWhileFocusedAndHeldAgain) {
  WaylandGame g(GetParam());
  const Compositor::Window win = g.PlayGame();
  ASSERT_TRUE(HeldTo(g, win));
  const int selected = g.Draws()[6] % 7 + 1;
  // A compositor may keep the evaluation window over the main window, as the
  // program asks: another digit, of those the evaluation window leaves clear.
  int other = 0;
  for (int n = 1; n <= 7 && !other; ++n) {
    const Rect& r = win.content;
    const Rect client = g.Client(g.Main(), g.Lay().Main());
    const rt::PixelPoint p = g.Lay().ClickPoint(g.Lay().Main().Ctl("lblNoSelectNo" + std::to_string(n)));
    const int x = client.x + p.x, y = client.y + p.y;
    if (n != selected && (x < r.x || x >= r.x + r.width || y < r.y || y >= r.y + r.height)) other = n;
  }
  ASSERT_NE(other, 0) << "the evaluation window covers every digit";
  EXPECT_TRUE(Selects(g, other, [&] { g.C().Focus(g.Main()); }))
      << "the main window takes no click while it has the focus";
  g.C().Focus(win);
  ASSERT_TRUE(HeldTo(g, win)) << "not held again once focused";
  EXPECT_TRUE(Selects(g, selected, [&] { g.C().Minimize(win); }))
      << "the main window takes no click while the evaluation window is minimized";
  g.C().Restore(win);
  ASSERT_TRUE(HeldTo(g, win)) << "not held again once restored";
  PressOk(g, win);
  ExpectEndsWell(g, "OK");
}

// Closing either window while the pointer is held ends the program.
TEST_P(Wayland, ClosingEitherWindowDuringEvaluationEnds) {
  for (const bool closeMain : {true, false}) {
    SCOPED_TRACE(closeMain ? "main window" : "evaluation window");
    WaylandGame g(GetParam());
    const Compositor::Window win = g.PlayGame();
    ASSERT_TRUE(HeldTo(g, win)) << "the pointer left the evaluation window";
    g.C().Close(closeMain ? g.Main() : win);
    ExpectEndsWell(g, "closing");
  }
}

// The frame is the program's, and part of the held surface: the pointer
// reaches the close box while held, and the close box ends the program, as the
// main window's does before any round.
TEST_P(WaylandFrame, CloseBoxesEnd) {
  {
    WaylandGame g(GetParam());
    const rt::PixelPoint close = g.OnFrame(g.Main(), g.Frame(g.Lay().Main()).close);
    g.C().Click(close.x, close.y);
    ExpectEndsWell(g, "the main window's close box");
  }
  WaylandGame g(GetParam());
  const Compositor::Window win = g.PlayGame();
  ASSERT_TRUE(HeldTo(g, win)) << "the pointer is not held to the frame";
  g.ReachHeld(win, g.OnFrame(win, g.Frame(g.Lay().Win()).close));
  g.C().Click();
  ExpectEndsWell(g, "the evaluation window's close box");
}

// The main window's minimize box minimizes it: it leaves the screen.
TEST_P(WaylandFrame, MinimizeBoxMinimizes) {
  WaylandGame g(GetParam());
  if (!g.C().Minimizes()) GTEST_SKIP() << g.C().Name() << " minimizes no window";
  const rt::PixelPoint minimize = g.OnFrame(g.Main(), g.Frame(g.Lay().Main()).minimize);
  const Rect client = g.Client(g.Main(), g.Lay().Main());
  g.C().Click(minimize.x, minimize.y);
  EXPECT_TRUE(WaitUntil([&] { return g.C().Pixel(client.x + 2, client.y + 2) != kPink; }))
      << "the main window is still on the screen";
  EXPECT_TRUE(g.Game().Running());
}

// Dragging the title bar moves the window, with the pointer held; once the
// window is activated again, the pointer is held to it where it now is.
TEST_P(WaylandFrame, CaptionDragMovesTheWindowAndTheHoldFollows) {
  WaylandGame g(GetParam());
  const Compositor::Window win = g.PlayGame();
  ASSERT_TRUE(HeldTo(g, win));
  const rt::FrameLayout frame = g.Frame(g.Lay().Win());
  g.ReachHeld(win, g.OnFrame(win, frame.title));
  g.C().Button(true);
  // In small steps, as a hand moves a mouse, up and to the left.
  for (int step = 0; step < 20; ++step) {
    g.C().MoveBy(-4, -3);
    std::this_thread::sleep_for(10ms);
  }
  g.C().Button(false);
  Compositor::Window moved;
  ASSERT_TRUE(WaitUntil([&] {
    moved = *g.C().FindWindow("Vyhodnocení");
    return moved.content.x != win.content.x || moved.content.y != win.content.y;
  })) << "the caption drag did not move the window";
  EXPECT_LT(moved.content.x, win.content.x);
  EXPECT_LT(moved.content.y, win.content.y);
  g.C().Focus(g.Main());
  g.C().Focus(moved);
  moved = g.C().WaitWindow("Vyhodnocení");
  ASSERT_TRUE(HeldTo(g, moved)) << "not held where the window was moved to";
  PressOk(g, moved);
  ExpectEndsWell(g, "OK");
}

// Every way a player ends the game ends the process at once, game after game.
// A quit that came just as Qt's Wayland event thread was about to read left
// Qt's teardown waiting for that read for ever: with one game in a few losing
// that race, twenty-one ends in a row all but never pass without the cure.
TEST(WaylandExit, EveryEndEndsTheProcessAtOnce) {
  enum class End { CloseMain, CloseEvaluation, Ok };
  Sway sway(kScreenWidth, kScreenHeight);
  for (int game = 0; game < 21; ++game) {
    const End end = static_cast<End>(game % 3);
    SCOPED_TRACE("game " + std::to_string(game + 1));
    {
      WaylandGame g(sway, true);
      if (end == End::CloseMain) {
        sway.Close(g.Main());
      } else {
        const Compositor::Window win = g.PlayGame();
        ASSERT_TRUE(HeldTo(g, win));
        if (end == End::Ok)
          PressOk(g, win);
        else
          sway.Close(win);
      }
      const std::optional<int> status = g.Game().WaitExit(2s);
      ASSERT_TRUE(status) << (end == End::CloseMain ? "closing the main window"
                              : end == End::Ok      ? "OK"
                                                    : "closing the evaluation window")
                          << " did not end the program within 2 s";
      ASSERT_EQ(*status, 0);
      ASSERT_EQ(g.Game().Stderr(), "");
    }
    // The next game's windows are not to be taken for this one's.
    ASSERT_TRUE(WaitUntil([&] { return !sway.FindWindow(" Quintarel") && !sway.FindWindow("Vyhodnocení"); }));
  }
}

// A compositor that stops answering as the game ends keeps the process no
// longer than a second or so.
TEST(WaylandExit, EndsThoughTheCompositorNoLongerAnswers) {
  Sway sway(kScreenWidth, kScreenHeight);
  WaylandGame g(sway, true);
  sway.Close(g.Main());
  sway.Freeze(true);
  const std::optional<int> status = g.Game().WaitExit(2s);
  sway.Freeze(false);
  ASSERT_TRUE(status) << "the program still runs 2 s after its end";
  EXPECT_EQ(*status, 0);
}

// The title bars show their captions whole in the font the frame is drawn in.
TEST(WaylandFrameTitle, CaptionsFitTheirTitleBars) {
  const Layout layout(15.0f);
  const quintarel::qt::FontMeasure measure(
      quintarel::qt::MakeFont(rt::kCaptionFont, rt::FontPixelHeight(rt::kCaptionFont, layout.Screen())));
  for (const rt::Form* form :
       {static_cast<const rt::Form*>(&layout.Main()), static_cast<const rt::Form*>(&layout.Win())}) {
    const rt::FrameLayout frame = rt::LayOutFrame(form->Design(), layout.Screen());
    EXPECT_EQ(rt::FitTitle(form->Design().caption, frame.title.width, measure), form->Design().caption);
  }
}

std::unique_ptr<Compositor> StartSway() { return std::make_unique<Sway>(kScreenWidth, kScreenHeight); }

std::string NameOf(const testing::TestParamInfo<Setup>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(All, Wayland,
                         testing::Values(Setup{"SwayNative", StartSway, true}, Setup{"SwayXWayland", StartSway, false}),
                         NameOf);
INSTANTIATE_TEST_SUITE_P(All, WaylandFrame, testing::Values(Setup{"Sway", StartSway, true}), NameOf);
// mutter, natively only: on XWayland it does not hold the pointer.
std::unique_ptr<Compositor> StartMutter() { return std::make_unique<Mutter>(kScreenWidth, kScreenHeight); }
INSTANTIATE_TEST_SUITE_P(Mutter, Wayland, testing::Values(Setup{"MutterNative", StartMutter, true}), NameOf);
INSTANTIATE_TEST_SUITE_P(Mutter, WaylandFrame, testing::Values(Setup{"Mutter", StartMutter, true}), NameOf);
// KWin
std::unique_ptr<Compositor> StartKWin() { return std::make_unique<KWin>(kScreenWidth, kScreenHeight); }
INSTANTIATE_TEST_SUITE_P(KWin, Wayland, testing::Values(Setup{"KWinNative", StartKWin, true}), NameOf);
INSTANTIATE_TEST_SUITE_P(KWin, WaylandFrame, testing::Values(Setup{"KWin", StartKWin, true}), NameOf);

}  // namespace
}  // namespace qt_tests
