#include "game/Scoring.h"

#include "runtime/Conversions.h"

namespace quintarel {

using namespace rt;

std::string SuccessRateText(int k, std::int16_t h) {
  if (k == 1) return vbaStrCat(vbaStrI2(MulI2(h, 100)), "%");
  // Divide first, then scale, then cut off: 2 hits in 3 rounds are 66%, not 67%.
  const double share = static_cast<double>(h) / static_cast<double>(k);
  return vbaStrCat(vbaStrR8(vbaFPInt(share * 100.0)), "%");
}

}  // namespace quintarel
