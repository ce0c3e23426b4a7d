#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FakePlatform.h"

using namespace rt;
using quintarel::FrmMain;
using quintarel::FrmWin;
using testing_support::Game;
using testing_support::kGreen;
using testing_support::kRed;

namespace {

// Every property the game could change, of both windows, as one comparable text.
std::string Snapshot(Game& game) {
  std::string text;
  auto add = [&](const Form& form) {
    for (const auto& c : form.Controls())
      text += std::string(c->Name()) + std::to_string(c->Index()) + "|" + c->Caption() + "|" + c->Tag() + "|" +
              std::to_string(c->BackColor()) + "|" + std::to_string(c->Enabled()) + "|" + std::to_string(c->Visible()) +
              "\n";
  };
  add(game.main());
  if (FrmWin* win = game.project.FrmWinIfCreated()) add(*win);
  const FrmMain& m = game.main();
  for (auto s : {m.Score1, m.Score2, m.Score3, m.Score4, m.Score5, m.Score6, m.Score7, m.ScoreSum})
    text += std::to_string(s) + ",";
  return text;
}

int EnabledRound(FrmMain& main) {
  int enabled = 0;
  for (int k = 1; k <= 7; ++k)
    if (main.RoundControls(k).click.Enabled()) {
      EXPECT_EQ(enabled, 0) << "two round labels enabled";
      enabled = k;
    }
  return enabled;
}

}  // namespace

TEST(Start, OnlyRoundOneIsPlayableAndNothingElseChanged) {
  Game game;
  EXPECT_EQ(EnabledRound(game.main()), 1);
  EXPECT_EQ(game.platform.shown, std::vector<std::string>{"frmMain"});
  EXPECT_EQ(game.project.FrmWinIfCreated(), nullptr);
  EXPECT_EQ(game.random.reseeds, 0);
  EXPECT_TRUE(game.platform.messageBoxes.empty());
  // Clicking the closed rounds does nothing.
  const std::string before = Snapshot(game);
  for (int k = 2; k <= 7; ++k) game.Click(game.main(), "lblClick" + std::to_string(k));
  EXPECT_EQ(Snapshot(game), before);
  EXPECT_EQ(game.random.taken, 0);
}

TEST(Round, WithoutAChoiceShowsTheErrorAndChangesNothing) {
  Game game;
  const std::string before = Snapshot(game);
  const int changes = game.platform.changes;
  game.Click(game.main(), "lblClick1");
  ASSERT_EQ(game.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(game.platform.messageBoxes[0].prompt, "Nemáte vybráno číslo!");
  EXPECT_EQ(game.platform.messageBoxes[0].title, "Chyba!");
  EXPECT_EQ(game.platform.messageBoxes[0].style, 16);
  EXPECT_EQ(Snapshot(game), before);
  EXPECT_EQ(game.platform.changes, changes);
  EXPECT_EQ(game.project.FrmWinIfCreated(), nullptr);
  EXPECT_EQ(game.random.reseeds, 0);
  EXPECT_EQ(game.platform.quits, 0);

  // Once a number is chosen, the same label plays round 1.
  game.Choose(2);
  game.Play(1, 2);
  EXPECT_EQ(game.main().RoundControls(1).no.Caption(), "2");
  EXPECT_EQ(game.platform.messageBoxes.size(), 1u);
}

TEST(Round, HitInRoundOne) {
  Game game;
  game.Choose(3);
  game.Play(1, 3);
  FrmMain& main = game.main();
  const auto round = main.RoundControls(1);
  EXPECT_EQ(round.no.Caption(), "3");
  EXPECT_EQ(round.score.BackColor(), kGreen);
  EXPECT_EQ(round.score.Tag(), "1");
  FrmWin& win = game.project.frmWin();
  EXPECT_EQ(win.lblSpravneOdhady.Caption(), "1");
  EXPECT_EQ(main.lblPercent.Caption(), "100%");
  EXPECT_EQ(win.lblUspesnost.Caption(), "100%");
  EXPECT_FALSE(round.click.Enabled());
  EXPECT_EQ(EnabledRound(main), 2);
  EXPECT_EQ(win.lblVaseCislo.Item(0).Caption(), "3");
  EXPECT_EQ(win.lblSpravneCislo.Item(0).Caption(), "3");
  EXPECT_EQ(main.Score1, 1);
  EXPECT_EQ(main.ScoreSum, 1);
  EXPECT_EQ(game.random.reseeds, 1);
}

TEST(Round, MissInRoundOne) {
  Game game;
  game.Choose(3);
  game.Play(1, 6);
  FrmMain& main = game.main();
  EXPECT_EQ(main.RoundControls(1).no.Caption(), "6");
  EXPECT_EQ(main.RoundControls(1).score.BackColor(), kRed);
  EXPECT_EQ(main.RoundControls(1).score.Tag(), "0");
  FrmWin* win = game.project.FrmWinIfCreated();
  ASSERT_NE(win, nullptr) << "the record creates the evaluation window even on a miss";
  EXPECT_EQ(win->lblSpravneOdhady.Caption(), "0");
  EXPECT_EQ(main.lblPercent.Caption(), "0%");
  EXPECT_EQ(win->lblUspesnost.Caption(), "0%");
  EXPECT_EQ(win->lblVaseCislo.Item(0).Caption(), "3");
  EXPECT_EQ(win->lblSpravneCislo.Item(0).Caption(), "6");
  EXPECT_FALSE(win->Visible());
  EXPECT_EQ(EnabledRound(main), 2);
}

TEST(Round, SuccessRateTableThroughTheRoundHandlers) {
  // Rows: round k; columns: hits h in rounds 1..k. Cut off, never rounded.
  const std::vector<std::vector<std::string>> table = {
      {"0%", "100%"},
      {"0%", "50%", "100%"},
      {"0%", "33%", "66%", "100%"},
      {"0%", "25%", "50%", "75%", "100%"},
      {"0%", "20%", "40%", "60%", "80%", "100%"},
      {"0%", "16%", "33%", "50%", "66%", "83%", "100%"},
      {"0%", "14%", "28%", "42%", "57%", "71%", "85%", "100%"},
  };
  for (int k = 1; k <= 7; ++k) {
    for (int h = 0; h <= k; ++h) {
      // Two placements of the hits: first and last, so the rate depends on the count alone.
      for (bool hitsFirst : {true, false}) {
        Game game;
        game.Choose(5);
        for (int j = 1; j <= k; ++j) {
          const bool hit = hitsFirst ? j <= h : j > k - h;
          game.Play(j, hit ? 5 : 1);
        }
        const std::string& expected = table[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(h)];
        EXPECT_EQ(game.main().lblPercent.Caption(), expected) << "round " << k << ", " << h << " hits";
        EXPECT_EQ(game.project.frmWin().lblUspesnost.Caption(), expected) << "round " << k << ", " << h << " hits";
        EXPECT_EQ(game.project.frmWin().lblSpravneOdhady.Caption(), std::to_string(h));
        EXPECT_EQ(game.main().ScoreSum, h);
      }
    }
  }
}

TEST(Round, EveryRoundReseedsBeforeItsDraw) {
  Game game;
  game.Choose(1);
  for (int k = 1; k <= 7; ++k) {
    game.Play(k, 1 + (k % 7));
    EXPECT_EQ(game.random.reseeds, k);
    EXPECT_EQ(game.random.taken, k);
  }
}

TEST(Round, DrawsAreTheDigitsOneToSevenAtTheEdgesOfTheRange) {
  const float largestBelowOne = std::nextafter(1.0f, 0.0f);
  const std::pair<float, const char*> cases[] = {
      {0.0f, "1"}, {1.0f / 7.0f, "2"}, {0.5f, "4"}, {6.0f / 7.0f, "7"}, {largestBelowOne, "7"}};
  for (auto [value, digit] : cases) {
    Game game;
    game.Choose(7);
    game.random.draws.push_back(value);
    game.Click(game.main(), "lblClick1");
    EXPECT_EQ(game.main().RoundControls(1).no.Caption(), digit) << value;
  }
}

TEST(Round, TheChoiceOfTheMomentIsComparedAndRecordedPerRound) {
  Game game;
  game.Choose(3);
  game.Play(1, 3);  // hit with 3
  game.Choose(5);
  game.Play(2, 3);  // the same draw is a miss now
  game.Click(game.main(), "lblNoSelectNo6");
  game.Play(3, 6);  // hit with 6
  FrmMain& main = game.main();
  FrmWin& win = game.project.frmWin();
  const char* chosen[] = {"3", "5", "6"};
  const char* drawn[] = {"3", "3", "6"};
  const Color colours[] = {kGreen, kRed, kGreen};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(win.lblVaseCislo.Item(i).Caption(), chosen[i]);
    EXPECT_EQ(win.lblSpravneCislo.Item(i).Caption(), drawn[i]);
    EXPECT_EQ(main.RoundControls(i + 1).score.BackColor(), colours[i]);
  }
  EXPECT_EQ(win.lblSpravneOdhady.Caption(), "2");
  EXPECT_EQ(main.lblPercent.Caption(), "66%");
  // Rounds not yet played keep their design values.
  for (int i = 3; i < 7; ++i) {
    EXPECT_EQ(win.lblVaseCislo.Item(i).Caption(), "0");
    EXPECT_EQ(main.RoundControls(i + 1).score.BackColor(), sys::Window);
  }
}

TEST(Selection, BoxAndDigitChooseTheSameNumberAndNothingElseChanges) {
  for (int n = 1; n <= 7; ++n) {
    Game game;
    game.Click(game.main(), "lblNoSelect" + std::to_string(n));
    EXPECT_EQ(game.main().lblNumber.Caption(), std::to_string(n));
    game.Choose(n == 7 ? 1 : 7);
    game.Click(game.main(), "lblNoSelectNo" + std::to_string(n));
    EXPECT_EQ(game.main().lblNumber.Caption(), std::to_string(n));
  }
  Game game;
  game.Choose(3);
  game.Choose(5);
  EXPECT_EQ(game.main().lblNumber.Caption(), "5");
  game.Play(1, 5);
  EXPECT_EQ(game.main().RoundControls(1).score.BackColor(), kGreen);

  // Between rounds a choice changes the chosen number and nothing else; choosing
  // the number already chosen changes nothing at all.
  std::string before = Snapshot(game);
  const int changes = game.platform.changes;
  game.Choose(5);
  EXPECT_EQ(Snapshot(game), before);
  EXPECT_EQ(game.platform.changes, changes);
  game.Choose(2);
  std::string after = Snapshot(game);
  EXPECT_NE(after, before);
  game.main().lblNumber.SetCaption("5");
  EXPECT_EQ(Snapshot(game), before);
}

TEST(Game, SevenHitsGiveSevenAndAHundredPerCent) {
  Game game;
  game.Choose(4);
  for (int k = 1; k <= 7; ++k) game.Play(k, 4);
  FrmWin& win = game.project.frmWin();
  EXPECT_EQ(win.lblSpravneOdhady.Caption(), "7");
  EXPECT_EQ(game.main().lblPercent.Caption(), "100%");
  EXPECT_EQ(win.lblUspesnost.Caption(), "100%");
  for (int i = 0; i < 7; ++i) EXPECT_EQ(win.lblBarva.Item(i).BackColor(), kGreen);
}

TEST(Game, SixHitsEndingInRoundSevenGiveSixAndEightyFivePerCent) {
  Game game;
  game.Choose(4);
  game.Play(1, 2);
  for (int k = 2; k <= 7; ++k) game.Play(k, 4);
  EXPECT_EQ(game.project.frmWin().lblSpravneOdhady.Caption(), "6");
  EXPECT_EQ(game.main().lblPercent.Caption(), "85%");
  EXPECT_EQ(game.project.frmWin().lblUspesnost.Caption(), "85%");
  EXPECT_EQ(game.main().ScoreSum, 6);
}

TEST(Game, TheEvaluationWindowIsCreatedByRoundOneAndShownByRoundSeven) {
  Game game;
  game.Choose(1);
  EXPECT_EQ(game.project.FrmWinIfCreated(), nullptr);
  game.Play(1, 2);
  FrmWin* win = game.project.FrmWinIfCreated();
  ASSERT_NE(win, nullptr);
  for (int k = 2; k <= 6; ++k) {
    game.Play(k, k);
    EXPECT_EQ(game.project.FrmWinIfCreated(), win) << "one instance";
    EXPECT_FALSE(win->Visible());
  }
  EXPECT_EQ(game.platform.shown, std::vector<std::string>{"frmMain"});
  game.Play(7, 1);
  EXPECT_TRUE(win->Visible());
  EXPECT_EQ(game.platform.shown, (std::vector<std::string>{"frmMain", "frmWin"}));
  EXPECT_EQ(EnabledRound(game.main()), 0);
  EXPECT_EQ(game.runtime().ActiveForm(), win);
  // Every round label is closed now: clicking them draws nothing.
  for (int k = 1; k <= 7; ++k) game.Click(game.main(), "lblClick" + std::to_string(k));
  EXPECT_EQ(game.random.taken, 7);
}

TEST(Lifetime, ClosingTheMainWindowEndsAtOnceWithoutAMessage) {
  Game game;
  game.runtime().QueryUnload(game.main(), unload::FormControlMenu);
  EXPECT_EQ(game.platform.quits, 1);
  EXPECT_TRUE(game.platform.messageBoxes.empty());
  EXPECT_TRUE(game.platform.clips.empty());
  // Nothing runs any more.
  game.Choose(3);
  EXPECT_EQ(game.main().lblNumber.Caption(), "");
  game.runtime().QueryUnload(game.main(), unload::AppWindows);
  EXPECT_EQ(game.platform.quits, 1);
}

TEST(Lifetime, ClosingTheMainWindowMidGameEndsToo) {
  for (int mode : {unload::FormControlMenu, unload::AppWindows, unload::TaskManager}) {
    Game game;
    game.Choose(2);
    game.Play(1, 2);
    game.Play(2, 3);
    game.runtime().QueryUnload(game.main(), mode);
    EXPECT_EQ(game.platform.quits, 1);
    EXPECT_TRUE(game.runtime().Ended());
    EXPECT_TRUE(game.platform.clips.empty());
  }
}
