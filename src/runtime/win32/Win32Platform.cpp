#include "runtime/win32/Win32Platform.h"

#include <cstdio>
#include <iterator>

#include "runtime/Runtime.h"
#include "runtime/win32/FormWindow.h"
#include "runtime/win32/MessageBox.h"

namespace quintarel::win32 {

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {}

Win32Platform::~Win32Platform() {
  // Windows still open now go with the program, not by anyone else's hand.
  tearingDown_ = true;
}

int Win32Platform::MessageBox(std::string_view prompt, int style, std::string_view title) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = MainWindow();
  return ShowMessageBox(owner, prompt, style, title);
}

void Win32Platform::ClipCursor(const rt::ClipRect* rect) {
  if (!rect) {
    clip_.reset();
    clipWindow_ = nullptr;
    holding_ = false;
    ::ClipCursor(nullptr);
    return;
  }
  clip_ = RECT{rect->left, rect->top, rect->right, rect->bottom};
  // The program holds for the window it is activating.
  const rt::Form* form = runtime_ ? runtime_->ActiveForm() : nullptr;
  const FormWindow* window = form ? WindowOf(*form) : nullptr;
  clipWindow_ = window ? window->Handle() : nullptr;
  holding_ = true;
  ApplyClip();
}

void Win32Platform::ApplyClip() const {
  const bool hold = clip_ && (!clipWindow_ || (IsWindowVisible(clipWindow_) && !IsIconic(clipWindow_)));
  // A cursor the program does not hold is not the program's to free.
  if (hold)
    ::ClipCursor(&*clip_);
  else if (holding_)
    ::ClipCursor(nullptr);
  holding_ = hold;
}

void Win32Platform::Reactivated(HWND window) const {
  if (!clip_ || window != clipWindow_) return;
  // Held already (the window's Activate handler has just held it): once is enough.
  RECT now{};
  if (holding_ && GetClipCursor(&now) && EqualRect(&now, &*clip_)) return;
  ApplyClip();
}

rt::ScreenInfo Win32Platform::Screen() const {
  rt::ScreenInfo screen;
  screen.widthPx = GetSystemMetrics(SM_CXSCREEN);
  screen.heightPx = GetSystemMetrics(SM_CYSCREEN);
  // The process is per-monitor aware, so these are the display's real pixels
  // per inch, not the 96 a legacy program is told. The system's stay the same
  // while a process runs, and a screen DC costs a trip to the window server
  // (under Wine a quarter of a millisecond, on every click): asked once.
  if (dpiX_ == 0) {
    HDC dc = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(dc, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    if (dpiX_ <= 0 || dpiY_ <= 0) dpiX_ = dpiY_ = 96;
  }
  screen.twipsPerPixelX = 1440.0f / static_cast<float>(dpiX_);
  screen.twipsPerPixelY = 1440.0f / static_cast<float>(dpiY_);
  return screen;
}

rt::PixelRect Win32Platform::OuterRect(const rt::Form& form) const {
  if (FormWindow* window = WindowOf(form)) return window->OuterRect();
  // Not shown yet: where its window would open if it were shown now. Asking
  // must not move later windows, so a copy of the placer answers.
  rt::WindowPlacer trial = placer_;
  return Placement(form, trial);
}

rt::PixelRect Win32Platform::Placement(const rt::Form& form, rt::WindowPlacer& placer) const {
  const rt::FormDesign& design = form.Design();
  const rt::ScreenInfo screen = Screen();
  const rt::FrameMargins frame = FormWindow::Frame(design);
  // The primary monitor's top-left is (0, 0) of the virtual screen.
  const rt::PixelPoint primary{};
  const rt::PixelPoint wanted = placer.Wanted(design, screen, primary);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{wanted.x, wanted.y}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const rt::PixelPoint client = placer.Place(design, screen, primary, frame,
                                             {work.left, work.top, work.right - work.left, work.bottom - work.top});
  const rt::PixelSize size = rt::ClientSize(design, screen);
  return {client.x - frame.left, client.y - frame.top, frame.left + size.width + frame.right,
          frame.top + size.height + frame.bottom};
}

void Win32Platform::ShowForm(rt::Form& form) {
  auto it = windows_.find(&form);
  if (it == windows_.end()) {
    // The first form shown is the main window; later ones are owned by it, so
    // they stay above it and share its taskbar entry.
    if (!first_) first_ = &form;
    const rt::PixelRect outer = Placement(form, placer_);
    auto window = std::make_unique<FormWindow>(*this, *runtime_, form, MainWindow(), outer);
    if (!window->Handle()) {
      // No window to show (the desktop refused one): the program ends, with a
      // failure, rather than run on with nothing a user could reach.
      std::fprintf(stderr, "quintarel: no window for %.*s (error %lu)\n", static_cast<int>(form.Design().name.size()),
                   form.Design().name.data(), static_cast<unsigned long>(window->CreateError()));
      if (&form == first_) first_ = nullptr;
      if (holding_) ClipCursor(nullptr);
      Exit(1);
      return;
    }
    it = windows_.emplace(&form, std::move(window)).first;
  }
  it->second->Show();
}

void Win32Platform::Changed(rt::Form& form, const rt::Control* control) {
  if (FormWindow* window = WindowOf(form)) window->Changed(control);
}

void Win32Platform::FocusChanged(rt::Form& form) {
  if (FormWindow* window = WindowOf(form)) window->FocusChanged();
}

void Win32Platform::Announce(rt::Form& form, std::string_view text) {
  if (FormWindow* window = WindowOf(form)) window->Announce(text);
}

void Win32Platform::Quit() { Exit(0); }

void Win32Platform::Exit(int code) {
  if (exitCode_) return;
  exitCode_ = code;
  // A window menu may be open (its loop runs the close from the taskbar): it
  // goes first, so that nothing is left on the screen of a program that ended.
  EndMenu();
  PostQuitMessage(code);
}

bool Win32Platform::PreTranslate(MSG& msg) const {
  for (const auto& [form, window] : windows_) {
    if (window->PreTranslate(msg)) return true;
  }
  return false;
}

void Win32Platform::DestroyWindows() {
  tearingDown_ = true;
  // Owned windows first, as the system would destroy them.
  for (auto it = windows_.begin(); it != windows_.end();) {
    it = it->first == first_ ? std::next(it) : windows_.erase(it);
  }
  windows_.clear();
}

HWND Win32Platform::MainWindow() const {
  FormWindow* main = first_ ? WindowOf(*first_) : nullptr;
  return main ? main->Handle() : nullptr;
}

FormWindow* Win32Platform::WindowOf(const rt::Form& form) const {
  auto it = windows_.find(&form);
  return it == windows_.end() ? nullptr : it->second.get();
}

}  // namespace quintarel::win32
