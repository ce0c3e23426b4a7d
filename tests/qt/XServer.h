#pragma once

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace qt_tests {

// Xlib's own types stay out of headers that Qt code includes: its macros clash.
using WindowId = unsigned long;

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// A private Xvfb for one test, and the user's hands on it: pointer and keyboard
// through XTest, screenshots, and what a window manager would send.
class XServer {
 public:
  XServer(int width, int height);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& Name() const { return name_; }
  // Starts a window manager (openbox) on the server and waits until it runs.
  void StartWindowManager();
  // The window manager's active window (_NET_ACTIVE_WINDOW), 0 when none.
  WindowId ActiveWindow() const;
  _XDisplay* Dpy() const { return dpy_; }

  // A mapped top-level window with that title (_NET_WM_NAME or WM_NAME).
  std::optional<WindowId> FindWindow(const std::string& title) const;
  WindowId WaitWindow(const std::string& title, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // The window's client area on the screen.
  Rect Geometry(WindowId window) const;
  std::vector<unsigned long> Property(WindowId window, const char* name, unsigned long* type = nullptr) const;
  std::string Title(WindowId window) const;
  unsigned long AtomOf(const char* name) const;

  QImage Grab(const Rect& r) const;
  Rgb Pixel(int x, int y) const;

  void MoveTo(int x, int y) const;
  // Relative motion, as a mouse makes; settle: give the program time to react.
  void MoveBy(int dx, int dy, bool settle = true) const;
  void Button(bool down) const;
  void Click(int x, int y) const;
  void Key(const char* keysym) const;
  void KeyWith(const char* modifier, const char* keysym) const;
  void PointerAt(int& x, int& y) const;
  void CloseWindow(WindowId window) const;
  // What `xdotool windowclose` does: another client destroys the window.
  void DestroyWindow(WindowId window) const;
  // What a window manager does without one: give the keyboard focus, move.
  void Focus(WindowId window) const;
  void Move(WindowId window, int x, int y) const;  // WM_DELETE_WINDOW, as the close box sends it
  // What a desktop asks of a window manager: iconify, and activate (restoring).
  void Iconify(WindowId window) const;
  void Activate(WindowId window) const;
  void SwitchDesktop(int desktop) const;
  // Makes the window paint all of itself anew, as only a new size does (Qt keeps
  // what it painted and just shows it again when exposed): a few pixels wider
  // and back, which a bare server allows a fixed-size window too. True once it
  // is back at its size and painted whole.
  bool RepaintWhole(WindowId window) const;
  // How many windows lie mapped on the root: one more while a menu is open.
  int MappedTopLevels() const;
  // The window with the window manager's frame (_NET_FRAME_EXTENTS) round it.
  Rect Frame(WindowId window) const;
  // Whether another client's active pointer grab succeeds now; it is let go at once.
  bool OtherClientCanGrab() const;

  // For the storms: any button or key held or let go, and the focus.
  void Button(int button, bool down) const;
  void KeyHeld(const char* keysym, bool down) const;
  WindowId FocusedWindow() const;
  // Every titled top-level window, shown or not (iconified, never mapped):
  // its WM_STATE is -1 when it has none, 1 normal, 3 iconic.
  struct Client {
    WindowId id;
    std::string title;
    bool viewable;
    int wmState;
  };
  std::vector<Client> Clients() const;
  // A mapped override-redirect window, as a window manager's menus are.
  bool PopupShown() const;

 private:
  pid_t pid_ = -1;
  pid_t windowManager_ = -1;
  std::string name_;
  _XDisplay* dpy_ = nullptr;
};

// Polls until the condition holds or the time is up; the result is the last test.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The game, started as the user starts it, on the test's display.
class Program {
 public:
  // user: the user it runs as when the test runs as root, -1 for the test's own.
  Program(const std::string& display, const std::vector<std::pair<std::string, std::string>>& env,
          bool keepDisplay = true, int user = -1);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The exit status, or nothing while it still runs after the timeout.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  bool Running();
  bool Signalled() const { return signalled_; }
  pid_t Pid() const { return pid_; }
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  std::string stderrPath_;
  std::optional<int> status_;
  bool signalled_ = false;
};

}  // namespace qt_tests
