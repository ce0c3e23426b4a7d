#include "game/Selection.h"

#include <array>
#include <string_view>

#include "forms/frmMain.h"

namespace quintarel {

void SelectNumber(FrmMain& form, int n) {
  // The bare digit, exactly the text a draw produces: a hit compares the two texts.
  static constexpr std::array<std::string_view, 7> kDigits{"1", "2", "3", "4", "5", "6", "7"};
  form.lblNumber.SetCaption(kDigits.at(static_cast<std::size_t>(n - 1)));
}

}  // namespace quintarel
