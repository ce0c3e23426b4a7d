#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <QStaticText>
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Caption.h"
#include "runtime/Design.h"

namespace quintarel::qt {

// The design's font at an em height in pixels. Faces the desktop lacks (Verdana,
// MS Sans Serif) fall back through fontconfig to a sans face that has every
// Czech letter.
QFont MakeFont(const rt::FontDesign& design, int pixelHeight);

// The font narrowed to a stretch in per cent; at 100 the font itself.
QFont Narrowed(QFont font, int stretch);

// A font's widths at each stretch, for the runtime's caption layout: a fallback
// face wider than the design's is narrowed to keep a caption inside its label.
class FontMeasure : public rt::TextMeasure {
 public:
  explicit FontMeasure(QFont font) : font_(std::move(font)) {}
  int Width(std::string_view utf8, int stretchPercent) const override;
  int LineHeight(int stretchPercent) const override;

 private:
  const QFontMetrics& Metrics(int stretch) const;

  QFont font_;
  mutable std::map<int, QFontMetrics> metrics_;
};

// The fonts a window paints with, made once and kept: each design font at each
// em height, and each caption laid out in its box, with its narrowed font and
// its lines ready to draw, for as long as its text and box stay the same.
class FontCache {
 public:
  struct Caption {
    std::string text;
    int pixelHeight = 0, width = 0, height = 0, alignment = 0;
    QFont font;
    rt::CaptionLayout layout;
    std::vector<QStaticText> lines;
  };

  const QFont& Font(const rt::FontDesign& design, int pixelHeight);
  // owner: what the caption belongs to, one caption kept for each. width,
  // height: the box inside the label's border.
  const Caption& LaidOut(const void* owner, const rt::FontDesign& design, int pixelHeight, const std::string& text,
                         int width, int height, int alignment);

 private:
  std::map<std::pair<const rt::FontDesign*, int>, QFont> fonts_;
  std::map<const void*, Caption> captions_;
};

// Draws a laid-out caption in the painter's pen, clipped to its box.
void DrawCaption(QPainter& painter, const QRect& box, const FontCache::Caption& caption);

}  // namespace quintarel::qt
