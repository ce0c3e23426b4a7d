#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "Module1.h"
#include "runtime/Errors.h"

using namespace rt;
using quintarel::ClipCursorToForm;
using quintarel::FormClipRect;
using quintarel::FrmWin;
using quintarel::ScreenClipRect;
using quintarel::UnclipCursor;
using testing_support::ErrorNumberOf;
using testing_support::Game;
using testing_support::kGreen;
using testing_support::kMarkRed;

namespace {

// A game played to the end: round k is a hit where hits[k - 1] is true.
struct FinishedGame : Game {
  explicit FinishedGame(const std::vector<bool>& hits, PixelRect winRect = {340, 200, 173, 175}) {
    platform.outerRects["frmWin"] = winRect;
    Choose(3);
    for (int k = 1; k <= 7; ++k) Play(k, hits[static_cast<std::size_t>(k - 1)] ? 3 : 6);
  }
  FrmWin& win() { return project.frmWin(); }
};

std::vector<Color> Marks(FrmWin& win) {
  std::vector<Color> marks;
  for (int i = 0; i < 7; ++i) marks.push_back(win.lblBarva.Item(i).BackColor());
  return marks;
}

bool IsFloatingPointError(int number) { return number == err::Overflow || number == err::DivisionByZero; }

}  // namespace

TEST(Module1, WorkedExamples) {
  EXPECT_EQ(FormClipRect(1200, 900, 6000, 4500, 15, 15), (ClipRect{80, 60, 480, 360}));
  // 12 twips per pixel: halves round to even, right adds the rounded left.
  EXPECT_EQ(FormClipRect(1206, 0, 4806, 0, 12, 12).left, 100);
  EXPECT_EQ(FormClipRect(1206, 0, 4806, 0, 12, 12).right, 500);
  EXPECT_EQ(FormClipRect(1218, 0, 4806, 0, 12, 12).left, 102);
  EXPECT_EQ(FormClipRect(1212, 0, 4806, 0, 12, 12).left, 101);
  EXPECT_EQ(FormClipRect(1212, 0, 4806, 0, 12, 12).right, 502);
  EXPECT_EQ(FormClipRect(0, 1212, 0, 4806, 12, 12), (ClipRect{0, 101, 0, 502}));
  // A window partly off the top-left gives negative values, passed on as they are.
  EXPECT_EQ(FormClipRect(-300, -150, 6000, 4500, 15, 15), (ClipRect{-20, -10, 380, 290}));
}

TEST(Module1, FactorsAreUsedAsReadSoHighDpiStillMatchesTheWindow) {
  // 192 dpi: 7.5 twips per pixel. Rounding the factor to 8 first would give
  // (94, 75, 281, 188), a rectangle that misses the window.
  EXPECT_EQ(FormClipRect(750, 600, 1500, 900, 7.5, 7.5), (ClipRect{100, 80, 300, 200}));
  Game game;
  game.platform.screen = {2560, 1600, 7.5f, 7.5f};
  game.platform.outerRects["frmMain"] = {100, 80, 200, 120};
  ClipCursorToForm(game.main());
  ASSERT_EQ(game.platform.clips.size(), 1u);
  EXPECT_EQ(game.platform.clips[0], (ClipRect{100, 80, 300, 200}));
  EXPECT_EQ(ScreenClipRect(2560 * 7.5, 1600 * 7.5, 7.5, 7.5), (ClipRect{0, 0, 2560, 1600}));
  EXPECT_EQ(ScreenClipRect(1366 * 7.5f, 768 * 7.5f, 7.5f, 7.5f), (ClipRect{0, 0, 1366, 768}));
  UnclipCursor(game.main());
  EXPECT_EQ(game.platform.clips[1], std::nullopt);
}

// The whole screen is handed to the platform as a release: on a desktop of
// several monitors a rectangle the size of the primary one would keep the
// cursor there, even after the program has ended.
TEST(Module1, UnclipReleasesWhateverFormItIsGiven) {
  EXPECT_EQ(ScreenClipRect(15360, 11520, 15, 15), (ClipRect{0, 0, 1024, 768}));
  EXPECT_EQ(ScreenClipRect(15360, 12288, 12, 12), (ClipRect{0, 0, 1280, 1024}));
  Game game;
  game.platform.screen = {1024, 768, 15, 15};
  game.platform.outerRects["frmMain"] = {-50, 10, 300, 200};
  game.platform.log.clear();
  ClipCursorToForm(game.main());
  EXPECT_TRUE(game.runtime().CursorConfined());
  UnclipCursor(game.main());
  EXPECT_FALSE(game.runtime().CursorConfined());
  UnclipCursor(game.project.frmWin());
  game.platform.screen = {1280, 1024, 12, 12};
  UnclipCursor(game.main());
  EXPECT_EQ(game.platform.log,
            (std::vector<std::string>{"ClipCursor", "ReleaseCursor", "ReleaseCursor", "ReleaseCursor"}));
}

TEST(Module1, AZeroFactorRaisesTheErrorAndLeavesTheConfinementAlone) {
  Game game;
  game.platform.outerRects["frmMain"] = {10, 10, 100, 100};
  EXPECT_EQ(ErrorNumberOf([] { FormClipRect(150, 150, 1500, 1500, 0, 15); }), err::DivisionByZero);
  EXPECT_EQ(ErrorNumberOf([] { FormClipRect(150, 150, 1500, 1500, 15, 0); }), err::DivisionByZero);
  EXPECT_EQ(ErrorNumberOf([] { FormClipRect(0, 150, 1500, 1500, 0, 15); }), err::Overflow);  // 0/0
  // Through the screen object the window's twips are 0 as well, whichever fault it is.
  game.platform.screen = {1024, 768, 0.0f, 15.0f};
  EXPECT_TRUE(IsFloatingPointError(ErrorNumberOf([&] { ClipCursorToForm(game.main()); })));
  EXPECT_TRUE(IsFloatingPointError(ErrorNumberOf([&] { UnclipCursor(game.main()); })));
  game.platform.screen = {1024, 768, 15.0f, 0.0f};
  EXPECT_TRUE(IsFloatingPointError(ErrorNumberOf([&] { ClipCursorToForm(game.main()); })));
  EXPECT_TRUE(game.platform.clips.empty());
}

TEST(Evaluation, ActivationConfinesToTheWindowAndColoursTheRoundsThatAgree) {
  FinishedGame game({false, true, false, false, true, false, false});
  ASSERT_TRUE(game.win().Visible());
  ASSERT_EQ(game.platform.clips.size(), 1u);
  EXPECT_EQ(game.platform.clips[0], (ClipRect{340, 200, 513, 375}));
  EXPECT_TRUE(game.runtime().CursorConfined());
  EXPECT_EQ(Marks(game.win()), (std::vector<Color>{kMarkRed, kGreen, kMarkRed, kMarkRed, kGreen, kMarkRed, kMarkRed}));
  // The marks agree with the score labels of the main window.
  for (int k = 1; k <= 7; ++k)
    EXPECT_EQ(game.main().RoundControls(k).score.BackColor() == kGreen,
              game.win().lblBarva.Item(k - 1).BackColor() == kGreen);
}

TEST(Evaluation, NoHitLeavesEveryMarkInItsDesignColour) {
  FinishedGame game(std::vector<bool>(7, false));
  EXPECT_EQ(Marks(game.win()), std::vector<Color>(7, kMarkRed));
  EXPECT_EQ(game.win().lblSpravneOdhady.Caption(), "0");
  EXPECT_EQ(game.win().lblUspesnost.Caption(), "0%");
}

TEST(Evaluation, ComparisonIsExactText) {
  FinishedGame game(std::vector<bool>(7, false));
  FrmWin& win = game.win();
  win.lblVaseCislo.Item(0).SetCaption("a");
  win.lblSpravneCislo.Item(0).SetCaption("A");
  win.lblVaseCislo.Item(1).SetCaption("5");
  win.lblSpravneCislo.Item(1).SetCaption(" 5");
  win.lblVaseCislo.Item(2).SetCaption("x");
  win.lblSpravneCislo.Item(2).SetCaption("x");
  game.runtime().Activated(game.main());
  game.runtime().Activated(win);
  EXPECT_EQ(Marks(win), (std::vector<Color>{kMarkRed, kMarkRed, kGreen, kMarkRed, kMarkRed, kMarkRed, kMarkRed}));
}

TEST(Evaluation, ReactivationRepeatsConfinementAndColouringFromTheNewPlace) {
  FinishedGame game({true, false, true, false, true, false, true});
  const auto marks = Marks(game.win());
  // Returning from another application is no reactivation.
  game.runtime().Activated(game.win());
  EXPECT_EQ(game.platform.clips.size(), 1u);
  // Moved by its title bar: the confinement stays where it was taken ...
  game.platform.outerRects["frmWin"] = {500, 300, 173, 175};
  EXPECT_EQ(game.platform.clips.size(), 1u);
  // ... until the window is activated again after the main window was.
  game.runtime().Activated(game.main());
  EXPECT_EQ(game.platform.clips.size(), 1u);
  game.runtime().Activated(game.win());
  ASSERT_EQ(game.platform.clips.size(), 2u);
  EXPECT_EQ(game.platform.clips[1], (ClipRect{500, 300, 673, 475}));
  EXPECT_EQ(Marks(game.win()), marks);
}

TEST(Evaluation, OkAndTheCloseBoxReleaseTheCursorThenEnd) {
  for (bool viaOk : {true, false}) {
    FinishedGame game({true, true, false, false, false, false, false});
    game.platform.log.clear();
    if (viaOk)
      game.Click(game.win(), "cmdOK");
    else
      game.runtime().QueryUnload(game.win(), unload::FormControlMenu);
    ASSERT_EQ(game.platform.clips.size(), 2u);
    EXPECT_EQ(game.platform.clips[1], std::nullopt);
    EXPECT_EQ(game.platform.log, (std::vector<std::string>{"ReleaseCursor", "Quit"}));
    EXPECT_EQ(game.platform.quits, 1);
    EXPECT_FALSE(game.runtime().CursorConfined());
    // Ended: further input reaches no handler.
    game.runtime().Activated(game.main());
    game.runtime().Activated(game.win());
    game.Click(game.win(), "cmdOK");
    EXPECT_EQ(game.platform.clips.size(), 2u);
    EXPECT_EQ(game.platform.quits, 1);
  }
}

TEST(Evaluation, ClosingTheMainWindowDuringTheEvaluationFreesTheCursor) {
  FinishedGame game({true, false, false, false, false, false, true});
  game.platform.log.clear();
  game.runtime().QueryUnload(game.main(), unload::FormControlMenu);
  // The evaluation window's own handler does not run (no unclip rectangle), but
  // the confinement is released before the program ends.
  EXPECT_EQ(game.platform.log, (std::vector<std::string>{"ReleaseCursor", "Quit"}));
  ASSERT_EQ(game.platform.clips.size(), 2u);
  EXPECT_EQ(game.platform.clips[1], std::nullopt);
}

TEST(Evaluation, AFaultInConfinementIsReportedAfterFreeingTheCursor) {
  FinishedGame game({true, false, false, false, false, false, false});
  game.platform.screen.twipsPerPixelX = 0.0f;
  game.platform.log.clear();
  game.runtime().Activated(game.main());
  game.runtime().Activated(game.win());
  // Released first, so the report's OK button can be reached.
  EXPECT_EQ(game.platform.log, (std::vector<std::string>{"ReleaseCursor", "MessageBox", "Quit"}));
  ASSERT_EQ(game.platform.messageBoxes.size(), 1u);
  EXPECT_NE(game.platform.messageBoxes[0].prompt.find("'6'"), std::string::npos);
  EXPECT_EQ(game.platform.messageBoxes[0].style, 16);
  // The handler stopped before colouring.
  EXPECT_EQ(game.win().lblBarva.Item(0).BackColor(), kGreen);  // from the first activation
}

TEST(Evaluation, AFaultAtTheFirstActivationColoursNothingAndClipsNothing) {
  Game game;
  game.Choose(3);
  for (int k = 1; k <= 6; ++k) game.Play(k, 3);
  game.platform.screen.twipsPerPixelY = 0.0f;
  game.random.QueueDigit(3);
  game.runtime().Click(game.main().Ctl("lblClick7"));
  EXPECT_TRUE(game.platform.clips.empty());
  EXPECT_EQ(game.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(game.platform.quits, 1);
  EXPECT_EQ(Marks(game.project.frmWin()), std::vector<Color>(7, kMarkRed));
}

// A window destroyed by another program, or the session ending: nothing may
// refuse or put off the closing, and no confinement outlives the program.
TEST(Closing, NeitherRefusedNorPutOff) {
  {
    SCOPED_TRACE("session end while the message box is open");
    Game game;
    game.platform.duringMessageBox = [&] { game.runtime().Closing(game.main(), unload::AppWindows); };
    game.platform.log.clear();
    game.Click(game.main(), "lblClick1");
    EXPECT_EQ(game.platform.log, (std::vector<std::string>{"MessageBox", "Quit"}));
    EXPECT_TRUE(game.runtime().Ended());
    EXPECT_TRUE(game.main().RoundControls(1).click.Enabled());
  }
  {
    SCOPED_TRACE("the held evaluation window destroyed");
    FinishedGame game({true, false, false, false, false, false, false});
    game.platform.log.clear();
    game.runtime().Closing(game.win(), unload::FormControlMenu);
    EXPECT_EQ(game.platform.log, (std::vector<std::string>{"ReleaseCursor", "Quit"}));
  }
  {
    SCOPED_TRACE("the held evaluation window, session end inside a handler");
    FinishedGame game({true, false, false, false, false, false, false});
    game.platform.duringMessageBox = [&] { game.runtime().Closing(game.win(), unload::AppWindows); };
    game.platform.log.clear();
    game.runtime().Run([&] { game.runtime().MsgBox("x", 16, "y"); });
    EXPECT_EQ(game.platform.log, (std::vector<std::string>{"MessageBox", "ReleaseCursor", "Quit"}));
  }
}
