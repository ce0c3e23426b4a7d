#pragma once

#include <sys/types.h>

#include <QDBusConnection>
#include <QImage>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Compositor.h"

namespace qt_tests {

// A private virtual KWin for one test, with XWayland and a session bus of its
// own, and the user's hand on it: one fake input device that lives as long as
// the compositor. Windows are read and acted on by KWin scripts, pixels taken
// through its screenshot interface. Its windows are native Wayland ones: an X
// window's rectangle here would include KWin's frame.
class KWin : public Compositor {
 public:
  KWin(int width, int height);
  ~KWin() override;
  KWin(const KWin&) = delete;
  KWin& operator=(const KWin&) = delete;

  std::string Name() const override { return "KWin"; }
  const std::string& XDisplay() const override { return xDisplay_; }
  std::vector<std::pair<std::string, std::string>> ClientEnv() const override;

  std::optional<Window> FindWindow(const std::string& title) const override;
  // As KWin's own close button, task bar and window list do them.
  void Close(const Window& window) override { Act(window, "c.closeWindow();"); }
  void Focus(const Window& window) override { Act(window, "workspace.activeClient = c;"); }
  void Minimize(const Window& window) override { Act(window, "c.minimized = true;"); }
  void Restore(const Window& window) override { Act(window, "c.minimized = false; workspace.activeClient = c;"); }

  QImage Grab(const Rect& r) const override;
  void MoveTo(int x, int y) override { Input("at " + std::to_string(x) + " " + std::to_string(y)); }
  void MoveBy(int dx, int dy) override { Input("by " + std::to_string(dx) + " " + std::to_string(dy)); }
  void Button(bool down) override { Input(down ? "press" : "release"); }

 private:
  // Runs a script in KWin; it gives its result to answer(), as JSON.
  std::string Script(const std::string& body) const;
  void Act(const Window& window, const std::string& action) const;
  void Input(const std::string& command) const;
  std::string Log() const;
  // Stops what the constructor started, and throws its files away.
  void End();

  std::string dir_, xDisplay_, xAuthority_;
  QDBusConnection bus_{QString()};
  pid_t dbus_ = -1, kwin_ = -1, input_ = -1;
  int inputIn_ = -1, inputOut_ = -1;
  mutable int scripts_ = 0;
  mutable std::size_t logRead_ = 0;
};

}  // namespace qt_tests
