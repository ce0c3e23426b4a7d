#pragma once

#include <cstdint>
#include <memory>

#include "runtime/qt/CursorClip.h"

struct xcb_connection_t;

namespace quintarel::qt {

// The hold on XWayland. Pointer barriers do nothing there, since the compositor
// owns the pointer, but XWayland turns a grab confined to a window into a
// compositor pointer constraint on that window's surface. The grab confines to
// the held window's own top-level X window (its frame, where a window manager
// reparents), not to a rectangle: the compositor places a window after mapping
// it, and X keeps the pointer inside the window wherever it is, where the
// compositor's constraint holds it too. The grab is made on Qt's own connection
// with owner events on, so Qt's windows still get their input; a grab on a
// second connection would take it away. The compositor's title bar lies outside
// the surface, out of reach while held; a frame that a window manager draws as
// an X window is inside, but its clicks go to the grab. The compositor enforces
// its constraint only while the window has its focus, and X grabs only then
// too: else X would keep the clicks in a window that is hidden or behind
// another while the compositor shows the pointer free.
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
  // Grabs while the held window has the focus, lets go otherwise.
  void Follow();
  bool Grab();
  void RetryGrab(int attemptsLeft);

  xcb_connection_t* connection_;
  std::uint32_t root_;
  QPointer<QWindow> held_;
  QMetaObject::Connection active_;
  std::uint32_t window_ = 0;
  bool wanted_ = false;
  bool grabbed_ = false;
  int generation_ = 0;
};

}  // namespace quintarel::qt
