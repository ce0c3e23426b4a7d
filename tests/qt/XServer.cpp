#include "XServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qt_tests {

using namespace std::chrono_literals;

namespace {

void Settle() { std::this_thread::sleep_for(15ms); }

// Windows come and go while the tests look at them: a window that vanished
// between two requests is no error of the test's (Xlib's default handler
// would end the process).
int IgnoreVanished(Display*, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadMatch) return 0;
  char text[256] = {};
  XGetErrorText(error->display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "X error: %s (request %d)\n", text, error->request_code);
  return 0;
}

}  // namespace

XServer::XServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_ = fork();
  if (pid_ == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  name_ = ":" + number;
  dpy_ = XOpenDisplay(name_.c_str());
  if (!dpy_) throw std::runtime_error("cannot open " + name_);
  XSetErrorHandler(IgnoreVanished);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy_, &event, &error, &major, &minor)) throw std::runtime_error("no XTest");
}

void XServer::StartWindowManager() {
  windowManager_ = fork();
  if (windowManager_ == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    setenv("DISPLAY", name_.c_str(), 1);
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  // A running window manager announces itself on the root window.
  const bool running =
      WaitUntil([this] { return !Property(DefaultRootWindow(dpy_), "_NET_SUPPORTING_WM_CHECK").empty(); }, 10s);
  if (!running) throw std::runtime_error("openbox did not start (tools/deps.sh test installs it)");
  // The first key the test's keyboard presses changes the server's keyboard
  // map, and openbox, told so, takes all its key bindings away and grabs them
  // anew: a chord pressed meanwhile (Alt+F4, Alt+space) goes to the window
  // instead. That first key is pressed here, where nothing takes it.
  Key("Shift_L");
  // Openbox announces itself before it has finished starting, and a window
  // mapped in between is never managed (the game's, on a loaded machine):
  // windows of our own are mapped until one is. Openbox handles events in
  // order, so once one is managed its key bindings are back too.
  const bool managing = WaitUntil(
      [this] {
        const Window probe = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 8, 8, 0, 0, 0);
        XMapWindow(dpy_, probe);
        XSync(dpy_, False);
        const bool managed = WaitUntil([&] { return !Property(probe, "WM_STATE").empty(); }, 250ms);
        XDestroyWindow(dpy_, probe);
        XSync(dpy_, False);
        return managed;
      },
      20s);
  if (!managing) throw std::runtime_error("openbox does not manage new windows");
}

WindowId XServer::ActiveWindow() const {
  const std::vector<unsigned long> active = Property(DefaultRootWindow(dpy_), "_NET_ACTIVE_WINDOW");
  return active.empty() ? 0 : active[0];
}

XServer::~XServer() {
  if (windowManager_ > 0) {
    kill(windowManager_, SIGTERM);
    int status = 0;
    waitpid(windowManager_, &status, 0);
  }
  if (dpy_) XCloseDisplay(dpy_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

unsigned long XServer::AtomOf(const char* name) const { return XInternAtom(dpy_, name, False); }

std::string XServer::Title(WindowId window) const {
  Atom type = None;
  std::string title;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom utf8 = XInternAtom(dpy_, "UTF8_STRING", False);
  if (XGetWindowProperty(dpy_, window, XInternAtom(dpy_, "_NET_WM_NAME", False), 0, 1024, False, utf8, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(dpy_, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

namespace {

// Top-level windows lie directly under the root, or in a window manager's frame.
std::optional<WindowId> FindIn(const XServer& x, Window parentWindow, const std::string& title, int depth) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(x.Dpy(), parentWindow, &root, &parent, &children, &count)) return std::nullopt;
  std::optional<WindowId> found;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x.Dpy(), children[i], &attributes) || attributes.map_state != IsViewable) continue;
    if (attributes.c_class == InputOnly) continue;
    if (x.Title(children[i]) == title)
      found = children[i];
    else if (depth > 0)
      found = FindIn(x, children[i], title, depth - 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

std::optional<WindowId> XServer::FindWindow(const std::string& title) const {
  return FindIn(*this, DefaultRootWindow(dpy_), title, 2);
}

WindowId XServer::WaitWindow(const std::string& title, std::chrono::milliseconds timeout) const {
  std::optional<WindowId> window;
  WaitUntil([&] { return (window = FindWindow(title)).has_value(); }, timeout);
  if (!window) {
    // What is there instead, for the failure's report.
    const std::string tree = "xwininfo -display " + name_ + " -root -tree >&2";
    if (std::system(tree.c_str()) != 0) std::fprintf(stderr, "xwininfo failed\n");
    throw std::runtime_error("no window \"" + title + "\"");
  }
  return *window;
}

Rect XServer::Geometry(WindowId window) const {
  XWindowAttributes attributes;
  XGetWindowAttributes(dpy_, window, &attributes);
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(dpy_, window, DefaultRootWindow(dpy_), 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height};
}

std::vector<unsigned long> XServer::Property(WindowId window, const char* name, unsigned long* typeOut) const {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(dpy_, window, XInternAtom(dpy_, name, False), 0, 1 << 16, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    for (unsigned long i = 0; i < count; ++i) {
      if (format == 32) values.push_back(reinterpret_cast<unsigned long*>(data)[i]);
      if (format == 16) values.push_back(reinterpret_cast<unsigned short*>(data)[i]);
      if (format == 8) values.push_back(data[i]);
    }
    XFree(data);
  }
  if (typeOut) *typeOut = type;
  return values;
}

QImage XServer::Grab(const Rect& r) const {
  XImage* image = XGetImage(dpy_, DefaultRootWindow(dpy_), r.x, r.y, static_cast<unsigned>(r.width),
                            static_cast<unsigned>(r.height), AllPlanes, ZPixmap);
  QImage result(r.width, r.height, QImage::Format_RGB32);
  result.fill(Qt::black);
  if (!image) return result;  // off the screen
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) result.setPixel(x, y, 0xFF000000u | (XGetPixel(image, x, y) & 0xFFFFFFu));
  XDestroyImage(image);
  return result;
}

Rgb XServer::Pixel(int x, int y) const {
  const QRgb p = Grab({x, y, 1, 1}).pixel(0, 0);
  return {qRed(p), qGreen(p), qBlue(p)};
}

void XServer::MoveTo(int x, int y) const {
  XTestFakeMotionEvent(dpy_, -1, x, y, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::MoveBy(int dx, int dy, bool settle) const {
  XTestFakeRelativeMotionEvent(dpy_, dx, dy, CurrentTime);
  XSync(dpy_, False);
  if (settle) Settle();
}

void XServer::Button(bool down) const {
  XTestFakeButtonEvent(dpy_, 1, down ? True : False, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::Click(int x, int y) const {
  MoveTo(x, y);
  XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
  XSync(dpy_, False);
  Settle();
  XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
  XSync(dpy_, False);
  // Far enough apart that two clicks never make a double click.
  std::this_thread::sleep_for(60ms);
}

void XServer::Key(const char* keysym) const {
  const KeyCode code = XKeysymToKeycode(dpy_, XStringToKeysym(keysym));
  XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
  XSync(dpy_, False);
  Settle();
  XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::KeyWith(const char* modifier, const char* keysym) const {
  const KeyCode held = XKeysymToKeycode(dpy_, XStringToKeysym(modifier));
  XTestFakeKeyEvent(dpy_, held, True, CurrentTime);
  XSync(dpy_, False);
  Settle();
  Key(keysym);
  XTestFakeKeyEvent(dpy_, held, False, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::PointerAt(int& x, int& y) const {
  Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned int mask = 0;
  XQueryPointer(dpy_, DefaultRootWindow(dpy_), &root, &child, &x, &y, &wx, &wy, &mask);
}

void XServer::CloseWindow(WindowId window) const {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, window, False, NoEventMask, &event);
  XSync(dpy_, False);
}

void XServer::DestroyWindow(WindowId window) const {
  XDestroyWindow(dpy_, window);
  XSync(dpy_, False);
}

void XServer::Focus(WindowId window) const {
  XSetInputFocus(dpy_, window, RevertToParent, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::Move(WindowId window, int x, int y) const {
  XMoveWindow(dpy_, window, x, y);
  XSync(dpy_, False);
  Settle();
}

void XServer::Button(int button, bool down) const {
  XTestFakeButtonEvent(dpy_, static_cast<unsigned>(button), down ? True : False, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

void XServer::KeyHeld(const char* keysym, bool down) const {
  XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, XStringToKeysym(keysym)), down ? True : False, CurrentTime);
  XSync(dpy_, False);
  Settle();
}

WindowId XServer::FocusedWindow() const {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(dpy_, &focus, &revert);
  return focus;
}

void XServer::Iconify(WindowId window) const {
  XIconifyWindow(dpy_, window, DefaultScreen(dpy_));
  XSync(dpy_, False);
  Settle();
}

namespace {

// A request to the window manager, as a pager or a desktop's panel sends it.
void AskWindowManager(Display* dpy, Window window, const char* message, long data) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy, message, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = data;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(dpy, False);
}

}  // namespace

void XServer::Activate(WindowId window) const {
  AskWindowManager(dpy_, window, "_NET_ACTIVE_WINDOW", 2);  // 2: from a pager, the user asked for it
  Settle();
}

std::vector<XServer::Client> XServer::Clients() const {
  // A window manager lists the windows it manages, iconified ones too; without
  // one, the top-level windows are the root's children.
  std::vector<Window> windows;
  if (windowManager_ > 0) {
    for (const unsigned long w : Property(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST")) windows.push_back(w);
  } else {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count))
      windows.assign(children, children + count);
    if (children) XFree(children);
  }
  std::vector<Client> clients;
  for (const Window w : windows) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy_, w, &attributes) || attributes.c_class == InputOnly) continue;
    if (std::string title = Title(w); !title.empty()) {
      const std::vector<unsigned long> state = Property(w, "WM_STATE");
      clients.push_back(
          {w, std::move(title), attributes.map_state == IsViewable, state.empty() ? -1 : static_cast<int>(state[0])});
    }
  }
  return clients;
}

bool XServer::PopupShown() const {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count)) return false;
  bool shown = false;
  for (unsigned int i = 0; i < count && !shown; ++i) {
    XWindowAttributes a;
    // A window manager keeps tiny mapped helper windows of its own, often off the screen.
    shown = XGetWindowAttributes(dpy_, children[i], &a) && a.map_state == IsViewable && a.override_redirect &&
            a.c_class == InputOutput && a.width > 2 && a.height > 2 && a.x + a.width > 0 && a.y + a.height > 0;
  }
  if (children) XFree(children);
  return shown;
}

void XServer::SwitchDesktop(int desktop) const {
  AskWindowManager(dpy_, DefaultRootWindow(dpy_), "_NET_CURRENT_DESKTOP", desktop);
  Settle();
}

bool XServer::RepaintWhole(WindowId window) const {
  constexpr unsigned long kScribble = 0x010203;  // a colour the game never paints
  const Rect r = Geometry(window);
  // Scribbled over before each resize, so that the paint after it shows.
  const auto resize = [&](int width) {
    GC gc = XCreateGC(dpy_, window, 0, nullptr);
    XSetForeground(dpy_, gc, kScribble);
    XFillRectangle(dpy_, window, gc, 0, 0, static_cast<unsigned>(r.width), static_cast<unsigned>(r.height));
    XFreeGC(dpy_, gc);
    XResizeWindow(dpy_, window, static_cast<unsigned>(width), static_cast<unsigned>(r.height));
    XSync(dpy_, False);
    return WaitUntil([&] {
      const QImage shot = Grab(r);
      for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
          if ((shot.pixel(x, y) & 0xFFFFFFu) == kScribble) return false;
      return true;
    });
  };
  return resize(r.width + 8) && resize(r.width) && Geometry(window).width == r.width;
}

int XServer::MappedTopLevels() const {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy_, DefaultRootWindow(dpy_), &root, &parent, &children, &count)) return 0;
  int mapped = 0;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes a;
    mapped += XGetWindowAttributes(dpy_, children[i], &a) && a.map_state == IsViewable;
  }
  if (children) XFree(children);
  return mapped;
}

Rect XServer::Frame(WindowId window) const {
  const Rect client = Geometry(window);
  const std::vector<unsigned long> e = Property(window, "_NET_FRAME_EXTENTS");  // left, right, top, bottom
  if (e.size() != 4) return client;
  const int left = static_cast<int>(e[0]), right = static_cast<int>(e[1]);
  const int top = static_cast<int>(e[2]), bottom = static_cast<int>(e[3]);
  return {client.x - left, client.y - top, client.width + left + right, client.height + top + bottom};
}

bool XServer::OtherClientCanGrab() const {
  const int status = XGrabPointer(dpy_, DefaultRootWindow(dpy_), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                  None, None, CurrentTime);
  XUngrabPointer(dpy_, CurrentTime);
  XSync(dpy_, False);
  return status == GrabSuccess;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

Program::Program(const std::string& display, const std::vector<std::pair<std::string, std::string>>& env,
                 bool keepDisplay, int user) {
  char path[] = "/tmp/quintarel-stderr-XXXXXX";
  const int fd = mkstemp(path);
  stderrPath_ = path;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fd, 2);
    // The test's own Qt runs offscreen; the program must find its platform itself.
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QUINTAREL_TEST_SEED", "DISPLAY"})
      unsetenv(name);
    if (keepDisplay) setenv("DISPLAY", display.c_str(), 1);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    if (user >= 0 && getuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(user)) != 0 || setuid(static_cast<uid_t>(user)) != 0))
      _exit(126);
    execl(QUINTAREL_PROGRAM, QUINTAREL_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fd);
}

Program::~Program() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  unlink(stderrPath_.c_str());
}

std::optional<int> Program::WaitExit(std::chrono::milliseconds timeout) {
  WaitUntil([this] { return !Running(); }, timeout);
  return status_;
}

bool Program::Running() {
  if (status_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  signalled_ = WIFSIGNALED(status);
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

std::string Program::Stderr() const {
  std::ifstream in(stderrPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace qt_tests
