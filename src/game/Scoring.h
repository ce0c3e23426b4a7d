#pragma once

#include <cstdint>
#include <string>

namespace quintarel {

// The success-rate text after round k (1..7) with h hits: whole per cent, cut
// off, followed by "%".
std::string SuccessRateText(int k, std::int16_t h);

}  // namespace quintarel
