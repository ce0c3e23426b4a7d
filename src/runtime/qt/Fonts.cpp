#include "runtime/qt/Fonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace quintarel::qt {

QFont MakeFont(const rt::FontDesign& design, int pixelHeight) {
  QFont font;
  // DejaVu Sans is Debian's own fallback; naming it keeps the result the same
  // whatever the desktop's fontconfig prefers for an unknown sans face.
  font.setFamilies({QString::fromUtf8(design.name.data(), static_cast<qsizetype>(design.name.size())),
                    QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight > 0 ? pixelHeight : 1);
  font.setBold(design.bold);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QFont FittedFont(QFont font, const QString& text, int width) {
  // Narrower than this reads badly; such a caption may overrun its box.
  constexpr int kNarrowest = 70;
  const int advance = QFontMetrics(font).horizontalAdvance(text);
  if (advance <= width || advance <= 0) return font;
  font.setStretch(std::max(kNarrowest, 100 * width / advance));
  // A stretch rounds; one more step if the text still does not fit.
  if (QFontMetrics(font).horizontalAdvance(text) > width && font.stretch() > kNarrowest)
    font.setStretch(font.stretch() - 1);
  return font;
}

const QFont& FontCache::Font(const rt::FontDesign& design, int pixelHeight) {
  auto [it, added] = fonts_.try_emplace({&design, pixelHeight});
  if (added) it->second = MakeFont(design, pixelHeight);
  return it->second;
}

const FontCache::Caption& FontCache::Fitted(const void* owner, const rt::FontDesign& design, int pixelHeight,
                                            const std::string& text, int width) {
  auto [it, added] = captions_.try_emplace(owner);
  Caption& caption = it->second;
  if (added || caption.text != text || caption.pixelHeight != pixelHeight || caption.width != width) {
    const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    caption = {text, pixelHeight, width, FittedFont(Font(design, pixelHeight), qtext, width), QStaticText(qtext)};
    caption.layout.setTextFormat(Qt::PlainText);
    caption.layout.prepare(QTransform(), caption.font);
  }
  return caption;
}

}  // namespace quintarel::qt
