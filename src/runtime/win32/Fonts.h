#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>

#include "runtime/Design.h"
#include "runtime/Platform.h"

namespace quintarel::win32 {

// GDI fonts for the design fonts, created once each and kept until the program
// ends. The character set comes from the design (238, Central European), so the
// font mapper picks a face that has the Czech letters.
class Fonts {
 public:
  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts();

  HFONT Get(const rt::FontDesign& font, const rt::ScreenInfo& screen);

 private:
  using Key = std::tuple<std::string, double, bool, int, int>;
  std::map<Key, HFONT> fonts_;
};

}  // namespace quintarel::win32
