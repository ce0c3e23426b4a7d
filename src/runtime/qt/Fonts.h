#pragma once

#include <QFont>
#include <QStaticText>
#include <QString>
#include <map>
#include <string>
#include <utility>

#include "runtime/Design.h"

namespace quintarel::qt {

// The design's font at an em height in pixels. Faces the desktop lacks (Verdana,
// MS Sans Serif) fall back through fontconfig to a sans face that has every
// Czech letter.
QFont MakeFont(const rt::FontDesign& design, int pixelHeight);

// The font narrowed, when the text is wider than the box it was designed for, so
// that a fallback face wider than the design's still shows the whole caption
// inside its label instead of under the next control.
QFont FittedFont(QFont font, const QString& text, int width);

// The fonts a window paints with, made once and kept: each design font at each
// em height, and each caption laid out in its fitted font for as long as its
// text and box stay the same.
class FontCache {
 public:
  struct Caption {
    std::string text;
    int pixelHeight = 0, width = 0;
    QFont font;
    QStaticText layout;
  };

  const QFont& Font(const rt::FontDesign& design, int pixelHeight);
  // owner: what the caption belongs to, one caption kept for each.
  const Caption& Fitted(const void* owner, const rt::FontDesign& design, int pixelHeight, const std::string& text,
                        int width);

 private:
  std::map<std::pair<const rt::FontDesign*, int>, QFont> fonts_;
  std::map<const void*, Caption> captions_;
};

}  // namespace quintarel::qt
