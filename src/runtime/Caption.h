#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a label's caption is laid out in its box: decided here once, so that every
// backend breaks and narrows a caption alike. A backend only measures text in its
// own font and draws the lines it is given.
namespace rt {

// Narrower than this a caption reads badly: what still does not fit is clipped.
inline constexpr int kNarrowestStretch = 70;

// A font as the backend draws it, narrowed to a horizontal stretch in whole per
// cent (100: the face's own width). Pixels.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual int Width(std::string_view utf8, int stretchPercent) const = 0;
  virtual int LineHeight(int stretchPercent) const = 0;
};

struct CaptionLine {
  std::string text;
  int x = 0;  // from the box's left edge, where the alignment puts the line
  int width = 0;
  friend bool operator==(const CaptionLine&, const CaptionLine&) = default;
};

struct CaptionLayout {
  int stretch = 100;
  int lineHeight = 0;  // line i's top lies i line heights below the box's top
  std::vector<CaptionLine> lines;
};

// The caption broken into lines at spaces (and at its own line breaks) so that
// each line fits the box's inner width; a word wider than the box stays whole.
// When the lines need more height than the box has (one line always may), or a
// word is wider than the box, the font is narrowed to the widest stretch from
// 100 down to kNarrowestStretch at which the caption fits; if none does, the
// narrowest, and the box clips the rest. alignment: style::LeftJustify,
// RightJustify or Center.
CaptionLayout LayOutCaption(std::string_view caption, int width, int height, int alignment, const TextMeasure& measure);

}  // namespace rt
