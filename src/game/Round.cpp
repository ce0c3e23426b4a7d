#include "game/Round.h"

#include <array>

#include "game/Forms.h"
#include "game/Scoring.h"
#include "runtime/Conversions.h"

namespace quintarel {

namespace {

constexpr rt::Color kHit = 0x0000C000;
constexpr rt::Color kMiss = 0x000000FF;
constexpr int kMsgBoxCritical = 16;

}  // namespace

void PlayRound(GameForms& project, int k) {
  using namespace rt;
  FrmMain& main = project.frmMain();
  Runtime& runtime = project.Rt();
  const FrmMain::Round round = main.RoundControls(k);

  if (vbaStrCmp(main.lblNumber.Caption(), "") == 0) {
    runtime.MsgBox("Nemáte vybráno číslo!", kMsgBoxCritical, "Chyba!");
    return;
  }

  runtime.Randomize();
  const float drawn = static_cast<float>(vbaFPInt(runtime.Rnd() * 7.0f)) + 1.0f;
  round.no.SetCaption(vbaStrR4(drawn));

  round.click.SetEnabled(false);
  if (k < 7) main.RoundControls(k + 1).click.SetEnabled(true);

  if (vbaStrCmp(round.no.Caption(), main.lblNumber.Caption()) == 0) {
    round.score.SetBackColor(kHit);
    round.score.SetTag("1");
    Control& count = project.frmWin().lblSpravneOdhady;
    count.SetCaption(vbaStrR8(vbaR8Str(count.Caption()) + 1.0));
  } else {
    round.score.SetBackColor(kMiss);
    round.score.SetTag("0");
  }

  FrmWin& win = project.frmWin();
  win.lblVaseCislo.Item(k - 1).SetCaption(main.lblNumber.Caption());
  win.lblSpravneCislo.Item(k - 1).SetCaption(round.no.Caption());

  const std::array<std::int16_t FrmMain::*, 7> scores{&FrmMain::Score1, &FrmMain::Score2, &FrmMain::Score3,
                                                      &FrmMain::Score4, &FrmMain::Score5, &FrmMain::Score6,
                                                      &FrmMain::Score7};
  for (int j = 1; j <= 7; ++j)
    main.*scores[static_cast<std::size_t>(j - 1)] = vbaI2Str(main.RoundControls(j).score.Tag());
  std::int16_t sum = 0;
  for (auto score : scores) sum = AddI2(sum, main.*score);
  main.ScoreSum = sum;

  main.lblPercent.SetCaption(SuccessRateText(k, main.ScoreSum));
  win.lblUspesnost.SetCaption(SuccessRateText(k, main.ScoreSum));

  if (k == 7) win.Show();
}

}  // namespace quintarel
