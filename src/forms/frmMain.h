#pragma once

#include <cstdint>

#include "runtime/Form.h"

namespace quintarel {

extern const rt::FormDesign kFrmMainDesign;

// The main window: the circle of rounds, the selection strip, the chosen number
// and the results. The game keeps its state in these controls.
class FrmMain : public rt::Form {
 public:
  explicit FrmMain(rt::Runtime& runtime);

  // The three labels of round k (1..7) on this window.
  struct Round {
    rt::Control& click;  // lblClick<k>
    rt::Control& no;     // lblNo<k>: the number drawn
    rt::Control& score;  // lblScore<k>: the result
  };
  Round RoundControls(int k) const;

  rt::Control& lblNumber;
  rt::Control& lblPercent;

  // Form-level integers, as last tallied by a round.
  std::int16_t Score1 = 0, Score2 = 0, Score3 = 0, Score4 = 0, Score5 = 0, Score6 = 0, Score7 = 0;
  std::int16_t ScoreSum = 0;

  void Form_Load();
  void Form_QueryUnload(rt::EventArgs& args);
};

}  // namespace quintarel
