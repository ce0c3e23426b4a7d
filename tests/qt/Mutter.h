#pragma once

#include <sys/types.h>

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Compositor.h"

struct _GVariant;

namespace rt {
class Form;
}

namespace qt_tests {

class Layout;

// A private headless mutter for one test, with XWayland, on a session bus of
// its own with PipeWire, and the user's hands on it: mutter's remote desktop
// session for the pointer and the keyboard, and a screen cast of the monitor
// with the pointer drawn in for the pixels. mutter alone lists no windows:
// the program's windows are found on the screen by the frame they draw.
class Mutter : public Compositor {
 public:
  Mutter(int width, int height);
  ~Mutter() override;
  Mutter(const Mutter&) = delete;
  Mutter& operator=(const Mutter&) = delete;

  std::string Name() const override { return "mutter"; }
  const std::string& XDisplay() const override { return xDisplay_; }
  std::vector<std::pair<std::string, std::string>> ClientEnv() const override;

  std::optional<Window> FindWindow(const std::string& title) const override;
  // Through mutter's own keys, as a user without a shell has them: Alt+Tab
  // activates the window used last before the active one (the minimized ones
  // come last), Super+H minimizes the active window, Alt+F4 closes it.
  void Close(const Window& window) override;
  void Focus(const Window& window) override;
  void Minimize(const Window& window) override;
  void Restore(const Window& window) override;

  QImage Grab(const Rect& r) const override;
  void MoveTo(int x, int y) override;
  void MoveBy(int dx, int dy) override;
  void Button(bool down) override;

 private:
  class Bus;
  class Stream;

  // Starts the session's programs and opens mutter's sessions; End stops them
  // and throws the session's files away.
  void Open();
  void End();
  // One input through the remote desktop session, once mutter has handled it.
  void Input(const char* method, _GVariant* args) const;
  // Presses the keys in turn and lets them go in the other order.
  void Keys(const std::vector<unsigned>& keysyms);
  std::vector<const rt::Form*> Forms() const;
  // The program's window of that form where the screen shows it.
  std::optional<Window> Find(const QImage& screen, const rt::Form& form) const;
  // The title of the window the program shows active, once it shows one.
  std::string ActiveWindow() const;

  int width_, height_;
  std::string dir_, xDisplay_, desktop_, streamPath_;
  pid_t dbus_ = -1, pipewire_ = -1, wireplumber_ = -1, mutter_ = -1;
  std::unique_ptr<Layout> layout_;
  std::unique_ptr<Bus> bus_;
  std::unique_ptr<Stream> stream_;
  mutable std::set<unsigned> fired_;
};

}  // namespace qt_tests
