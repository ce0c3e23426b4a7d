#pragma once

#include <optional>

#include "runtime/Platform.h"

namespace quintarel::web {

class WebPlatform;

// ClipCursor in a page: the page takes the pointer (Pointer Lock) and draws its
// own cursor, moved by the mouse's motion and kept inside the rectangle; a
// press lands where that cursor is. The browser frees the pointer on Escape,
// always: the hold is then off until a press on the window that asked for it.
// Where the browser refuses the lock the game plays on unheld and says so.
class CursorClip {
 public:
  explicit CursorClip(WebPlatform& platform) : platform_(platform) {}

  void Hold(const rt::ClipRect& rect, int window);
  void Release();
  // The window that asked for the hold was pressed: held again after an Escape.
  void Pressed(int window);
  // A press the browser refused just after the user freed the pointer, asked again.
  void HoldAgain();
  // The real pointer's last place on the screen, in device pixels.
  void PointerAt(rt::PixelPoint screen) { pointer_ = screen; }

  // From the page.
  void LockChanged(int state);  // 1 held, 0 freed, -1 refused
  void Moved(int dx, int dy);   // CSS pixels of motion while held
  void Button(bool down);

  bool Held() const { return locked_; }
  rt::PixelPoint Cursor() const { return cursor_; }

 private:
  void Clamp();

  WebPlatform& platform_;
  std::optional<rt::ClipRect> rect_;
  int window_ = -1;
  bool locked_ = false;
  std::optional<double> freedAt_;  // when the user last freed a hold, page time in ms
  rt::PixelPoint pointer_;
  rt::PixelPoint cursor_;
};

}  // namespace quintarel::web
