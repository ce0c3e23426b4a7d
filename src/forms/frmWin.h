#pragma once

#include "runtime/Form.h"

namespace quintarel {

extern const rt::FormDesign kFrmWinDesign;

// The evaluation window: the record of the game, shown after round 7.
class FrmWin : public rt::Form {
 public:
  explicit FrmWin(rt::Runtime& runtime);

  rt::Control& lblSpravneOdhady;
  rt::Control& lblUspesnost;
  rt::ControlArray& lblVaseCislo;
  rt::ControlArray& lblSpravneCislo;
  rt::ControlArray& lblBarva;
  rt::Control& cmdOK;

  void Form_Activate();
  void cmdOK_Click();
  void Form_QueryUnload(rt::EventArgs& args);
};

}  // namespace quintarel
