#include "runtime/qt/Fonts.h"

#include <QStringList>

namespace quintarel::qt {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QFont MakeFont(const rt::FontDesign& design, int pixelHeight) {
  QFont font;
  // DejaVu Sans is Debian's own fallback; naming it keeps the result the same
  // whatever the desktop's fontconfig prefers for an unknown sans face.
  font.setFamilies({Text(design.name), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight > 0 ? pixelHeight : 1);
  font.setBold(design.bold);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QFont Narrowed(QFont font, int stretch) {
  if (stretch != 100) font.setStretch(stretch);
  return font;
}

const QFontMetrics& FontMeasure::Metrics(int stretch) const {
  auto it = metrics_.find(stretch);
  if (it == metrics_.end()) it = metrics_.emplace(stretch, QFontMetrics(Narrowed(font_, stretch))).first;
  return it->second;
}

int FontMeasure::Width(std::string_view utf8, int stretchPercent) const {
  return Metrics(stretchPercent).horizontalAdvance(Text(utf8));
}

int FontMeasure::LineHeight(int stretchPercent) const { return Metrics(stretchPercent).height(); }

const QFont& FontCache::Font(const rt::FontDesign& design, int pixelHeight) {
  auto [it, added] = fonts_.try_emplace({&design, pixelHeight});
  if (added) it->second = MakeFont(design, pixelHeight);
  return it->second;
}

const FontCache::Caption& FontCache::LaidOut(const void* owner, const rt::FontDesign& design, int pixelHeight,
                                             const std::string& text, int width, int height, int alignment) {
  auto [it, added] = captions_.try_emplace(owner);
  Caption& caption = it->second;
  if (added || caption.text != text || caption.pixelHeight != pixelHeight || caption.width != width ||
      caption.height != height || caption.alignment != alignment) {
    const QFont& font = Font(design, pixelHeight);
    rt::CaptionLayout layout = rt::LayOutCaption(text, width, height, alignment, FontMeasure(font));
    caption = {text, pixelHeight, width, height, alignment, Narrowed(font, layout.stretch), std::move(layout), {}};
    for (const rt::CaptionLine& line : caption.layout.lines) {
      QStaticText& staticText = caption.lines.emplace_back(Text(line.text));
      staticText.setTextFormat(Qt::PlainText);
      staticText.prepare(QTransform(), caption.font);
    }
  }
  return caption;
}

void DrawCaption(QPainter& painter, const QRect& box, const FontCache::Caption& caption) {
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  painter.setFont(caption.font);
  for (std::size_t i = 0; i < caption.lines.size(); ++i) {
    const int top = box.top() + static_cast<int>(i) * caption.layout.lineHeight;
    painter.drawStaticText(QPoint(box.left() + caption.layout.lines[i].x, top), caption.lines[i]);
  }
  painter.restore();
}

}  // namespace quintarel::qt
