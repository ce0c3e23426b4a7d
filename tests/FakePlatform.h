#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Project.h"
#include "runtime/Errors.h"
#include "runtime/Platform.h"
#include "runtime/Rnd.h"

namespace testing_support {

// The colours a game writes: a hit, a miss, and a mark left in its design colour.
inline constexpr rt::Color kGreen = 0x0000C000;
inline constexpr rt::Color kRed = 0x000000FF;
inline constexpr rt::Color kMarkRed = 0x008080FF;

// Records everything the program asks of the platform.
class FakePlatform : public rt::Platform {
 public:
  struct MessageBoxCall {
    std::string prompt;
    int style;
    std::string title;
  };

  int MessageBox(std::string_view prompt, int style, std::string_view title) override {
    messageBoxes.push_back({std::string(prompt), style, std::string(title)});
    log.push_back("MessageBox");
    if (duringMessageBox) duringMessageBox();
    return 1;
  }
  void ClipCursor(const rt::ClipRect* rect) override {
    clips.push_back(rect ? std::optional<rt::ClipRect>(*rect) : std::nullopt);
    log.push_back(rect ? "ClipCursor" : "ReleaseCursor");
  }
  rt::ScreenInfo Screen() const override { return screen; }
  rt::PixelRect OuterRect(const rt::Form& form) const override {
    auto it = outerRects.find(std::string(form.Name()));
    return it == outerRects.end() ? rt::PixelRect{} : it->second;
  }
  void ShowForm(rt::Form& form) override {
    shown.push_back(std::string(form.Name()));
    log.push_back("Show " + std::string(form.Name()));
  }
  void Changed(rt::Form&, const rt::Control*) override { ++changes; }
  void FocusChanged(rt::Form& form) override {
    focus.push_back(std::string(form.Name()) + ":" + std::to_string(form.FocusNode()));
  }
  void Announce(rt::Form& form, std::string_view text) override {
    announced.push_back(std::string(form.Name()) + ": " + std::string(text));
  }
  void Quit() override {
    ++quits;
    log.push_back("Quit");
  }

  rt::ScreenInfo screen;
  // What happens while a message box is open (its nested event loop).
  std::function<void()> duringMessageBox;
  std::map<std::string, rt::PixelRect> outerRects;
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<std::optional<rt::ClipRect>> clips;
  std::vector<std::string> shown;
  std::vector<std::string> log;
  std::vector<std::string> focus;      // form:node, each move of the keyboard focus
  std::vector<std::string> announced;  // form: text
  int changes = 0;
  int quits = 0;
};

// Hands out scripted draws; counts reseeds so a test can see one before each draw.
class ScriptedRandom : public rt::RandomGenerator {
 public:
  void Randomize() override { ++reseeds; }
  float Next() override {
    if (draws.empty()) throw std::logic_error("no scripted draw left");
    float value = draws.front();
    draws.pop_front();
    ++taken;
    return value;
  }
  // A value whose draw is digit d (1..7).
  static float ForDigit(int d) { return (static_cast<float>(d) - 0.5f) / 7.0f; }
  void QueueDigit(int d) { draws.push_back(ForDigit(d)); }

  std::deque<float> draws;
  int reseeds = 0;
  int taken = 0;
};

// A started program on the fake platform.
struct Game {
  FakePlatform platform;
  ScriptedRandom random;
  quintarel::Project project{platform, random};

  Game() { project.Start(); }
  quintarel::FrmMain& main() { return project.frmMain(); }
  rt::Runtime& runtime() { return project.Rt(); }

  // A real click: pressed and released at the centre of the named control.
  void ClickAt(rt::Form& form, rt::PixelPoint p) {
    runtime().MouseDown(form, p);
    runtime().MouseUp(form, p);
  }
  void Click(rt::Form& form, std::string_view name);
  void Choose(int n) { Click(main(), "lblNoSelect" + std::to_string(n)); }
  // Plays round k with the draw d.
  void Play(int k, int d) {
    random.QueueDigit(d);
    Click(main(), "lblClick" + std::to_string(k));
  }
};

rt::PixelPoint CentreOf(const rt::Control& control, const rt::ScreenInfo& screen);

// The number of the run-time error the code raises; 0 when it raises none.
template <typename F>
int ErrorNumberOf(F&& code) {
  try {
    code();
  } catch (const rt::RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace testing_support
