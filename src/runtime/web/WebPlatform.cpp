#include "runtime/web/WebPlatform.h"

#include <emscripten.h>

#include <algorithm>
#include <string>

#include "runtime/web/CursorClip.h"
#include "runtime/web/FormWindow.h"
#include "runtime/web/MessageBox.h"

namespace quintarel::web {

namespace {

// clang-format off
EM_JS(int, PageScreenWidth, (), { return Quintarel.screenSize()[0]; });
EM_JS(int, PageScreenHeight, (), { return Quintarel.screenSize()[1]; });
EM_JS(double, PageScreenRatio, (), { return Quintarel.ratio(); });
EM_JS(void, PageExtend, (int width, int height), { Quintarel.extend(width, height); });
EM_JS(void, PageRaise, (int id, int focus), { Quintarel.raise(id, focus); });
EM_JS(void, PageAnnounce, (const char* text), { Quintarel.announce(UTF8ToString(text)); });
EM_JS(void, PageEnded, (), { Quintarel.ended(); });
// clang-format on

// The page's screen never ends before the windows' designed places: a smaller
// page scrolls to them instead of moving them.
constexpr int kUnbounded = 1 << 20;

}  // namespace

WebPlatform::WebPlatform() : clip_(std::make_unique<CursorClip>(*this)) {}

WebPlatform::~WebPlatform() = default;

int WebPlatform::MessageBox(std::string_view prompt, int style, std::string_view title) {
  PaintMarked();
  return ShowMessageBox(prompt, style, title);
}

void WebPlatform::Mark(FormWindow& window) {
  if (std::find(marked_.begin(), marked_.end(), &window) == marked_.end()) marked_.push_back(&window);
}

void WebPlatform::PaintMarked() {
  std::vector<FormWindow*> marked;
  marked.swap(marked_);
  if (ended_) return;
  for (FormWindow* window : marked) window->PaintNow();
}

void WebPlatform::ClipCursor(const rt::ClipRect* rect) {
  if (!rect) {
    clip_->Release();
    return;
  }
  // The program holds for the window it is activating.
  const rt::Form* form = runtime_ ? runtime_->ActiveForm() : nullptr;
  const FormWindow* window = form ? WindowFor(*form) : nullptr;
  clip_->Hold(*rect, window ? window->Id() : -1);
}

rt::ScreenInfo WebPlatform::Screen() const {
  // Asked for at every step of a paint; the page says when it changes.
  if (screen_) return *screen_;
  rt::ScreenInfo& screen = screen_.emplace();
  screen.widthPx = PageScreenWidth();
  screen.heightPx = PageScreenHeight();
  // Twips stay 1440 to the inch of the page's CSS pixels, 96 to the inch.
  const auto twips = static_cast<float>(15.0 / PageScreenRatio());
  screen.twipsPerPixelX = screen.twipsPerPixelY = twips;
  return screen;
}

void WebPlatform::ScreenChanged() { screen_.reset(); }

rt::PixelRect WebPlatform::OuterRect(const rt::Form& form) const {
  const FormWindow* window = WindowFor(form);
  return window ? window->OuterRect() : rt::PixelRect{};
}

void WebPlatform::ShowForm(rt::Form& form) {
  FormWindow* window = WindowFor(form);
  if (!window) {
    const rt::ScreenInfo screen = Screen();
    const rt::FrameLayout frame = rt::LayOutFrame(form.Design(), screen);
    const rt::FrameMargins margins{frame.client.left, frame.client.top,
                                   frame.outer.width - frame.client.left - frame.client.width,
                                   frame.outer.height - frame.client.top - frame.client.height};
    const rt::PixelPoint origin = placer_.Place(form.Design(), screen, {0, 0}, margins, {0, 0, kUnbounded, kUnbounded});
    windows_.push_back(std::make_unique<FormWindow>(static_cast<int>(windows_.size()), form, *this, origin));
    window = windows_.back().get();
    stacking_.push_back(window);
    ExtendScreen();
  }
  window->Show();
  Activate(*window);
}

void WebPlatform::Changed(rt::Form& form, const rt::Control* control) {
  if (FormWindow* window = WindowFor(form)) window->Refresh(control);
}

void WebPlatform::FocusChanged(rt::Form& form) {
  if (FormWindow* window = WindowFor(form)) window->FocusChanged();
}

void WebPlatform::Announce(rt::Form&, std::string_view text) { PageAnnounce(std::string(text).c_str()); }

void WebPlatform::Quit() {
  if (ended_) return;
  ended_ = true;
  clip_->Release();
  PageEnded();
}

FormWindow* WebPlatform::Window(int id) const {
  return id >= 0 && id < static_cast<int>(windows_.size()) ? windows_[static_cast<std::size_t>(id)].get() : nullptr;
}

void WebPlatform::Activate(FormWindow& window) {
  if (ended_) return;
  stacking_.erase(std::remove(stacking_.begin(), stacking_.end(), &window), stacking_.end());
  stacking_.push_back(&window);
  PageRaise(window.Id(), 1);
  if (active_ == &window) return;
  FormWindow* before = active_;
  active_ = &window;
  // The title bars show which window is the active one.
  if (before) before->Paint();
  window.Paint();
  if (runtime_) runtime_->Activated(window.Form());
}

FormWindow* WebPlatform::WindowAt(rt::PixelPoint screen) const {
  for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it)
    if ((*it)->Shown() && (*it)->OuterRect().Contains(screen)) return *it;
  return nullptr;
}

FormWindow* WebPlatform::WindowFor(const rt::Form& form) const {
  for (const auto& window : windows_)
    if (&window->Form() == &form) return window.get();
  return nullptr;
}

void WebPlatform::ExtendScreen() const {
  int right = 0, bottom = 0;
  for (const auto& window : windows_) {
    const rt::PixelRect r = window->OuterRect();
    right = std::max(right, r.left + r.width);
    bottom = std::max(bottom, r.top + r.height);
  }
  PageExtend(right, bottom);
}

}  // namespace quintarel::web
