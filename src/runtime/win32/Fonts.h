#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/Caption.h"
#include "runtime/Design.h"
#include "runtime/Platform.h"

namespace quintarel::win32 {

// GDI fonts for the design fonts, created once each and kept until the program
// ends, and each label's caption laid out in its box for as long as its text and
// box stay the same. The character set comes from the design (238, Central
// European), so the font mapper picks a face that has the Czech letters.
class Fonts {
 public:
  struct Caption {
    std::string text;
    int pixelHeight = 0, width = 0, height = 0, alignment = 0;
    HFONT font = nullptr;
    rt::CaptionLayout layout;
    std::vector<std::wstring> lines;
  };

  Fonts() = default;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts();

  // stretch: the width in per cent of the face's own, which GDI condenses to
  // through the font's average character width.
  HFONT Get(const rt::FontDesign& font, const rt::ScreenInfo& screen, int stretch = 100);
  // owner: what the caption belongs to, one caption kept for each. width,
  // height: the box inside the label's border.
  const Caption& LaidOut(const void* owner, const rt::FontDesign& font, const rt::ScreenInfo& screen,
                         const std::string& text, int width, int height, int alignment);

 private:
  class Measure;
  // A memory DC to measure in, made on first use.
  HDC MeasuringDc();
  int AverageWidth(HFONT font);

  // Name, size, bold, character set, em height and average width in pixels.
  using Key = std::tuple<std::string, double, bool, int, int, int>;
  std::map<Key, HFONT> fonts_;
  std::map<HFONT, int> averageWidths_;
  std::map<const void*, Caption> captions_;
  HDC measuring_ = nullptr;
};

// Draws a laid-out caption in the DC's text colour, clipped to its box.
void DrawCaption(HDC dc, const RECT& box, const Fonts::Caption& caption);

}  // namespace quintarel::win32
