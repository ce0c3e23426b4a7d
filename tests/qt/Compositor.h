#pragma once

#include <QImage>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "XServer.h"

namespace qt_tests {

// A private Wayland compositor for one test, and the user's hands on it: the
// one interface the Wayland checks are written against, with a small driver
// for each compositor (sway, mutter, KWin). Input goes through the
// compositor's own injection, so that its motion is confined as a real mouse's
// would be; pixels and windows are read from the compositor.
class Compositor {
 public:
  struct Window {
    std::string id;  // the compositor's own name for the window
    Rect content;    // the surface's rectangle on the screen, with any frame the client draws
    bool focused = false;
  };

  virtual ~Compositor() = default;

  virtual std::string Name() const = 0;
  // Its XWayland's display, started on the first connection.
  virtual const std::string& XDisplay() const = 0;
  // What a client of this compositor needs in its environment.
  virtual std::vector<std::pair<std::string, std::string>> ClientEnv() const = 0;
  // The user its clients run as, or -1 for the test's own.
  virtual int User() const { return -1; }

  // The mapped window with this title, as the compositor has it now.
  virtual std::optional<Window> FindWindow(const std::string& title) const = 0;
  // The window once it is mapped and the compositor has placed it: two looks agree.
  Window WaitWindow(const std::string& title, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // What the user does to a window through the compositor: closes it as the
  // compositor's own close would, gives it the focus, minimizes (hides) it and
  // brings it back.
  virtual void Close(const Window& window) = 0;
  virtual void Focus(const Window& window) = 0;
  virtual void Minimize(const Window& window) = 0;
  virtual void Restore(const Window& window) = 0;
  // Whether it minimizes a window that asks to be (sway has no minimizing).
  virtual bool Minimizes() const { return true; }

  // The screen as the user sees it, the pointer drawn in.
  virtual QImage Grab(const Rect& r) const = 0;
  Rgb Pixel(int x, int y) const;

  virtual void MoveTo(int x, int y) = 0;
  // Relative motion, as a mouse makes it; the compositor confines it.
  virtual void MoveBy(int dx, int dy) = 0;
  virtual void Button(bool down) = 0;
  void Click();
  void Click(int x, int y) {
    MoveTo(x, y);
    Click();
  }
};

// A line to an input helper of the tests (empty: none, only its greeting), and
// its "ok" once the compositor has taken it; anything else throws, naming who.
void AskHelper(int in, int out, const std::string& command, const std::string& who);

}  // namespace qt_tests
