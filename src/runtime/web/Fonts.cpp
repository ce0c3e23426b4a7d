#include "runtime/web/Fonts.h"

#include <emscripten.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>

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

// The page's fonts do not change under a running game (the first paint waits
// for them), and every paint measures the same captions again: each width is
// asked of the browser once.
std::map<std::pair<std::string, std::string>, int>& Widths() {
  static std::map<std::pair<std::string, std::string>, int> widths;
  return widths;
}

}  // namespace

std::string CssFont(const rt::FontDesign& design, int pixelHeight) {
  std::string font = design.bold ? "bold " : "";
  font += std::to_string(pixelHeight > 0 ? pixelHeight : 1) + "px \"";
  font += design.name;
  font += "\", \"Quintarel Sans\", \"DejaVu Sans\", sans-serif";
  return font;
}

int FontMeasure::Width(std::string_view utf8, int stretchPercent) const {
  auto [it, added] = Widths().try_emplace({font_, std::string(utf8)}, 0);
  if (added) it->second = PageTextWidth(it->first.second.c_str(), font_.c_str());
  const int width = it->second;
  return static_cast<int>(std::lround(width * stretchPercent / 100.0));
}

int FontMeasure::LineHeight(int) const {
  static std::map<std::string, int> heights;
  auto [it, added] = heights.try_emplace(font_, 0);
  if (added) it->second = PageLineHeight(font_.c_str());
  return it->second;
}

}  // namespace quintarel::web
