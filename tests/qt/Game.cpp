#include "Game.h"

#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "runtime/Conversions.h"
#include "runtime/qt/Fonts.h"

namespace qt_tests {

using namespace std::chrono_literals;

class Layout::NoPlatform : public rt::Platform {
 public:
  explicit NoPlatform(rt::ScreenInfo screen) : screen_(screen) {}
  int MessageBox(std::string_view, int, std::string_view) override { return 1; }
  void ClipCursor(const rt::ClipRect*) override {}
  rt::ScreenInfo Screen() const override { return screen_; }
  rt::PixelRect OuterRect(const rt::Form&) const override { return {}; }
  void ShowForm(rt::Form&) override {}
  void Changed(rt::Form&, const rt::Control*) override {}
  void FocusChanged(rt::Form&) override {}
  void Announce(rt::Form&, std::string_view) override {}
  void Quit() override {}

 private:
  rt::ScreenInfo screen_;
};

Layout::Layout(float twipsPerPixel) {
  screen_.twipsPerPixelX = screen_.twipsPerPixelY = twipsPerPixel;
  platform_ = std::make_unique<NoPlatform>(screen_);
  runtime_ = std::make_unique<rt::Runtime>(*platform_, random_);
  main_ = std::make_unique<quintarel::FrmMain>(*runtime_);
  win_ = std::make_unique<quintarel::FrmWin>(*runtime_);
}

Layout::~Layout() = default;

rt::PixelPoint Layout::ClickPoint(const rt::Control& control, double fx, double fy) const {
  const rt::PixelRect r = Rect(control);
  const rt::PixelPoint p{r.left + static_cast<int>(r.width * fx), r.top + static_cast<int>(r.height * fy)};
  const rt::Form& form = control.Parent();
  if (rt::HitTest(form, p, screen_) != &control)
    throw std::logic_error("the point chosen for " + std::string(control.Name()) + " hits another control");
  return p;
}

std::array<int, 7> ExpectedDraws(std::uint64_t seed) {
  rt::ClockRandom random([seed] { return seed; });
  std::array<int, 7> draws{};
  for (int& d : draws) {
    random.Randomize();
    d = static_cast<int>(rt::vbaFPInt(random.Next() * 7.0f)) + 1;
  }
  return draws;
}

std::string RateText(int hits, int rounds) { return std::to_string(hits * 100 / rounds) + "%"; }

namespace {

std::vector<bool> Ink(const QImage& image, Rgb background) {
  std::vector<bool> ink(static_cast<std::size_t>(image.width() * image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      const int distance =
          std::abs(qRed(p) - background.r) + std::abs(qGreen(p) - background.g) + std::abs(qBlue(p) - background.b);
      ink[static_cast<std::size_t>(y * image.width() + x)] = distance > 120;
    }
  return ink;
}

}  // namespace

Reading ReadLabel(const QImage& client, const Layout& layout, const rt::Control& label, Rgb background,
                  const std::vector<std::string>& candidates) {
  const rt::PixelRect r = layout.Rect(label);
  // Wider faces than the design's may overrun the box a little.
  const int margin = static_cast<int>(std::lround(6 * 15.0 / layout.Screen().twipsPerPixelX));
  const QRect area = QRect(r.left - margin, r.top, r.width + 2 * margin, r.height).intersected(client.rect());
  const std::vector<bool> seen = Ink(client.copy(area), background);
  Reading reading;
  reading.best = reading.runnerUp = -1;
  // Each candidate laid out and drawn as the window does it, inside the border.
  quintarel::qt::FontCache fonts;
  const QRect box = label.BorderStyle() == rt::style::FixedSingle
                        ? QRect(r.left, r.top, r.width, r.height).adjusted(1, 1, -1, -1)
                        : QRect(r.left, r.top, r.width, r.height);
  for (const std::string& text : candidates) {
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(background.r, background.g, background.b));
    {
      QPainter painter(&image);
      painter.setPen(Qt::black);
      const quintarel::qt::FontCache::Caption& caption =
          fonts.LaidOut(&text, label.Font(), rt::FontPixelHeight(label.Font(), layout.Screen()), text, box.width(),
                        box.height(), label.Alignment());
      quintarel::qt::DrawCaption(painter, box.translated(-area.left(), -area.top()), caption);
    }
    const std::vector<bool> expected = Ink(image, background);
    long mismatch = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) mismatch += seen[i] != expected[i];
    if (reading.best < 0 || mismatch < reading.best) {
      reading.runnerUp = reading.best;
      reading.best = mismatch;
      reading.text = text;
    } else if (reading.runnerUp < 0 || mismatch < reading.runnerUp) {
      reading.runnerUp = mismatch;
    }
  }
  return reading;
}

Session::Session(std::uint64_t seed, double scale, bool windowManager, int screenWidth, int screenHeight)
    : x_(std::make_unique<XServer>(screenWidth ? screenWidth : static_cast<int>(1280 * scale),
                                   screenHeight ? screenHeight : static_cast<int>(1024 * scale))),
      layout_(static_cast<float>(15.0 / scale)),
      draws_(ExpectedDraws(seed)) {
  if (windowManager) x_->StartWindowManager();
  std::vector<std::pair<std::string, std::string>> env{{"QUINTAREL_TEST_SEED", std::to_string(seed)}};
  if (scale != 1) {
    std::ostringstream factor;
    factor << scale;
    env.emplace_back("QT_SCALE_FACTOR", factor.str());
  }
  program_ = std::make_unique<Program>(x_->Name(), env);
  main_ = x_->WaitWindow(" Quintarel");
  mainRect_ = x_->Geometry(main_);
  // Painted once the background colour shows in the window's corner.
  WaitUntil([this] { return MainPixel(2, 2) == kPink; });
}

void Session::Select(int n, bool viaDigit) {
  const quintarel::FrmMain& main = layout_.Main();
  if (viaDigit)
    ClickMain(main.Ctl("lblNoSelectNo" + std::to_string(n)));
  else
    ClickMain(layout_.ClickPoint(main.Ctl("lblNoSelect" + std::to_string(n)), 0.1, 0.5));
}

rt::PixelPoint Session::ScorePoint(int k) const {
  const rt::PixelRect r = layout_.Rect(layout_.Main().Ctl("lblScore" + std::to_string(k)));
  return {r.left + r.width / 2, r.top + r.height / 2};
}

void Session::PlayRound(int k) {
  ClickMain(layout_.Main().Ctl("lblClick" + std::to_string(k)));
  const rt::PixelPoint score = ScorePoint(k);
  if (!WaitUntil([&] { return MainPixel(score) != kWhite; }))
    throw std::runtime_error("round " + std::to_string(k) + " shows no result");
}

WindowId Session::PlayGame(const std::array<bool, 7>& hits) {
  for (int k = 1; k <= 7; ++k) {
    const int drawn = draws_[static_cast<std::size_t>(k - 1)];
    Select(hits[static_cast<std::size_t>(k - 1)] ? drawn : drawn % 7 + 1, k % 2 == 0);
    PlayRound(k);
  }
  return x_->WaitWindow("Vyhodnocení");
}

}  // namespace qt_tests
