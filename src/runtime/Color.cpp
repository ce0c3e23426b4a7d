#include "runtime/Color.h"

namespace rt {

namespace {

Rgb SystemColor(unsigned index) {
  switch (index) {
    case 5:  // window background
      return {255, 255, 255};
    case 8:   // window text
    case 18:  // button text
      return {0, 0, 0};
    case 0:   // scroll bar
    case 15:  // button face
    case 19:  // inactive caption text
      return {212, 208, 200};
    default:
      // Colours no design uses; a neutral button face keeps them readable.
      return {212, 208, 200};
  }
}

}  // namespace

Rgb ResolveColor(Color color) {
  if (color & kSystemColorFlag) return SystemColor(color & 0xFFu);
  return {static_cast<std::uint8_t>(color & 0xFFu), static_cast<std::uint8_t>((color >> 8) & 0xFFu),
          static_cast<std::uint8_t>((color >> 16) & 0xFFu)};
}

}  // namespace rt
