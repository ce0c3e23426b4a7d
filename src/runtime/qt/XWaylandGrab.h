#pragma once

#include <cstdint>
#include <memory>

#include "runtime/qt/CursorClip.h"

struct xcb_connection_t;

namespace quintarel::qt {

// The hold on XWayland. Pointer barriers do nothing there, since the compositor
// owns the pointer, but XWayland turns a grab confined to a window into a
// compositor pointer constraint on that window's surface. The grab confines to
// the held window's top-level X window (its frame, where a window manager
// reparents): X keeps the pointer inside it wherever the compositor moves it,
// and the compositor's constraint covers the same surface. (A grab confined to
// a window of its own at the rectangle read when the window was shown held the
// pointer where the window no longer was: compositors place a window after it
// is mapped, and the clicks that X confined there missed the window.) The grab
// is made on Qt's own connection with owner events on, so Qt's windows still
// get their input; a grab on a second connection would take it away. The
// compositor's own title bar lies outside the surface, out of reach while the
// pointer is held; a frame that a window manager draws as an X window is inside,
// but its clicks go to the grab, not to the window manager.
class XWaylandGrab : public CursorClip {
 public:
  static bool RunsOnXWayland(xcb_connection_t* connection);
  static std::unique_ptr<CursorClip> Create(xcb_connection_t* connection);
  ~XWaylandGrab() override;

 protected:
  void Apply(QWindow& window, const QRect& rect) override;
  void Unapply() override;

 private:
  XWaylandGrab(xcb_connection_t* connection, std::uint32_t root);
  std::uint32_t TopLevel(std::uint32_t window) const;
  bool Grab();
  void RetryGrab(int attemptsLeft);

  xcb_connection_t* connection_;
  std::uint32_t root_;
  std::uint32_t window_ = 0;
  bool wanted_ = false;
  bool grabbed_ = false;
  int generation_ = 0;
};

}  // namespace quintarel::qt
