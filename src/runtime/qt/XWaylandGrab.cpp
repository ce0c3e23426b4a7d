#include "runtime/qt/XWaylandGrab.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QTimer>
#include <cstdlib>

namespace quintarel::qt {

namespace {

// A grab can fail for a moment, for example while another client holds the
// pointer; the confinement is retried for about two seconds.
constexpr int kGrabAttempts = 40;
constexpr int kGrabRetryMs = 50;

}  // namespace

bool XWaylandGrab::RunsOnXWayland(xcb_connection_t* connection) {
  static constexpr char kName[] = "XWAYLAND";
  xcb_query_extension_reply_t* reply =
      xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof kName - 1, kName), nullptr);
  const bool present = reply && reply->present;
  std::free(reply);
  return present;
}

std::unique_ptr<CursorClip> XWaylandGrab::Create(xcb_connection_t* connection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return nullptr;
  return std::unique_ptr<CursorClip>(new XWaylandGrab(connection, screen->root));
}

XWaylandGrab::XWaylandGrab(xcb_connection_t* connection, std::uint32_t root) : connection_(connection), root_(root) {}

XWaylandGrab::~XWaylandGrab() {
  Release();
  if (window_) {
    xcb_destroy_window(connection_, window_);
    xcb_flush(connection_);
  }
}

void XWaylandGrab::Apply(QWindow&, const QRect& rect) {
  const std::int16_t x = static_cast<std::int16_t>(rect.x());
  const std::int16_t y = static_cast<std::int16_t>(rect.y());
  const std::uint16_t width = static_cast<std::uint16_t>(rect.width() > 0 ? rect.width() : 1);
  const std::uint16_t height = static_cast<std::uint16_t>(rect.height() > 0 ? rect.height() : 1);
  if (!window_) {
    window_ = xcb_generate_id(connection_);
    const std::uint32_t overrideRedirect = 1;
    xcb_create_window(connection_, 0, window_, root_, x, y, width, height, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
  }
  const std::uint32_t geometry[] = {static_cast<std::uint32_t>(static_cast<std::int32_t>(x)),
                                    static_cast<std::uint32_t>(static_cast<std::int32_t>(y)), width, height,
                                    XCB_STACK_MODE_BELOW};
  xcb_configure_window(connection_, window_,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT |
                           XCB_CONFIG_WINDOW_STACK_MODE,
                       geometry);
  xcb_map_window(connection_, window_);
  // Mapping may have raised it; it must lie below the program's windows.
  const std::uint32_t below = XCB_STACK_MODE_BELOW;
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &below);
  wanted_ = true;
  ++generation_;
  if (!Grab()) RetryGrab(kGrabAttempts);
}

bool XWaylandGrab::Grab() {
  // The new rectangle replaces the old one: a grab already held is changed in
  // place by grabbing again with the moved window.
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
  QTimer::singleShot(kGrabRetryMs, qGuiApp, [this, generation, attemptsLeft] {
    if (!wanted_ || generation != generation_ || grabbed_) return;
    if (!Grab()) RetryGrab(attemptsLeft - 1);
  });
}

void XWaylandGrab::Unapply() {
  wanted_ = false;
  ++generation_;
  if (grabbed_) xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  grabbed_ = false;
  if (window_) xcb_unmap_window(connection_, window_);
  xcb_flush(connection_);
}

}  // namespace quintarel::qt
