#include "runtime/win32/Fonts.h"

#include <algorithm>

#include "runtime/Geometry.h"
#include "runtime/win32/Text.h"

namespace quintarel::win32 {

// A design font's widths at each stretch, measured in the fonts painting uses.
class Fonts::Measure : public rt::TextMeasure {
 public:
  Measure(Fonts& fonts, const rt::FontDesign& font, const rt::ScreenInfo& screen)
      : fonts_(fonts), font_(font), screen_(screen), dc_(fonts.MeasuringDc()) {}

  int Width(std::string_view utf8, int stretchPercent) const override {
    Select(stretchPercent);
    const std::wstring text = Widen(utf8);
    SIZE extent{};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
  }

  int LineHeight(int stretchPercent) const override {
    Select(stretchPercent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    return metrics.tmHeight;
  }

 private:
  void Select(int stretch) const { SelectObject(dc_, fonts_.Get(font_, screen_, stretch)); }

  Fonts& fonts_;
  const rt::FontDesign& font_;
  const rt::ScreenInfo& screen_;
  HDC dc_;
};

Fonts::~Fonts() {
  if (measuring_) DeleteDC(measuring_);
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

HDC Fonts::MeasuringDc() {
  if (!measuring_) measuring_ = CreateCompatibleDC(nullptr);
  return measuring_;
}

HFONT Fonts::Get(const rt::FontDesign& font, const rt::ScreenInfo& screen, int stretch) {
  const int pixels = rt::FontPixelHeight(font, screen);
  // A width of 0 keeps the face's own proportions; a narrower face is asked for
  // by its average character width, in whole pixels, so stretches close
  // together share one font.
  const int width = stretch == 100 ? 0 : std::max(1, AverageWidth(Get(font, screen)) * stretch / 100);
  Key key{std::string(font.name), font.size, font.bold, font.charset, pixels, width};
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  // A negative height asks for the em height, as point sizes are meant.
  HFONT handle = CreateFontW(-pixels, width, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, Widen(font.name).c_str());
  fonts_.emplace(std::move(key), handle);
  return handle;
}

int Fonts::AverageWidth(HFONT font) {
  auto [it, added] = averageWidths_.try_emplace(font);
  if (added) {
    HDC dc = MeasuringDc();
    const HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    it->second = metrics.tmAveCharWidth;
  }
  return it->second;
}

const Fonts::Caption& Fonts::LaidOut(const void* owner, const rt::FontDesign& font, const rt::ScreenInfo& screen,
                                     const std::string& text, int width, int height, int alignment) {
  const int pixels = rt::FontPixelHeight(font, screen);
  auto [it, added] = captions_.try_emplace(owner);
  Caption& caption = it->second;
  if (added || caption.text != text || caption.pixelHeight != pixels || caption.width != width ||
      caption.height != height || caption.alignment != alignment) {
    rt::CaptionLayout layout = rt::LayOutCaption(text, width, height, alignment, Measure(*this, font, screen));
    caption = {text, pixels, width, height, alignment, Get(font, screen, layout.stretch), std::move(layout), {}};
    for (const rt::CaptionLine& line : caption.layout.lines) caption.lines.push_back(Widen(line.text));
  }
  return caption;
}

void DrawCaption(HDC dc, const RECT& box, const Fonts::Caption& caption) {
  const HGDIOBJ previous = SelectObject(dc, caption.font);
  for (std::size_t i = 0; i < caption.lines.size(); ++i) {
    const std::wstring& line = caption.lines[i];
    const int top = box.top + static_cast<int>(i) * caption.layout.lineHeight;
    ExtTextOutW(dc, box.left + caption.layout.lines[i].x, top, ETO_CLIPPED, &box, line.c_str(),
                static_cast<UINT>(line.size()), nullptr);
  }
  SelectObject(dc, previous);
}

}  // namespace quintarel::win32
