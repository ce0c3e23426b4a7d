#include "app/Backend.h"

#include <poll.h>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QSessionManager>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Project.h"
#include "runtime/Rnd.h"
#include "runtime/qt/QtPlatform.h"

namespace quintarel {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// On a Wayland session the game runs natively on Wayland, XWayland or not:
// only there does the compositor itself hold the pointer, on every compositor
// (mutter answers XWayland's confining grab and never enforces it; KWin lets the
// pointer out through its title bar). A session whose Wayland display can't be
// reached still has X11, if it has a display. The user's own choice wins.
void ChoosePlatform() {
  if (!IsSet("QT_QPA_PLATFORM") && IsSet("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", IsSet("DISPLAY") ? "wayland;xcb" : "wayland", 1);
}

bool UsesX11() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return std::strncmp(platform, "xcb", 3) == 0;
  return !IsSet("WAYLAND_DISPLAY");
}

// Qt aborts with a core dump when it finds no display; the program says so in
// one line instead and exits 1.
bool CanOpenX11Display() {
  if (!IsSet("DISPLAY")) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

// Wayland alone: with a list of platforms ("wayland;xcb") Qt falls back to the next.
bool UsesWaylandOnly() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform && std::strncmp(platform, "wayland", 7) == 0 && !std::strchr(platform, ';');
}

// libwayland prints its errors straight to stderr. While the program looks for
// the display they become part of its one line; afterwards they go to stderr as
// before.
std::string waylandError;
bool keepWaylandError = false;

void WaylandLog(const char* format, va_list args) {
  if (!keepWaylandError) {
    std::vfprintf(stderr, format, args);
    return;
  }
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  waylandError = text;
  if (waylandError.rfind("error: ", 0) == 0) waylandError.erase(0, 7);
  while (!waylandError.empty() && (waylandError.back() == '\n' || waylandError.back() == '.')) waylandError.pop_back();
}

// What keeps the program from its Wayland display, or nothing.
std::string WaylandDisplayProblem() {
  wl_log_set_handler_client(WaylandLog);
  keepWaylandError = true;
  wl_display* display = wl_display_connect(nullptr);
  keepWaylandError = false;
  if (display) {
    wl_display_disconnect(display);
    return {};
  }
  if (!waylandError.empty()) return waylandError;
  return IsSet("WAYLAND_DISPLAY") ? "WAYLAND_DISPLAY is not reachable" : "WAYLAND_DISPLAY is not set";
}

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) return;  // Qt's own chatter while it looks for a platform
  const std::string line = message.section(QLatin1Char('\n'), 0, 0).toStdString();
  std::fprintf(stderr, "quintarel: cannot open a window: %s\n", line.c_str());
  std::_Exit(1);
}

// QUINTAREL_TEST_SEED, for the end-to-end tests only: the generator reseeds from
// this constant instead of the clock, so the draws of a game are reproducible.
// Every round still reseeds and draws exactly as in play.
std::unique_ptr<rt::ClockRandom> MakeRandom() {
  const char* seed = std::getenv("QUINTAREL_TEST_SEED");
  if (!seed || !*seed) return std::make_unique<rt::ClockRandom>();
  const std::uint64_t value = std::strtoull(seed, nullptr, 10);
  return std::make_unique<rt::ClockRandom>([value] { return value; });
}

void SyncDone(void* data, wl_callback* callback, std::uint32_t) {
  *static_cast<bool*>(data) = true;
  wl_callback_destroy(callback);
}

constexpr wl_callback_listener kSyncDone{SyncDone};

// Qt's Wayland client (6.4, Debian 12's 6.4.2; later versions not measured)
// reads the display on a thread of its own, and its main thread prepares each
// read on that thread's behalf. When the program quits between such a
// preparation and the read, Qt stops the thread without reading or cancelling,
// libwayland keeps waiting for that reader, and Qt's frame thread then waits in
// its own read for ever, with Qt's teardown waiting for it: the windows are gone
// but the process never ends. A roundtrip of the program's own cannot finish
// until every prepared reader has read, so after it Qt's thread has taken its
// read and is stopped cleanly. False when the compositor did not answer in time.
bool LetPreparedReadsFinish(std::chrono::milliseconds bound) {
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  auto* display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display")) : nullptr;
  if (!display) return true;  // not on Wayland
  wl_event_queue* queue = wl_display_create_queue(display);
  auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
  bool done = false;
  wl_callback* callback = wl_display_sync(wrapper);
  wl_proxy_wrapper_destroy(wrapper);
  wl_callback_add_listener(callback, &kSyncDone, &done);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  bool failed = false;
  while (!done && !failed) {
    if (wl_display_prepare_read_queue(display, queue) != 0) {
      failed = wl_display_dispatch_queue_pending(display, queue) < 0;
      continue;
    }
    wl_display_flush(display);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&fd, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) {
      wl_display_cancel_read(display);
      continue;
    }
    if (ready <= 0 || !(fd.revents & POLLIN)) {
      wl_display_cancel_read(display);
      break;
    }
    failed = wl_display_read_events(display) < 0 || wl_display_dispatch_queue_pending(display, queue) < 0;
  }
  if (!done) wl_callback_destroy(callback);
  wl_event_queue_destroy(queue);
  return done;
}

// The game itself, from its start to its end; its windows are gone on return.
int Play(QApplication& app) {
  qt::QtPlatform platform;
  std::unique_ptr<rt::ClockRandom> random = MakeRandom();
  Project project(platform, *random);
  platform.Attach(project.Rt());

  // Logging off or shutting down closes the program's windows, even while a
  // message box is open, and never waits for the user.
  const QMetaObject::Connection logoff =
      QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&platform, &project](QSessionManager&) {
        for (rt::Form* form : platform.ShownForms()) project.Rt().Closing(*form, rt::unload::AppWindows);
      });

  project.Start();
  const int status = project.Rt().Ended() || platform.QuitRequested() ? 0 : QApplication::exec();
  QObject::disconnect(logoff);
  return status;
}

}  // namespace

int RunBackend(int argc, char** argv) {
  ChoosePlatform();
  if (UsesX11() && !CanOpenX11Display()) {
    std::fprintf(stderr, "quintarel: cannot open a window: no X display (DISPLAY is %s)\n",
                 IsSet("DISPLAY") ? "not reachable" : "not set");
    return 1;
  }
  if (UsesWaylandOnly()) {
    const std::string problem = WaylandDisplayProblem();
    if (!problem.empty()) {
      std::fprintf(stderr, "quintarel: cannot open a window: no Wayland display (%s)\n", problem.c_str());
      return 1;
    }
  }
  qInstallMessageHandler(StartupMessages);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  // The program ends only through End; windows hidden on the way out must not
  // end it earlier.
  QApplication::setQuitOnLastWindowClosed(false);
  // The desktop entry's name: on Wayland the app_id that ties the windows to
  // the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral(QUINTAREL_APP_ID));

  const int status = Play(app);
  // The program has ended: nothing on screen, the pointer free. A compositor
  // that does not answer must not keep the process alive; nothing is left for
  // Qt's teardown to do then.
  if (!LetPreparedReadsFinish(std::chrono::seconds(1))) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

}  // namespace quintarel
