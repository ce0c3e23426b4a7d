#pragma once

namespace quintarel {

class FrmMain;

// Makes n (1..7) the chosen number: the Click handler of lblNoSelect<n> and of
// lblNoSelectNo<n>.
void SelectNumber(FrmMain& form, int n);

}  // namespace quintarel
