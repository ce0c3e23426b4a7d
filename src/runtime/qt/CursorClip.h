#pragma once

#include <QRect>
#include <cstdint>

struct xcb_connection_t;

namespace quintarel::qt {

// Confines the X11 pointer to an arbitrary rectangle of the screen, in device
// pixels. X only confines to a window, so an override-redirect InputOnly window
// is mapped at the rectangle, stacked below everything (above the program's
// windows it would swallow their clicks), and the pointer is grabbed with it as
// confine_to and owner events on, so the program's windows still get their
// input. The grab is made on Qt's own connection: a grab on a second connection
// would take the clicks away from Qt's windows. Pointer barriers would not do:
// absolute XTest motion and warps pass them.
class CursorClip {
 public:
  // Null when the program does not run on X11: confining is then not possible.
  static CursorClip* Create();
  ~CursorClip();
  CursorClip(const CursorClip&) = delete;
  CursorClip& operator=(const CursorClip&) = delete;

  void Confine(const QRect& rect);
  void Release();
  bool Confined() const { return grabbed_; }

 private:
  CursorClip(xcb_connection_t* connection, std::uint32_t root);
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
