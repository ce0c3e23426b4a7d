// The game by keyboard and as a screen reader reads it: the key bindings and
// accessible entries of the two designs, through the runtime, on the fake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "runtime/Accessible.h"
#include "runtime/Geometry.h"

using namespace rt;
using testing_support::CentreOf;
using testing_support::FakePlatform;
using testing_support::Game;

namespace {

Key Digit(int n) { return static_cast<Key>(n); }

// Every property of both windows and the form-level integers, as one text.
std::string Snapshot(quintarel::Project& project) {
  std::string text;
  auto add = [&](const Form& form) {
    for (const auto& c : form.Controls())
      text += std::string(c->Name()) + std::to_string(c->Index()) + "|" + c->Caption() + "|" + c->Tag() + "|" +
              std::to_string(c->BackColor()) + "|" + std::to_string(c->Enabled()) + "\n";
  };
  add(project.frmMain());
  if (quintarel::FrmWin* win = project.FrmWinIfCreated()) add(*win);
  text += std::to_string(project.frmMain().ScoreSum);
  return text;
}

}  // namespace

// A key calls exactly the handler a click on its control calls, and only while
// that control takes clicks: Enter and Space follow the open round.
TEST(Keys, EachKeyCallsTheHandlerOfTheClickOnItsControl) {
  Game game;
  quintarel::FrmMain& main = game.main();
  std::vector<std::string> trace;
  for (const quintarel::EventBinding& row : quintarel::kEventWiring)
    if (row.form == "frmMain" && row.event == Event::Click)
      main.Bind(row.control, Event::Click,
                [&trace, name = std::string(row.control)](EventArgs&) { trace.push_back(name); });
  const auto pressed = [&](KeyStroke stroke) {
    trace.clear();
    game.runtime().KeyPress(main, stroke);
    return trace;
  };
  // Clicked where no other control lies over it (a box's digit lies over its middle).
  const auto clicked = [&](const std::string& name) {
    trace.clear();
    const PixelRect r = ControlRect(main.Ctl(name), game.platform.screen);
    game.ClickAt(main, {r.left + 2, r.top + r.height / 2});
    return trace;
  };
  using V = std::vector<std::string>;
  for (int n = 1; n <= 7; ++n) {
    const std::string box = "lblNoSelect" + std::to_string(n);
    EXPECT_EQ(pressed({Digit(n)}), clicked(box));
    EXPECT_EQ(pressed({Digit(n)}), V{box});
    // Shift is how some keyboards (Czech) give digits; chords and repeats are no keys.
    EXPECT_EQ(pressed({Digit(n), keymod::Shift}), V{box});
    for (int chord : {keymod::Control, keymod::Alt, keymod::System, keymod::Control | keymod::Alt})
      EXPECT_EQ(pressed({Digit(n), chord}), V{}) << "modifiers " << chord;
    EXPECT_EQ(pressed({Digit(n), 0, true}), V{});
  }
  for (int k = 1; k <= 7; ++k) {
    const std::string round = "lblClick" + std::to_string(k);
    ASSERT_TRUE(main.Ctl(round).Enabled());
    EXPECT_EQ(pressed({Key::Enter}), clicked(round));
    EXPECT_EQ(pressed({Key::Enter}), V{round});
    EXPECT_EQ(pressed({Key::Space}), V{round});
    EXPECT_EQ(pressed({Key::Enter, 0, true}), V{});
    // The handlers are tracers here, so the rounds are moved on by hand.
    main.Ctl(round).SetEnabled(false);
    if (k < 7) main.Ctl("lblClick" + std::to_string(k + 1)).SetEnabled(true);
  }
  // After round 7 no round is open.
  EXPECT_EQ(pressed({Key::Enter}), V{});
  EXPECT_EQ(pressed({Key::Space}), V{});
}

TEST(Keys, TheEvaluationWindowsKeysPressOk) {
  Game game;
  quintarel::FrmWin& win = game.project.frmWin();
  int oks = 0;
  win.Bind("cmdOK", Event::Click, [&](EventArgs&) { ++oks; });
  // Escape and the digits do nothing there; Enter and Space press OK, with the
  // focus on OK or in the table alike.
  for (Key key : {Key::Digit3, Key::Digit7}) game.runtime().KeyPress(win, {key});
  EXPECT_EQ(oks, 0);
  game.runtime().KeyPress(win, {Key::Enter});
  EXPECT_EQ(oks, 1);
  game.runtime().KeyPress(win, {Key::Tab});
  game.runtime().KeyPress(win, {Key::Space});
  EXPECT_EQ(oks, 2);
}

// Keys that arrive while the message box is up are dropped, as clicks are.
TEST(Keys, KeysDuringAHandlerAreDropped) {
  Game game;
  quintarel::FrmMain& main = game.main();
  game.platform.duringMessageBox = [&] {
    for (Key key : {Key::Digit3, Key::Enter, Key::Space}) game.runtime().KeyPress(main, {key});
  };
  game.runtime().KeyPress(main, {Key::Enter});
  ASSERT_EQ(game.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(game.platform.messageBoxes[0].title, "Chyba!");
  EXPECT_EQ(main.lblNumber.Caption(), "");
  EXPECT_EQ(game.random.taken, 0);
  EXPECT_TRUE(main.Ctl("lblClick1").Enabled());
  // Afterwards keys play again.
  game.runtime().KeyPress(main, {Key::Digit3});
  game.random.QueueDigit(3);
  game.runtime().KeyPress(main, {Key::Space});
  EXPECT_EQ(main.RoundControls(1).no.Caption(), "3");
  EXPECT_EQ(game.platform.messageBoxes.size(), 1u);
}

// One seeded game played twice, by the mouse and by the keys alone: the same
// draws, results, records and platform calls, in the same order.
TEST(Keys, AKeyboardGameIsTheClickedGame) {
  struct Seeded {
    FakePlatform platform;
    ClockRandom random{[] { return std::uint64_t{20261207}; }};
    quintarel::Project project{platform, random};
    Seeded() { project.Start(); }
  };
  // 0: play the open round; n: choose n. The first round is tried without a number.
  const std::vector<int> script{0, 3, 0, 0, 5, 0, 0, 1, 0, 0, 0};
  Seeded mouse, keys;
  for (const int step : script) {
    quintarel::FrmMain& m = mouse.project.frmMain();
    std::string name = "lblNoSelectNo" + std::to_string(step);
    if (step == 0)
      for (int k = 1; k <= 7; ++k)
        if (m.Ctl("lblClick" + std::to_string(k)).Enabled()) name = "lblClick" + std::to_string(k);
    const PixelPoint at = CentreOf(m.Ctl(name), mouse.platform.screen);
    mouse.project.Rt().MouseDown(m, at);
    mouse.project.Rt().MouseUp(m, at);
    keys.project.Rt().KeyPress(keys.project.frmMain(), {step == 0 ? Key::Enter : Digit(step)});
  }
  ASSERT_NE(keys.project.FrmWinIfCreated(), nullptr);
  EXPECT_TRUE(keys.project.FrmWinIfCreated()->Visible());
  EXPECT_EQ(Snapshot(keys.project), Snapshot(mouse.project));
  EXPECT_EQ(keys.platform.log, mouse.platform.log);
  EXPECT_EQ(keys.platform.messageBoxes.size(), 1u);
  // After round 7 Enter and Space do nothing on the main window; a digit still chooses.
  const std::string before = Snapshot(keys.project);
  const std::size_t calls = keys.platform.log.size();
  for (Key key : {Key::Enter, Key::Space}) keys.project.Rt().KeyPress(keys.project.frmMain(), {key});
  EXPECT_EQ(Snapshot(keys.project), before);
  EXPECT_EQ(keys.platform.log.size(), calls);
  keys.project.Rt().KeyPress(keys.project.frmMain(), {Key::Digit7});
  EXPECT_EQ(keys.project.frmMain().lblNumber.Caption(), "7");
}

// Every node of a window as a screen reader reviews it, with its checked mark.
std::vector<std::string> Readings(const Form& form) {
  std::vector<std::string> readings;
  for (std::size_t node = 0; node < form.Accessible().size(); ++node) {
    const int n = static_cast<int>(node);
    readings.push_back(NodeReading(form, n) + (NodeStateOf(form, n).checked ? " [x]" : ""));
  }
  return readings;
}

int NodeNamed(const Form& form, const std::string& name) {
  for (std::size_t node = 0; node < form.Accessible().size(); ++node)
    if (NodeName(form, static_cast<int>(node)) == name) return static_cast<int>(node);
  return -1;
}

// What a screen reader reads off the two windows, at the start and after rounds.
TEST(Accessible, TheTreeReadsTheGame) {
  Game game;
  quintarel::FrmMain& main = game.main();
  EXPECT_EQ(AccessibleTitle(main), "Quintarel");
  std::vector<std::string> expected{"Vyberte číslo", "1", "2", "3", "4", "5", "6", "7", "Zvolené číslo:"};
  for (int k = 1; k <= 7; ++k) {
    const std::string n = std::to_string(k);
    expected.insert(expected.end(), {"Kolo " + n, "Tažené číslo kola " + n, "Výsledek kola " + n});
  }
  expected.push_back("Úspěšnost:");
  EXPECT_EQ(Readings(main), expected);
  // Pressable are the boxes and the round labels, each standing for the control a click would reach.
  int pressable = 0;
  for (std::size_t node = 0; node < main.Accessible().size(); ++node)
    if (NodeStateOf(main, static_cast<int>(node)).pressable) {
      ++pressable;
      EXPECT_NE(main.HandlerFor(main.Accessible()[node].control, Event::Click), nullptr) << node;
    }
  EXPECT_EQ(pressable, 14);

  game.Choose(4);
  game.Play(1, 4);
  game.Choose(2);
  game.Play(2, 6);
  const std::vector<std::string> now = Readings(main);
  EXPECT_EQ(std::vector<std::string>(now.begin() + 1, now.begin() + 9),
            (std::vector<std::string>{"1", "2 [x]", "3", "4", "5", "6", "7", "Zvolené číslo: 2"}));
  EXPECT_EQ(std::vector<std::string>(now.begin() + 9, now.begin() + 15),
            (std::vector<std::string>{"Kolo 1", "Tažené číslo kola 1 4", "Výsledek kola 1 zásah", "Kolo 2",
                                      "Tažené číslo kola 2 6", "Výsledek kola 2 minutí"}));
  EXPECT_EQ(now.back(), "Úspěšnost: 50%");

  // The evaluation window: its summary, the record as a table with headers
  // whose cells say whether their column agrees, and OK.
  for (int k = 3; k <= 7; ++k) game.Play(k, k == 3 || k == 5 ? 2 : k);
  quintarel::FrmWin& win = game.project.frmWin();
  const int table = NodeNamed(win, "Kola");
  ASSERT_GE(table, 0);
  ASSERT_EQ(TableRowCount(win, table), 2);
  ASSERT_EQ(TableColumnCount(win, table), 7);
  EXPECT_EQ(NodeName(win, RowHeaderNode(win, table, 0)), "Vaše tipy:");
  EXPECT_EQ(NodeName(win, RowHeaderNode(win, table, 1)), "Správně:");
  const std::string chosen = "4222222", drawn = "4624267";
  for (int i = 0; i < 7; ++i) {
    const std::string agree =
        chosen[static_cast<std::size_t>(i)] == drawn[static_cast<std::size_t>(i)] ? ", shoda" : ", neshoda";
    EXPECT_EQ(NodeName(win, ColumnHeaderNode(win, table, i)), std::to_string(i + 1));
    EXPECT_EQ(NodeName(win, CellNode(win, table, 0, i)), chosen.substr(static_cast<std::size_t>(i), 1) + agree);
    EXPECT_EQ(NodeName(win, CellNode(win, table, 1, i)), drawn.substr(static_cast<std::size_t>(i), 1) + agree);
  }
  EXPECT_EQ(Readings(win)[0], "Úspěšnost: 42%");
  EXPECT_EQ(Readings(win)[1], "Správné odhady: 3");
  EXPECT_EQ(win.Accessible()[static_cast<std::size_t>(NodeNamed(win, "OK"))].kind, NodeKind::Button);
}

// The whole game by the keyboard as a screen reader user plays it: where the
// focus goes, and what is told besides.
TEST(Accessible, FocusAndAnnouncementsThroughAGame) {
  Game game;
  quintarel::FrmMain& main = game.main();
  Runtime& rt = game.runtime();
  FakePlatform& platform = game.platform;
  const auto focused = [](const Form& form) { return NodeName(form, form.FocusNode()); };
  const auto key = [&](Form& form, Key k, int modifiers = 0) { rt.KeyPress(form, {k, modifiers}); };
  // The window opens with the focus on the boxes, the first when none is
  // chosen, marked once the keyboard moves it.
  EXPECT_EQ(focused(main), "1");
  EXPECT_EQ(FocusFrame(main, platform.screen), std::nullopt);
  EXPECT_FALSE(NodeStateOf(main, NodeNamed(main, "Kolo 2")).focusable);
  key(main, Key::Tab);
  EXPECT_EQ(focused(main), "Kolo 1");
  const PixelRect round = ControlRect(main.Ctl("lblClick1"), platform.screen);
  EXPECT_EQ(FocusFrame(main, platform.screen),
            (PixelRect{round.left - 1, round.top - 1, round.width + 2, round.height + 2}));
  key(main, Key::Tab);
  EXPECT_EQ(focused(main), "1");
  key(main, Key::Tab, keymod::Shift);
  EXPECT_EQ(focused(main), "Kolo 1");
  // Round 1 without a number: only the message box, the focus stays.
  key(main, Key::Enter);
  EXPECT_EQ(platform.messageBoxes.size(), 1u);
  EXPECT_EQ(focused(main), "Kolo 1");
  EXPECT_TRUE(platform.announced.empty());
  // Arrows on the boxes choose, round the group; the focus tells the choice.
  key(main, Key::Tab);
  key(main, Key::Left);
  EXPECT_EQ(focused(main), "7");
  EXPECT_EQ(main.lblNumber.Caption(), "7");
  key(main, Key::Right);
  key(main, Key::Right);
  EXPECT_EQ(focused(main), "2");
  EXPECT_EQ(main.lblNumber.Caption(), "2");
  EXPECT_TRUE(platform.announced.empty());
  // A digit typed elsewhere is told; Tab comes back to the chosen box.
  key(main, Key::Tab);
  key(main, Key::Digit3);
  EXPECT_EQ(platform.announced, std::vector<std::string>{"frmMain: 3"});
  key(main, Key::Tab);
  EXPECT_EQ(focused(main), "3");
  // A round tells its outcome and hands the focus to the next.
  platform.announced.clear();
  const std::string draws = "3514236";
  for (int k = 1; k <= 7; ++k) {
    game.random.QueueDigit(draws[static_cast<std::size_t>(k - 1)] - '0');
    if (k == 1) key(main, Key::Tab);
    key(main, k % 2 ? Key::Enter : Key::Space);
    if (k < 7) {
      EXPECT_EQ(focused(main), "Kolo " + std::to_string(k + 1));
    }
  }
  EXPECT_EQ(platform.announced,
            (std::vector<std::string>{
                "frmMain: Kolo 1: padlo 3, zásah, úspěšnost 100%.", "frmMain: Kolo 2: padlo 5, minutí, úspěšnost 50%.",
                "frmMain: Kolo 3: padlo 1, minutí, úspěšnost 33%.", "frmMain: Kolo 4: padlo 4, minutí, úspěšnost 25%.",
                "frmMain: Kolo 5: padlo 2, minutí, úspěšnost 20%.", "frmMain: Kolo 6: padlo 3, zásah, úspěšnost 33%.",
                "frmMain: Kolo 7: padlo 6, minutí, úspěšnost 28%.", "frmWin: Správné odhady: 2 ze 7, úspěšnost 28%."}));
  // The evaluation window opens with the focus on OK; Tab reaches the table,
  // whose cells the arrows walk, and comes back to OK.
  quintarel::FrmWin& win = game.project.frmWin();
  EXPECT_EQ(focused(win), "OK");
  EXPECT_EQ(FocusFrame(win, platform.screen), std::nullopt);
  key(win, Key::Tab);
  EXPECT_EQ(focused(win), "3, shoda");
  key(win, Key::Down);
  key(win, Key::Right);
  EXPECT_EQ(focused(win), "5, neshoda");
  key(win, Key::Right);
  EXPECT_EQ(NodeStateOf(win, win.FocusNode()).focused, true);
  key(win, Key::Up);
  key(win, Key::Up);
  EXPECT_EQ(focused(win), "3, neshoda");
  EXPECT_NE(FocusFrame(win, platform.screen), std::nullopt);
  key(win, Key::Tab);
  EXPECT_EQ(focused(win), "OK");
  // A second activation tells nothing anew.
  rt.Activated(main);
  rt.Activated(win);
  EXPECT_EQ(platform.announced.size(), 8u);
}

// A click focuses what it clicks; a screen reader's focus goes only where keys could.
TEST(Accessible, ClicksAndScreenReadersMoveTheFocus) {
  Game game;
  quintarel::FrmMain& main = game.main();
  game.Choose(5);
  EXPECT_EQ(NodeName(main, main.FocusNode()), "5");
  EXPECT_TRUE(game.platform.announced.empty());  // the focus reads the choice
  game.runtime().Focus(main, NodeNamed(main, "Kolo 3"));
  EXPECT_EQ(NodeName(main, main.FocusNode()), "5");
  game.runtime().Focus(main, NodeNamed(main, "Kolo 1"));
  EXPECT_EQ(NodeName(main, main.FocusNode()), "Kolo 1");
  game.Play(1, 5);
  EXPECT_EQ(NodeName(main, main.FocusNode()), "Kolo 2");
  EXPECT_EQ(game.platform.announced, std::vector<std::string>{"frmMain: Kolo 1: padlo 5, zásah, úspěšnost 100%."});
}
