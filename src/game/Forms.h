#pragma once

#include "forms/frmMain.h"
#include "forms/frmWin.h"
#include "runtime/Runtime.h"

namespace quintarel {

// The two windows as the game's handlers reach them. frmWin comes into being at
// its first reference, so it is asked for, never held.
class GameForms {
 public:
  virtual rt::Runtime& Rt() = 0;
  virtual FrmMain& frmMain() = 0;
  virtual FrmWin& frmWin() = 0;

 protected:
  ~GameForms() = default;
};

}  // namespace quintarel
