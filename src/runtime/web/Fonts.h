#pragma once

#include <string>

#include "runtime/Caption.h"
#include "runtime/Design.h"

namespace quintarel::web {

// The design's font as the page names it at an em height in device pixels: the
// design's face where the browser has it, else the page's own sans face,
// shipped with it so that every browser measures and draws the same letters.
std::string CssFont(const rt::FontDesign& design, int pixelHeight);

// A font's widths for the runtime's caption layout. The page narrows a font by
// drawing it squeezed, so a narrowed width is the face's own, scaled.
class FontMeasure : public rt::TextMeasure {
 public:
  explicit FontMeasure(std::string font) : font_(std::move(font)) {}
  int Width(std::string_view utf8, int stretchPercent) const override;
  int LineHeight(int stretchPercent) const override;

 private:
  std::string font_;
};

}  // namespace quintarel::web
