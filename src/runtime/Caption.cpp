#include "runtime/Caption.h"

#include <algorithm>

#include "runtime/Design.h"

namespace rt {

namespace {

struct Wrapped {
  std::vector<std::string_view> lines;
  bool wordTooWide = false;
};

// One paragraph (no line breaks in it) broken greedily at runs of spaces; the
// spaces where it breaks belong to neither line, as a classic label drops them.
void WrapParagraph(std::string_view text, int width, int stretch, const TextMeasure& measure, Wrapped& out) {
  std::size_t lineStart = 0, lineEnd = 0;
  bool hasWord = false;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t gap = i;
    while (gap < text.size() && text[gap] == ' ') ++gap;
    if (gap == text.size()) break;  // trailing spaces show nothing
    std::size_t end = gap;
    while (end < text.size() && text[end] != ' ') ++end;
    if (hasWord && measure.Width(text.substr(lineStart, end - lineStart), stretch) > width) {
      out.lines.push_back(text.substr(lineStart, lineEnd - lineStart));
      lineStart = gap;
      hasWord = false;
    }
    if (!hasWord && measure.Width(text.substr(lineStart, end - lineStart), stretch) > width) out.wordTooWide = true;
    lineEnd = end;
    hasWord = true;
    i = end;
  }
  out.lines.push_back(text.substr(lineStart, lineEnd - lineStart));
}

Wrapped Wrap(std::string_view caption, int width, int stretch, const TextMeasure& measure) {
  Wrapped out;
  for (std::size_t start = 0;;) {
    const std::size_t stop = caption.find_first_of("\r\n", start);
    WrapParagraph(caption.substr(start, stop == std::string_view::npos ? stop : stop - start), width, stretch, measure,
                  out);
    if (stop == std::string_view::npos) break;
    // CR LF is one break, as are a lone CR and a lone LF.
    start = stop + (caption.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
  }
  return out;
}

bool Fits(const Wrapped& wrapped, int height, int lineHeight) {
  const std::size_t room = lineHeight > 0 ? static_cast<std::size_t>(std::max(1, height / lineHeight)) : 1;
  return !wrapped.wordTooWide && wrapped.lines.size() <= room;
}

}  // namespace

CaptionLayout LayOutCaption(std::string_view caption, int width, int height, int alignment,
                            const TextMeasure& measure) {
  CaptionLayout layout;
  if (caption.empty()) return layout;
  Wrapped wrapped;
  for (layout.stretch = 100; layout.stretch >= kNarrowestStretch; --layout.stretch) {
    wrapped = Wrap(caption, width, layout.stretch, measure);
    if (Fits(wrapped, height, measure.LineHeight(layout.stretch))) break;
  }
  layout.stretch = std::max(layout.stretch, kNarrowestStretch);
  layout.lineHeight = measure.LineHeight(layout.stretch);
  for (std::string_view text : wrapped.lines) {
    CaptionLine& line = layout.lines.emplace_back();
    line.text = text;
    line.width = measure.Width(text, layout.stretch);
    const int spare = width - line.width;
    if (alignment == style::RightJustify) line.x = spare;
    if (alignment == style::Center) line.x = spare / 2;
  }
  return layout;
}

}  // namespace rt
