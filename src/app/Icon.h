#pragma once

#include <cstdint>

namespace quintarel {

// The program's icon: the window icon of frmMain and the picture of Image1.
struct IconImage {
  int width = 0, height = 0;
  const std::uint32_t* argb = nullptr;  // row by row, top first; alpha 0 is transparent
};

IconImage ProgramIcon();

}  // namespace quintarel
