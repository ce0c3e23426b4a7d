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

TEST(Keys, TheEvaluationWindowHasNoKeysOfItsOwn) {
  Game game;
  quintarel::FrmWin& win = game.project.frmWin();
  int oks = 0;
  win.Bind("cmdOK", Event::Click, [&](EventArgs&) { ++oks; });
  for (Key key : {Key::Enter, Key::Space, Key::Digit3}) game.runtime().KeyPress(win, {key});
  EXPECT_EQ(oks, 0);
  game.runtime().Click(win.cmdOK);  // its button, focused, takes Enter and Space
  EXPECT_EQ(oks, 1);
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

// What a screen reader reads off the two windows, at the start and after rounds.
TEST(Accessible, NamesAndValuesFollowTheGame) {
  Game game;
  quintarel::FrmMain& main = game.main();
  const auto read = [](const Form& form) {
    std::vector<std::string> entries;
    for (const AccessibleDesign& entry : form.Design().accessible)
      entries.push_back(AccessibleName(form, entry) + "=" + AccessibleValueText(form, entry));
    return entries;
  };
  std::vector<std::string> expected;
  for (int n = 1; n <= 7; ++n) expected.push_back(std::to_string(n) + "=");
  expected.push_back("Zvolené číslo:=");
  for (int k = 1; k <= 7; ++k) {
    const std::string n = std::to_string(k);
    expected.insert(expected.end(), {"Kolo " + n + "=", "Tažené číslo kola " + n + "=", "Výsledek kola " + n + "="});
  }
  expected.push_back("Úspěšnost:=");
  EXPECT_EQ(read(main), expected);
  // Pressable are the boxes and the round labels, each standing for the control a click would reach.
  int buttons = 0;
  for (const AccessibleDesign& entry : main.Design().accessible)
    if (entry.role == AccessibleRole::Button) {
      ++buttons;
      EXPECT_NE(main.HandlerFor(AccessibleControl(main, entry), Event::Click), nullptr) << entry.control;
    }
  EXPECT_EQ(buttons, 14);

  game.Choose(4);
  game.Play(1, 4);
  game.Choose(2);
  game.Play(2, 6);
  const std::vector<std::string> now = read(main);
  EXPECT_EQ(now[7], "Zvolené číslo:=2");
  EXPECT_EQ(std::vector<std::string>(now.begin() + 8, now.begin() + 14),
            (std::vector<std::string>{"Kolo 1=", "Tažené číslo kola 1=4", "Výsledek kola 1=zásah",
                                      "Kolo 2=", "Tažené číslo kola 2=6", "Výsledek kola 2=minutí"}));
  EXPECT_EQ(now[16], "Výsledek kola 3=");
  EXPECT_EQ(now.back(), "Úspěšnost:=50%");

  // The evaluation window: its summary, the record as a table, and OK.
  for (int k = 3; k <= 7; ++k) game.Play(k, k == 3 || k == 5 ? 2 : k);
  quintarel::FrmWin& win = game.project.frmWin();
  const std::span<const AccessibleDesign> entries = win.Design().accessible;
  EXPECT_EQ(read(win), (std::vector<std::string>{"Úspěšnost:=42%", "Správné odhady:=3", "Kola=", "OK="}));
  ASSERT_NE(entries[2].table, nullptr);
  const AccessibleTable& table = *entries[2].table;
  ASSERT_EQ(TableRows(table), 2);
  ASSERT_EQ(TableColumns(win, table), 7);
  EXPECT_EQ(TableRowName(win, table, 0), "Vaše tipy:");
  EXPECT_EQ(TableRowName(win, table, 1), "Správně:");
  const std::string chosen = "4222222", drawn = "4624267";
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(TableColumnName(win, table, i), std::to_string(i + 1));
    EXPECT_EQ(TableCell(win, table, 0, i).Caption(), chosen.substr(static_cast<std::size_t>(i), 1)) << i;
    EXPECT_EQ(TableCell(win, table, 1, i).Caption(), drawn.substr(static_cast<std::size_t>(i), 1)) << i;
  }
  EXPECT_EQ(entries[3].role, AccessibleRole::Button);
  EXPECT_EQ(AccessibleControl(win, entries[3]), &win.cmdOK);
}
