#include "runtime/win32/Fonts.h"

#include "runtime/Geometry.h"
#include "runtime/win32/Text.h"

namespace quintarel::win32 {

Fonts::~Fonts() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

HFONT Fonts::Get(const rt::FontDesign& font, const rt::ScreenInfo& screen) {
  const int pixels = rt::FontPixelHeight(font, screen);
  Key key{std::string(font.name), font.size, font.bold, font.charset, pixels};
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  // A negative height asks for the em height, as point sizes are meant.
  HFONT handle = CreateFontW(-pixels, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, Widen(font.name).c_str());
  fonts_.emplace(std::move(key), handle);
  return handle;
}

}  // namespace quintarel::win32
