#include "runtime/Runtime.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "runtime/Errors.h"
#include "runtime/Geometry.h"

using namespace rt;
using testing_support::FakePlatform;
using testing_support::ScriptedRandom;

namespace {

// Two small forms of buttons and labels, to exercise the runtime on its own.
constexpr ControlDesign kControls[] = {
    {.name = "cmdGo", .kind = ControlKind::CommandButton, .left = 0, .top = 0, .width = 600, .height = 300},
    {.name = "lblA", .left = 0, .top = 600, .width = 600, .height = 300},
    {.name = "lblB", .left = 900, .top = 600, .width = 600, .height = 300},
};
constexpr FormDesign kFormA{.name = "A", .clientWidth = 3000, .clientHeight = 3000, .controls = kControls};
constexpr FormDesign kFormB{.name = "B", .clientWidth = 3000, .clientHeight = 3000, .controls = kControls};

struct Fixture {
  FakePlatform platform;
  ScriptedRandom random;
  Runtime runtime{platform, random};
  Form a{runtime, kFormA};
  Form b{runtime, kFormB};
  std::vector<std::string> events;

  PixelPoint Centre(Form& form, std::string_view name) {
    return testing_support::CentreOf(form.Ctl(name), platform.screen);
  }
  void Click(Form& form, std::string_view name) {
    runtime.MouseDown(form, Centre(form, name));
    runtime.MouseUp(form, Centre(form, name));
  }
  void Trace(Form& form, Event event, std::string text) {
    form.Bind("", event, [this, text](EventArgs&) { events.push_back(text); });
  }
};

}  // namespace

TEST(Events, ActivateFromShowWaitsUntilTheRunningHandlerHasFinished) {
  Fixture f;
  f.Trace(f.b, Event::Activate, "B.Activate");
  f.a.Bind("lblA", Event::Click, [&](EventArgs&) {
    f.events.push_back("click begins");
    f.b.Show();
    f.events.push_back("click ends");
  });
  f.runtime.Run([&] { f.a.Show(); });
  f.Click(f.a, "lblA");
  EXPECT_EQ(f.events, (std::vector<std::string>{"click begins", "click ends", "B.Activate"}));
  EXPECT_EQ(f.runtime.ActiveForm(), &f.b);
}

TEST(Events, ActivateFollowsTheProgramsActiveWindowOnly) {
  Fixture f;
  f.Trace(f.a, Event::Activate, "A");
  f.Trace(f.b, Event::Activate, "B");
  f.runtime.Run([&] {
    f.a.Show();
    f.b.Show();
  });
  EXPECT_EQ(f.events, (std::vector<std::string>{"A", "B"}));
  f.runtime.Activated(f.b);  // back from another application: no event
  f.runtime.Activated(f.b);
  f.runtime.Activated(f.a);
  f.runtime.Activated(f.b);
  f.runtime.Activated(f.b);
  EXPECT_EQ(f.events, (std::vector<std::string>{"A", "B", "A", "B"}));
  // A hidden form is never activated.
  Form hidden{f.runtime, kFormA};
  f.Trace(hidden, Event::Activate, "hidden");
  f.runtime.Activated(hidden);
  EXPECT_EQ(f.events.size(), 4u);
}

TEST(Events, AClickNeedsPressAndReleaseOnTheSameEnabledControl) {
  Fixture f;
  int clicks = 0;
  f.a.Bind("lblA", Event::Click, [&](EventArgs&) { ++clicks; });
  f.runtime.MouseDown(f.a, f.Centre(f.a, "lblA"));
  f.runtime.MouseUp(f.a, f.Centre(f.a, "lblB"));
  EXPECT_EQ(clicks, 0);
  f.runtime.MouseUp(f.a, f.Centre(f.a, "lblA"));  // a release without a press
  EXPECT_EQ(clicks, 0);
  f.Click(f.a, "lblA");
  EXPECT_EQ(clicks, 1);
  f.a.Ctl("lblA").SetEnabled(false);
  f.Click(f.a, "lblA");
  f.runtime.Click(f.a.Ctl("lblA"));
  EXPECT_EQ(clicks, 1);
  f.a.Ctl("lblA").SetEnabled(true);
  f.a.Ctl("lblA").SetVisible(false);
  f.Click(f.a, "lblA");
  EXPECT_EQ(clicks, 1);
}

TEST(Events, InputDuringAModalMessageBoxIsDropped) {
  Fixture f;
  int clicks = 0;
  f.a.Bind("lblB", Event::Click, [&](EventArgs&) { ++clicks; });
  f.a.Bind("lblA", Event::Click, [&](EventArgs&) {
    // The message box's nested loop delivers a click and a close request.
    f.runtime.MsgBox("?", 16, "t");
    f.Click(f.a, "lblB");
    f.runtime.QueryUnload(f.a, unload::FormControlMenu);
    f.events.push_back("handler done");
  });
  f.Click(f.a, "lblA");
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(f.platform.quits, 0);
  EXPECT_EQ(f.events, std::vector<std::string>{"handler done"});
  f.Click(f.a, "lblB");
  EXPECT_EQ(clicks, 1);
}

TEST(Events, EndStopsTheHandlerAndEverythingAfterIt) {
  Fixture f;
  f.Trace(f.b, Event::Activate, "B.Activate");
  f.a.Bind("cmdGo", Event::Click, [&](EventArgs&) {
    f.b.Show();
    f.runtime.End();
    f.events.push_back("after End");
  });
  f.runtime.Click(f.a.Ctl("cmdGo"));
  EXPECT_TRUE(f.events.empty());
  EXPECT_EQ(f.platform.quits, 1);
  f.runtime.Activated(f.a);
  f.runtime.Click(f.a.Ctl("cmdGo"));
  f.runtime.QueryUnload(f.a, unload::FormControlMenu);
  EXPECT_EQ(f.platform.quits, 1);
  EXPECT_TRUE(f.events.empty());
}

TEST(Events, AnEscapedRunTimeErrorIsReportedAndEndsTheProgram) {
  Fixture f;
  f.a.Bind("cmdGo", Event::Click, [&](EventArgs&) {
    f.runtime.ClipCursor({10, 10, 50, 50});
    (void)f.a.Array("nothing");  // no such array
  });
  f.runtime.Click(f.a.Ctl("cmdGo"));
  EXPECT_EQ(f.platform.log, (std::vector<std::string>{"ClipCursor", "ReleaseCursor", "MessageBox", "Quit"}));
  ASSERT_EQ(f.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(f.platform.messageBoxes[0].prompt, "Chyba za běhu programu '424':\n\nJe vyžadován objekt");
  EXPECT_EQ(f.platform.messageBoxes[0].style, 16);
  EXPECT_EQ(f.platform.messageBoxes[0].title, "Quintarel");
  EXPECT_TRUE(f.runtime.Ended());
}

TEST(Events, AnErrorInsideAFormLoadedByAHandlerStopsThatHandler) {
  Fixture f;
  Form lazy{f.runtime, kFormB};
  lazy.Bind("", Event::Load, [](EventArgs&) { throw RuntimeError(err::Overflow); });
  f.a.Bind("cmdGo", Event::Click, [&](EventArgs&) {
    f.runtime.Load(lazy);
    f.events.push_back("after load");
  });
  f.runtime.Click(f.a.Ctl("cmdGo"));
  EXPECT_TRUE(f.events.empty());
  EXPECT_EQ(f.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(f.platform.quits, 1);
}

TEST(Events, ACloseThatIsNeitherCancelledNorHandledEndsTheProgram) {
  Fixture f;
  f.a.Bind("", Event::QueryUnload, [](EventArgs& args) { args.cancel = 1; });
  f.runtime.QueryUnload(f.a, unload::FormControlMenu);
  EXPECT_EQ(f.platform.quits, 0);
  f.runtime.QueryUnload(f.b, unload::FormControlMenu);
  EXPECT_EQ(f.platform.quits, 1);
}

TEST(Events, AClosingThatCannotWaitEndsEvenWhereAHandlerWouldCancel) {
  Fixture f;
  f.a.Bind("", Event::QueryUnload, [](EventArgs& args) { args.cancel = 1; });
  f.runtime.Closing(f.a, unload::FormControlMenu);
  EXPECT_TRUE(f.runtime.Ended());
  EXPECT_EQ(f.platform.quits, 1);
  f.runtime.Closing(f.b, unload::AppWindows);
  EXPECT_EQ(f.platform.quits, 1);
}

TEST(Events, ConfinementCoveringTheScreenIsARelease) {
  Fixture f;
  f.runtime.ClipCursor({0, 0, 1024, 768});
  EXPECT_FALSE(f.runtime.CursorConfined());
  f.runtime.ClipCursor({0, 0, 1023, 768});
  EXPECT_TRUE(f.runtime.CursorConfined());
  f.runtime.ClipCursor({-5, -5, 2000, 2000});
  EXPECT_FALSE(f.runtime.CursorConfined());
  EXPECT_EQ(f.platform.log, (std::vector<std::string>{"ReleaseCursor", "ClipCursor", "ReleaseCursor"}));
}

TEST(Properties, WritesAreRepaintedButAnUnchangedValueIsNot) {
  Fixture f;
  Control& label = f.a.Ctl("lblA");
  const int before = f.platform.changes;
  label.SetCaption("x");
  label.SetBackColor(0xFF);
  label.SetEnabled(false);
  EXPECT_EQ(f.platform.changes, before + 3);
  label.SetCaption("x");
  label.SetBackColor(0xFF);
  label.SetTag("never shown");
  EXPECT_EQ(f.platform.changes, before + 3);
}

TEST(Screen, TwipsComeFromTheScreensPixelsAndFactors) {
  Fixture f;
  f.platform.screen = {1280, 1024, 12.0f, 12.0f};
  EXPECT_EQ(f.runtime.ScreenWidth(), 15360.0f);
  EXPECT_EQ(f.runtime.ScreenHeight(), 12288.0f);
  f.platform.outerRects["A"] = {100, 50, 300, 200};
  EXPECT_EQ(f.a.Left(), 1200.0f);
  EXPECT_EQ(f.a.Top(), 600.0f);
  EXPECT_EQ(f.a.Width(), 3600.0f);
  EXPECT_EQ(f.a.Height(), 2400.0f);
}

TEST(ImplicitCreation, TheFirstReferenceCreatesTheEvaluationWindowOnceAndHidden) {
  testing_support::Game game;
  EXPECT_EQ(game.project.FrmWinIfCreated(), nullptr);
  quintarel::FrmWin& first = game.project.frmWin();
  EXPECT_EQ(&game.project.frmWin(), &first);
  EXPECT_EQ(&first.lblBarva.Item(3), &game.project.frmWin().lblBarva.Item(3));
  EXPECT_FALSE(first.Visible());
  EXPECT_EQ(game.platform.shown, std::vector<std::string>{"frmMain"});
}

TEST(Wiring, TwentySixHandlersNamedAfterControlAndEvent) {
  int main = 0, win = 0;
  for (const auto& row : quintarel::kEventWiring) {
    (row.form == "frmMain" ? main : win)++;
    const std::string expectedName = (row.control.empty() ? std::string("Form") : std::string(row.control)) + "_" +
                                     (row.event == Event::Click      ? "Click"
                                      : row.event == Event::Load     ? "Load"
                                      : row.event == Event::Activate ? "Activate"
                                                                     : "QueryUnload");
    EXPECT_EQ(row.handler, expectedName);
  }
  EXPECT_EQ(main, 23);
  EXPECT_EQ(win, 3);
  // No other control has a handler: clicking the rest of the main window changes nothing.
  testing_support::Game game;
  game.Choose(2);
  game.Play(1, 2);
  const int changes = game.platform.changes;
  for (const char* name : {"lblScore1", "lblNumber", "Label1", "Label2", "lblNo1", "Image1", "fraVysledky", "fraNumber",
                           "lblPercent", "lblUspesnost"})
    game.Click(game.main(), name);
  EXPECT_EQ(game.platform.changes, changes);
  EXPECT_TRUE(game.random.draws.empty());
}
