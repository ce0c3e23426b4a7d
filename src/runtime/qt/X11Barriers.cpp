#include "runtime/qt/X11Barriers.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <cstdlib>

namespace quintarel::qt {

namespace {

// A warp by another program makes no motion event: how often the pointer is
// looked at while held. Nothing is polled while the pointer is free.
constexpr int kPollMs = 15;

template <typename Reply>
struct Freed {
  Reply* reply;
  ~Freed() { std::free(reply); }
  Reply* operator->() const { return reply; }
  explicit operator bool() const { return reply != nullptr; }
};

std::uint16_t Coordinate(int value) { return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)); }

}  // namespace

std::unique_ptr<CursorClip> X11Barriers::Create() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return nullptr;
  }
  const Freed<xcb_xfixes_query_version_reply_t> fixes{
      xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 5, 0), nullptr)};
  const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection, &xcb_input_id);
  const Freed<xcb_input_xi_query_version_reply_t> xi2{
      xinput && xinput->present
          ? xcb_input_xi_query_version_reply(connection, xcb_input_xi_query_version(connection, 2, 2), nullptr)
          : nullptr};
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!fixes || fixes->major_version < 5 || !xi2 || xi2->major_version < 2 || !screen) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::unique_ptr<CursorClip>(new X11Barriers(connection, screen->root, xinput->major_opcode));
}

X11Barriers::X11Barriers(xcb_connection_t* connection, std::uint32_t root, std::uint8_t xinputOpcode)
    : connection_(connection), root_(root), xinputOpcode_(xinputOpcode) {
  notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadEvents(); });
  poll_.setInterval(kPollMs);
  QObject::connect(&poll_, &QTimer::timeout, this, [this] { PullBack(); });
}

X11Barriers::~X11Barriers() {
  Release();
  notifier_.reset();
  xcb_disconnect(connection_);
}

void X11Barriers::Apply(QWindow&, const QRect& rect) {
  rect_ = rect;
  const int left = rect.x(), top = rect.y();
  const int right = rect.x() + rect.width(), bottom = rect.y() + rect.height();
  // Each barrier runs past the rectangle's corners, so that a diagonal jump at a
  // corner meets the next one too. A barrier stops motion towards it on the far
  // side of its line: at left and top on the line, at right and bottom one
  // pixel short of it, which is the last pixel inside.
  const int x0 = std::min(left, 0) - 1, x1 = std::max(right, 0xFFFF);
  const int y0 = std::min(top, 0) - 1, y1 = std::max(bottom, 0xFFFF);
  struct Edge {
    int x1, y1, x2, y2;
    std::uint32_t passes;
  };
  const Edge edges[] = {
      {left, y0, left, y1, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_X},
      {right, y0, right, y1, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_X},
      {x0, top, x1, top, XCB_XFIXES_BARRIER_DIRECTIONS_POSITIVE_Y},
      {x0, bottom, x1, bottom, XCB_XFIXES_BARRIER_DIRECTIONS_NEGATIVE_Y},
  };
  for (std::size_t i = 0; i < barriers_.size(); ++i) {
    const Edge& e = edges[i];
    barriers_[i] = xcb_generate_id(connection_);
    xcb_xfixes_create_pointer_barrier(connection_, barriers_[i], root_, Coordinate(e.x1), Coordinate(e.y1),
                                      Coordinate(e.x2), Coordinate(e.y2), e.passes, 0, nullptr);
  }
  SelectRawMotion(true);
  held_ = true;
  poll_.start();
  // Like ClipCursor, a hold taken while the pointer is outside brings it in.
  PullBack();
}

void X11Barriers::Unapply() {
  held_ = false;
  poll_.stop();
  SelectRawMotion(false);
  for (std::uint32_t& barrier : barriers_) {
    if (barrier) xcb_xfixes_delete_pointer_barrier(connection_, barrier);
    barrier = 0;
  }
  xcb_flush(connection_);
}

void X11Barriers::SelectRawMotion(bool on) {
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_MOTION} : 0u};
  xcb_input_xi_select_events(connection_, root_, 1, &mask.head);
  xcb_flush(connection_);
}

void X11Barriers::ReadEvents() {
  bool moved = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if ((event->response_type & 0x7F) == XCB_GE_GENERIC) {
      const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
      moved |= generic->extension == xinputOpcode_ && generic->event_type == XCB_INPUT_RAW_MOTION;
    }
    std::free(event);
  }
  // Raw motion is reported before the pointer has moved: look once the server
  // has processed it, on the next turn of the event loop.
  if (moved && held_) QTimer::singleShot(0, this, [this] { PullBack(); });
}

void X11Barriers::PullBack() {
  if (!held_) return;
  const Freed<xcb_query_pointer_reply_t> pointer{
      xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr)};
  if (!pointer || !pointer->same_screen) return;
  const int x = std::clamp<int>(pointer->root_x, rect_.left(), rect_.left() + rect_.width() - 1);
  const int y = std::clamp<int>(pointer->root_y, rect_.top(), rect_.top() + rect_.height() - 1);
  if (x == pointer->root_x && y == pointer->root_y) return;
  xcb_warp_pointer(connection_, XCB_NONE, root_, 0, 0, 0, 0, static_cast<std::int16_t>(x),
                   static_cast<std::int16_t>(y));
  xcb_flush(connection_);
}

}  // namespace quintarel::qt
