#include "runtime/qt/XWaylandGrab.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>
#include <string_view>

namespace quintarel::qt {

namespace {

// A grab can fail for a moment, for example while another client holds the
// pointer; the confinement is retried for about two seconds.
constexpr int kGrabAttempts = 40;
constexpr int kGrabRetryMs = 50;

}  // namespace

bool XWaylandGrab::RunsOnXWayland(xcb_connection_t* connection) {
  // XWayland announces itself with an extension since version 23.1; before,
  // only its input devices' names tell it ("xwayland-pointer:13").
  static constexpr char kName[] = "XWAYLAND";
  xcb_query_extension_reply_t* extension =
      xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof kName - 1, kName), nullptr);
  bool found = extension && extension->present;
  std::free(extension);
  if (found) return true;
  const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection, &xcb_input_id);
  if (!xinput || !xinput->present) return false;
  xcb_input_xi_query_device_reply_t* devices =
      xcb_input_xi_query_device_reply(connection, xcb_input_xi_query_device(connection, XCB_INPUT_DEVICE_ALL), nullptr);
  if (!devices) return false;
  static constexpr std::string_view kDevice = "xwayland-";
  for (auto it = xcb_input_xi_query_device_infos_iterator(devices); it.rem && !found;
       xcb_input_xi_device_info_next(&it)) {
    const std::string_view name(xcb_input_xi_device_info_name(it.data),
                                static_cast<std::size_t>(xcb_input_xi_device_info_name_length(it.data)));
    found = name.substr(0, kDevice.size()) == kDevice;
  }
  std::free(devices);
  return found;
}

std::unique_ptr<CursorClip> XWaylandGrab::Create(xcb_connection_t* connection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return nullptr;
  return std::unique_ptr<CursorClip>(new XWaylandGrab(connection, screen->root));
}

XWaylandGrab::XWaylandGrab(xcb_connection_t* connection, std::uint32_t root) : connection_(connection), root_(root) {}

XWaylandGrab::~XWaylandGrab() { Release(); }

// The window's frame where a window manager reparented it into one, else the
// window itself: its outer rectangle, wherever the compositor moves it.
std::uint32_t XWaylandGrab::TopLevel(std::uint32_t window) const {
  while (true) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr);
    const std::uint32_t parent = tree ? tree->parent : root_;
    std::free(tree);
    if (parent == root_ || parent == XCB_NONE) return window;
    window = parent;
  }
}

void XWaylandGrab::Apply(QWindow& window, const QRect&) {
  held_ = &window;
  window_ = TopLevel(static_cast<std::uint32_t>(window.winId()));
  disconnect(active_);
  active_ = connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this] { Follow(); });
  wanted_ = true;
  Follow();
}

void XWaylandGrab::Follow() {
  ++generation_;
  // The window itself, not QWindow::isActive, which counts an owner's focus too.
  if (wanted_ && held_ && QGuiApplication::focusWindow() == held_) {
    if (!Grab()) RetryGrab(kGrabAttempts);
    return;
  }
  if (grabbed_) xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  grabbed_ = false;
  xcb_flush(connection_);
}

bool XWaylandGrab::Grab() {
  // A grab already held (another window's) is changed in place by grabbing again.
  xcb_grab_pointer_cookie_t cookie =
      xcb_grab_pointer(connection_, 1, window_, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, window_, XCB_NONE, XCB_CURRENT_TIME);
  xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(connection_, cookie, nullptr);
  grabbed_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  std::free(reply);
  return grabbed_;
}

void XWaylandGrab::RetryGrab(int attemptsLeft) {
  if (attemptsLeft <= 0) return;
  const int generation = generation_;
  QTimer::singleShot(kGrabRetryMs, this, [this, generation, attemptsLeft] {
    if (!wanted_ || generation != generation_ || grabbed_) return;
    if (!Grab()) RetryGrab(attemptsLeft - 1);
  });
}

void XWaylandGrab::Unapply() {
  wanted_ = false;
  disconnect(active_);
  held_ = nullptr;
  Follow();
}

}  // namespace quintarel::qt
