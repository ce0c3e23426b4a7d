#pragma once

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Compositor.h"

namespace qt_tests {

// A private headless sway for one test, with XWayland, and the user's hand on
// it: one virtual pointer that lives as long as the compositor, so that its
// motion is confined as a real mouse's would be. sway refuses to run as root:
// then it runs as nobody, and so must its clients (see User).
class Sway : public Compositor {
 public:
  Sway(int width, int height);
  ~Sway() override;
  Sway(const Sway&) = delete;
  Sway& operator=(const Sway&) = delete;

  std::string Name() const override { return "sway"; }
  const std::string& XDisplay() const override { return xDisplay_; }
  std::vector<std::pair<std::string, std::string>> ClientEnv() const override;
  int User() const override { return user_; }

  std::optional<Window> FindWindow(const std::string& title) const override;
  // sway has no minimizing: its scratchpad hides a window, and shows it again.
  void Close(const Window& window) override { Command(window, "kill"); }
  void Focus(const Window& window) override { Command(window, "focus"); }
  void Minimize(const Window& window) override { Command(window, "move scratchpad"); }
  void Restore(const Window& window) override { Command(window, "scratchpad show"); }
  bool Minimizes() const override { return false; }
  // A swaymsg command on the window.
  void Command(const Window& window, const std::string& command) const;

  // Stops the compositor, as one that hangs, or lets it go on.
  void Freeze(bool frozen) const;

  QImage Grab(const Rect& r) const override;
  void MoveTo(int x, int y) override;
  void MoveBy(int dx, int dy) override;
  void Button(bool down) override { Pointer(down ? "press" : "release"); }

 private:
  std::string Msg(const std::string& args) const;
  void Pointer(const std::string& command) const;

  int width_, height_;
  int user_ = -1;
  std::string dir_, waylandDisplay_, xDisplay_, ipc_;
  pid_t sway_ = -1, pointer_ = -1;
  int pointerIn_ = -1, pointerOut_ = -1;
};

}  // namespace qt_tests
