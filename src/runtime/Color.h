#pragma once

#include <cstdint>

namespace rt {

// &H00BBGGRR; with the high bit set, the low byte names a system colour.
using Color = std::uint32_t;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Color kSystemColorFlag = 0x80000000u;

namespace sys {
inline constexpr Color ScrollBar = 0x80000000u;
inline constexpr Color Window = 0x80000005u;
inline constexpr Color WindowText = 0x80000008u;
inline constexpr Color ButtonFace = 0x8000000Fu;
inline constexpr Color ButtonText = 0x80000012u;
inline constexpr Color InactiveCaptionText = 0x80000013u;
}  // namespace sys

// Resolves design and program colours to what is painted. System colours come
// from a fixed classic palette rather than from the desktop, so the windows look
// as designed everywhere: a current desktop's inactive-title text is black, which
// would turn the evaluation window black.
Rgb ResolveColor(Color color);

}  // namespace rt
