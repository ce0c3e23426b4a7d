#pragma once

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "XServer.h"

namespace qt_tests {

// A private headless sway for one test, with XWayland, and the user's hand on
// it: one virtual pointer that lives as long as the compositor, so that its
// motion is confined as a real mouse's would be. sway refuses to run as root:
// then it runs as nobody, and so must its clients (see User).
class Sway {
 public:
  // clientFrames: xdg-shell clients draw their own frames (as on desktops
  // without server-side decorations) instead of sway drawing none.
  Sway(int width, int height, bool clientFrames = false);
  ~Sway();
  Sway(const Sway&) = delete;
  Sway& operator=(const Sway&) = delete;

  // Its XWayland's display, started on the first connection.
  const std::string& XDisplay() const { return xDisplay_; }
  // What a client of this compositor needs in its environment.
  std::vector<std::pair<std::string, std::string>> ClientEnv() const;
  // The user its clients run as, or -1 for the test's own.
  int User() const { return user_; }

  struct Window {
    long id = 0;
    Rect content;  // the surface's rectangle in the layout, with a frame the client draws
    bool focused = false;
  };
  std::optional<Window> FindWindow(const std::string& title) const;
  Window WaitWindow(const std::string& title, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // A swaymsg command on the window: "focus", "kill" (as the close box would).
  void Command(const Window& window, const std::string& command) const;

  // Stops the compositor, as one that hangs, or lets it go on.
  void Freeze(bool frozen) const;

  QImage Grab(const Rect& r) const;
  Rgb Pixel(int x, int y) const;

  void MoveTo(int x, int y) const;
  void MoveBy(int dx, int dy) const;
  void Click() const;
  void Click(int x, int y) const {
    MoveTo(x, y);
    Click();
  }

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
