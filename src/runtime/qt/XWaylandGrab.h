#pragma once

#include <cstdint>
#include <memory>

#include "runtime/qt/CursorClip.h"

struct xcb_connection_t;

namespace quintarel::qt {

// The hold on XWayland. Pointer barriers do nothing there, since the compositor
// owns the pointer, but XWayland turns a grab confined to a window into a
// compositor pointer constraint. X only confines to a window, so an
// override-redirect InputOnly window is mapped at the rectangle, stacked below
// everything (above the program's windows it would swallow their clicks), and
// the pointer is grabbed with it as confine_to and owner events on, so the
// program's windows still get their input. The grab is made on Qt's own
// connection: a grab on a second connection would take the clicks away from
// Qt's windows. Clicks on the compositor's decorations never go through X.
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
