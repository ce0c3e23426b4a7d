#pragma once

#include <QImage>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "XServer.h"
#include "forms/frmMain.h"
#include "forms/frmWin.h"
#include "runtime/Geometry.h"
#include "runtime/Rnd.h"
#include "runtime/Runtime.h"

namespace qt_tests {

// The two windows as the runtime lays them out at a given scale: the test takes
// every position from the same tables and conversion the program uses.
class Layout {
 public:
  explicit Layout(float twipsPerPixel);
  ~Layout();

  const rt::ScreenInfo& Screen() const { return screen_; }
  const quintarel::FrmMain& Main() const { return *main_; }
  const quintarel::FrmWin& Win() const { return *win_; }
  rt::PixelRect Rect(const rt::Control& control) const { return rt::ControlRect(control, screen_); }
  // A point of the control that the runtime's hit test gives to that control.
  rt::PixelPoint ClickPoint(const rt::Control& control, double fx = 0.5, double fy = 0.5) const;

 private:
  class NoPlatform;
  rt::ScreenInfo screen_;
  std::unique_ptr<NoPlatform> platform_;
  rt::ClockRandom random_;
  std::unique_ptr<rt::Runtime> runtime_;
  std::unique_ptr<quintarel::FrmMain> main_;
  std::unique_ptr<quintarel::FrmWin> win_;
};

// The seven numbers a game started with QUINTAREL_TEST_SEED=seed draws.
std::array<int, 7> ExpectedDraws(std::uint64_t seed);
// Whole per cent of hits in k rounds, cut off: "42%".
std::string RateText(int hits, int rounds);

// Reads a label's caption off a screenshot: the candidate whose rendering in the
// label's font and alignment matches the pixels best.
struct Reading {
  std::string text;
  long best = 0, runnerUp = 0;  // mismatching pixels of the best and second best
};
Reading ReadLabel(const QImage& client, const Layout& layout, const rt::Control& label, Rgb background,
                  const std::vector<std::string>& candidates);

// One running game on a private X server, driven by real pointer and keys.
class Session {
 public:
  // A screen of 1280 x 1024 logical pixels unless given in device pixels.
  explicit Session(std::uint64_t seed = 20261207, double scale = 1, bool windowManager = false, int screenWidth = 0,
                   int screenHeight = 0);

  XServer& X() { return *x_; }
  Program& Game() { return *program_; }
  const Layout& Lay() const { return layout_; }
  WindowId MainWindow() const { return main_; }
  Rect MainRect() const { return mainRect_; }
  const std::array<int, 7>& Draws() const { return draws_; }

  QImage MainShot() const { return x_->Grab(mainRect_); }
  Rgb MainPixel(int x, int y) const { return x_->Pixel(mainRect_.x + x, mainRect_.y + y); }
  Rgb MainPixel(const rt::PixelPoint& p) const { return MainPixel(p.x, p.y); }
  void ClickMain(const rt::PixelPoint& p) const { x_->Click(mainRect_.x + p.x, mainRect_.y + p.y); }
  void ClickMain(const rt::Control& c) const { ClickMain(layout_.ClickPoint(c)); }

  // Chooses n through the digit label or through its coloured box.
  void Select(int n, bool viaDigit = true);
  // Clicks round k's label and waits until its score label shows a result.
  void PlayRound(int k);
  rt::PixelPoint ScorePoint(int k) const;
  // Plays all seven rounds, hitting exactly the rounds in hits; returns the
  // evaluation window.
  WindowId PlayGame(const std::array<bool, 7>& hits);

 private:
  std::unique_ptr<XServer> x_;
  std::unique_ptr<Program> program_;
  Layout layout_;
  std::array<int, 7> draws_;
  WindowId main_ = 0;
  Rect mainRect_;
};

inline constexpr Rgb kPink{255, 192, 192};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kHitGreen{0, 192, 0};
inline constexpr Rgb kMissRed{255, 0, 0};
inline constexpr Rgb kFace{212, 208, 200};
inline constexpr Rgb kMarkRed{255, 128, 128};

}  // namespace qt_tests
