#include "runtime/web/CursorClip.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "runtime/web/FormWindow.h"
#include "runtime/web/WebPlatform.h"

namespace quintarel::web {

namespace {

// clang-format off
EM_JS(void, PageHold, (int window), { Quintarel.hold(window); });
EM_JS(void, PageHoldLater, (double ms), { Quintarel.holdLater(ms); });
EM_JS(void, PageRelease, (), { Quintarel.release(); });
EM_JS(void, PageCursor, (int x, int y, int shown), { Quintarel.drawCursor(x, y, shown); });
EM_JS(void, PageSay, (const char* text), { Quintarel.say(UTF8ToString(text)); });
EM_JS(double, PageClipRatio, (), { return Quintarel.ratio(); });
// clang-format on

constexpr const char* kFreed = "Ukazatel myši je volný (Esc). Klepnutím do okna Vyhodnocení ho okno znovu podrží.";
// The browser refuses a new lock for a while after the user frees the pointer
// (Chromium: 1.25 s after an Escape); a press in that time still holds it, once
// the time is up, rather than taking the refusal for the browser's last word.
constexpr double kRelockAfterMs = 1300;

constexpr const char* kRefused = "Prohlížeč nedovolil podržet ukazatel myši: hra pokračuje bez toho.";

}  // namespace

void CursorClip::Hold(const rt::ClipRect& rect, int window) {
  rect_ = rect;
  window_ = window;
  cursor_ = pointer_;
  Clamp();
  PageHold(window);
}

void CursorClip::Release() {
  rect_.reset();
  window_ = -1;
  locked_ = false;
  PageCursor(0, 0, 0);
  PageSay("");
  PageRelease();
}

void CursorClip::Pressed(int window) {
  if (rect_ && !locked_ && window == window_) {
    cursor_ = pointer_;
    Clamp();
    PageHold(window);
  }
}

void CursorClip::HoldAgain() { Pressed(window_); }

void CursorClip::LockChanged(int state) {
  locked_ = state == 1 && rect_.has_value();
  PageCursor(cursor_.x, cursor_.y, locked_ ? 1 : 0);
  if (!rect_) return;
  const double now = emscripten_get_now();
  if (state == 0) freedAt_ = now;
  if (state == -1 && freedAt_ && now - *freedAt_ < kRelockAfterMs) {
    PageHoldLater(kRelockAfterMs - (now - *freedAt_));
    return;
  }
  PageSay(locked_ ? "" : state == 0 ? kFreed : kRefused);
}

void CursorClip::Moved(int dx, int dy) {
  if (!locked_) return;
  const double ratio = PageClipRatio();
  cursor_.x += static_cast<int>(std::lround(dx * ratio));
  cursor_.y += static_cast<int>(std::lround(dy * ratio));
  Clamp();
  pointer_ = cursor_;
  PageCursor(cursor_.x, cursor_.y, 1);
  if (FormWindow* window = platform_.WindowAt(cursor_)) {
    const rt::PixelRect outer = window->OuterRect();
    window->MouseMove({cursor_.x - outer.left, cursor_.y - outer.top});
  }
}

void CursorClip::Button(bool down) {
  if (!locked_) return;
  FormWindow* window = platform_.WindowAt(cursor_);
  if (!window) return;
  const rt::PixelRect outer = window->OuterRect();
  const rt::PixelPoint at{cursor_.x - outer.left, cursor_.y - outer.top};
  if (down)
    window->MouseDown(at);
  else
    window->MouseUp(at);
}

void CursorClip::Clamp() {
  if (!rect_) return;
  // As ClipCursor: the right and bottom edges are outside.
  cursor_.x = std::clamp(cursor_.x, rect_->left, std::max(rect_->left, rect_->right - 1));
  cursor_.y = std::clamp(cursor_.y, rect_->top, std::max(rect_->top, rect_->bottom - 1));
}

}  // namespace quintarel::web
