#pragma once

#include <QRect>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>

#include "runtime/qt/CursorClip.h"

struct xcb_connection_t;

namespace quintarel::qt {

// The hold on X.Org, without any grab: XFixes pointer barriers along the four
// edges stop a mouse's relative motion there, while everything inside (the
// window manager's frame, close box and title bar included) works as usual and
// other programs can still grab the pointer. What barriers do not stop, the
// motion of absolute devices and other programs' warps, is pulled back to the
// nearest point inside: raw motion is watched while held, and since a warp makes
// none, the pointer's position is also polled briefly. Everything runs on a
// connection of its own, so Qt's event handling never sees any of it.
class X11Barriers : public CursorClip {
 public:
  // Null where the server lacks pointer barriers (XFixes 5) or XInput 2.
  static std::unique_ptr<CursorClip> Create();
  ~X11Barriers() override;

 protected:
  void Apply(QWindow& window, const QRect& rect) override;
  void Unapply() override;

 private:
  X11Barriers(xcb_connection_t* connection, std::uint32_t root, std::uint8_t xinputOpcode);
  void SelectRawMotion(bool on);
  void ReadEvents();
  void PullBack();

  xcb_connection_t* connection_;
  std::uint32_t root_;
  std::uint8_t xinputOpcode_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer poll_;
  QRect rect_;
  std::array<std::uint32_t, 4> barriers_{};
  bool held_ = false;
};

}  // namespace quintarel::qt
