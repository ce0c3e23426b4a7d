#include "runtime/web/Fonts.h"

#include <emscripten.h>

#include <cmath>
#include <string>

namespace quintarel::web {

namespace {

// clang-format off
EM_JS(int, PageTextWidth, (const char* text, const char* font), {
  return Quintarel.measure(UTF8ToString(text), UTF8ToString(font));
});
EM_JS(int, PageLineHeight, (const char* font), {
  return Quintarel.lineHeight(UTF8ToString(font));
});
// clang-format on

}  // namespace

std::string CssFont(const rt::FontDesign& design, int pixelHeight) {
  std::string font = design.bold ? "bold " : "";
  font += std::to_string(pixelHeight > 0 ? pixelHeight : 1) + "px \"";
  font += design.name;
  font += "\", \"Quintarel Sans\", \"DejaVu Sans\", sans-serif";
  return font;
}

int FontMeasure::Width(std::string_view utf8, int stretchPercent) const {
  const std::string text(utf8);
  const int width = PageTextWidth(text.c_str(), font_.c_str());
  return static_cast<int>(std::lround(width * stretchPercent / 100.0));
}

int FontMeasure::LineHeight(int) const { return PageLineHeight(font_.c_str()); }

}  // namespace quintarel::web
