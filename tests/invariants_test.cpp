#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "runtime/Geometry.h"

using namespace rt;
using quintarel::FrmMain;
using quintarel::FrmWin;
using testing_support::CentreOf;
using testing_support::Game;
using testing_support::kGreen;
using testing_support::kRed;

namespace {

// What the game must hold after every event, kept independently of the program.
struct Expected {
  std::string chosen;
  int played = 0;
  std::vector<std::string> chosenAt, drawnAt;
  bool ended = false;
  bool confined = false;
  int hits() const {
    int h = 0;
    for (std::size_t i = 0; i < chosenAt.size(); ++i) h += chosenAt[i] == drawnAt[i];
    return h;
  }
};

std::string Rate(int k, int h) {
  // Independent of the program's arithmetic: integer percent, cut off.
  return std::to_string(h * 100 / k) + "%";
}

void CheckInvariants(Game& game, const Expected& e, const std::string& trace) {
  SCOPED_TRACE(trace);
  FrmMain& main = game.main();
  ASSERT_EQ(game.runtime().Ended(), e.ended);
  ASSERT_EQ(game.platform.quits, e.ended ? 1 : 0);
  ASSERT_EQ(game.runtime().CursorConfined(), e.confined);
  if (e.ended) {
    // Nothing confined outlives the program.
    ASSERT_TRUE(game.platform.clips.empty() || !game.platform.clips.back() ||
                *game.platform.clips.back() == (ClipRect{0, 0, 1024, 768}));
  }
  ASSERT_EQ(main.lblNumber.Caption(), e.chosen);
  int enabled = 0;
  for (int k = 1; k <= 7; ++k) enabled += main.RoundControls(k).click.Enabled() ? 1 : 0;
  ASSERT_EQ(enabled, e.played < 7 ? 1 : 0);
  if (e.played < 7) {
    ASSERT_TRUE(main.RoundControls(e.played + 1).click.Enabled());
  }

  FrmWin* win = game.project.FrmWinIfCreated();
  ASSERT_EQ(win != nullptr, e.played > 0);
  int hits = 0;
  for (int k = 1; k <= 7; ++k) {
    const auto round = main.RoundControls(k);
    if (k <= e.played) {
      const std::string& chosen = e.chosenAt[static_cast<std::size_t>(k - 1)];
      const std::string& drawn = e.drawnAt[static_cast<std::size_t>(k - 1)];
      const bool hit = chosen == drawn;
      hits += hit;
      ASSERT_EQ(round.no.Caption(), drawn);
      ASSERT_EQ(round.score.Tag(), hit ? "1" : "0");
      ASSERT_EQ(round.score.BackColor(), hit ? kGreen : kRed);
      ASSERT_EQ(win->lblVaseCislo.Item(k - 1).Caption(), chosen);
      ASSERT_EQ(win->lblSpravneCislo.Item(k - 1).Caption(), drawn);
    } else {
      ASSERT_EQ(round.no.Caption(), "");
      ASSERT_EQ(round.score.Tag(), "0");
      ASSERT_EQ(round.score.BackColor(), sys::Window);
      if (win) {
        ASSERT_EQ(win->lblVaseCislo.Item(k - 1).Caption(), "0");
        ASSERT_EQ(win->lblSpravneCislo.Item(k - 1).Caption(), "0");
      }
    }
  }
  ASSERT_EQ(hits, e.hits());
  if (e.played == 0) {
    ASSERT_EQ(main.lblPercent.Caption(), "");
    return;
  }
  ASSERT_EQ(main.ScoreSum, hits);
  ASSERT_EQ(win->lblSpravneOdhady.Caption(), std::to_string(hits));
  ASSERT_EQ(main.lblPercent.Caption(), Rate(e.played, hits));
  ASSERT_EQ(win->lblUspesnost.Caption(), main.lblPercent.Caption());
  ASSERT_EQ(win->Visible(), e.played == 7);
  if (e.played == 7) {
    for (std::size_t i = 0; i < 7; ++i) {
      ASSERT_EQ(win->lblBarva.Item(static_cast<int>(i)).BackColor() == kGreen, e.chosenAt[i] == e.drawnAt[i]);
    }
  }
}

}  // namespace

TEST(Invariants, HoldAfterEveryEventOfThousandsOfRandomSequences) {
  std::mt19937 rng(20261207);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  int roundsPlayed = 0, gamesFinished = 0, errorBoxes = 0;
  for (int sequence = 0; sequence < 3000; ++sequence) {
    Game game;
    game.platform.outerRects["frmWin"] = {340, 200, 173, 175};
    Expected e;
    std::string trace = "sequence " + std::to_string(sequence) + ":";
    for (int step = 0; step < 60 && !e.ended; ++step) {
      FrmMain& main = game.main();
      const int kind = pick(100);
      if (kind < 20) {  // choose, by box or by digit
        const int n = 1 + pick(7);
        game.Click(main, (pick(2) ? "lblNoSelect" : "lblNoSelectNo") + std::to_string(n));
        e.chosen = std::to_string(n);
        trace += " choose" + e.chosen;
      } else if (kind < 75) {  // a round label, the playable one half of the time
        const int k = pick(2) ? std::min(e.played + 1, 7) : 1 + pick(7);
        const bool plays = k == e.played + 1 && e.played < 7 && !e.chosen.empty();
        const int digit = 1 + pick(7);
        if (plays) game.random.QueueDigit(digit);
        const std::size_t boxes = game.platform.messageBoxes.size();
        game.Click(main, "lblClick" + std::to_string(k));
        trace += " round" + std::to_string(k);
        if (plays) {
          e.chosenAt.push_back(e.chosen);
          e.drawnAt.push_back(std::to_string(digit));
          ++e.played;
          ++roundsPlayed;
          trace += "=" + std::to_string(digit);
          if (e.played == 7) {
            e.confined = true;
            ++gamesFinished;
          }
        }
        const bool errorBox = k == e.played + 1 && e.chosen.empty();
        ASSERT_EQ(game.platform.messageBoxes.size(), boxes + (errorBox ? 1 : 0)) << trace;
        errorBoxes += errorBox;
      } else if (kind < 85) {  // anywhere on the main window
        const PixelPoint p{pick(431), pick(237)};
        Control* hit = HitTest(main, p, game.platform.screen);
        const bool plays = hit && hit == &main.Ctl("lblClick" + std::to_string(std::min(e.played + 1, 7))) &&
                           e.played < 7 && !e.chosen.empty();
        if (plays) game.random.QueueDigit(1 + pick(7));
        game.ClickAt(main, p);
        trace += " at(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
        if (hit && std::string(hit->Name()).starts_with("lblNoSelect"))
          e.chosen = hit->Name().substr(hit->Name().size() - 1);
        if (plays) {
          e.chosenAt.push_back(e.chosen);
          e.drawnAt.push_back(main.RoundControls(e.played + 1).no.Caption());
          ++e.played;
          ++roundsPlayed;
          if (e.played == 7) {
            e.confined = true;
            ++gamesFinished;
          }
        }
        if (hit && hit->Name() == "lblClick1" && e.played == 0 && e.chosen.empty()) ++errorBoxes;
      } else if (kind < 90) {  // activate one window or the other
        if (FrmWin* win = game.project.FrmWinIfCreated(); win && win->Visible() && pick(2)) {
          game.runtime().Activated(*win);
        } else {
          game.runtime().Activated(main);
        }
        trace += " activate";
      } else if (kind < 98) {  // OK, if the evaluation window is up
        if (FrmWin* win = game.project.FrmWinIfCreated(); win && win->Visible()) {
          game.Click(*win, "cmdOK");
          e.ended = true;
          e.confined = false;
          trace += " OK";
        }
      } else {  // close one of the windows
        FrmWin* win = game.project.FrmWinIfCreated();
        if (win && win->Visible() && pick(2)) {
          game.runtime().QueryUnload(*win, unload::FormControlMenu);
          trace += " close-win";
        } else {
          game.runtime().QueryUnload(main, unload::FormControlMenu);
          trace += " close-main";
        }
        e.ended = true;
        e.confined = false;
      }
      CheckInvariants(game, e, trace);
      if (HasFatalFailure()) return;
    }
  }
  // The random walk must really have played the game, not just wandered.
  EXPECT_GT(roundsPlayed, 10000);
  EXPECT_GT(gamesFinished, 200);
  EXPECT_GT(errorBoxes, 100);
}
