#pragma once

#include <QFont>
#include <QString>

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

}  // namespace quintarel::qt
