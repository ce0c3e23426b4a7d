#include "runtime/qt/QtPlatform.h"

#include <qpa/qplatformscreen.h>
#include <qpa/qplatformwindow.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "runtime/Form.h"
#include "runtime/Geometry.h"
#include "runtime/qt/Accessible.h"
#include "runtime/qt/CursorClip.h"
#include "runtime/qt/FormWindow.h"
#include "runtime/qt/MessageBox.h"

namespace quintarel::qt {

namespace {

constexpr double kTwipsPerInch = 1440.0;

int Device(double logical, double ratio) { return static_cast<int>(std::lround(logical * ratio)); }

}  // namespace

// Another X client may destroy a window of the program (`xdotool windowclose`
// does): without this the program would run on with no window, or hold the
// pointer over nothing.
class DestroyWatch : public QAbstractNativeEventFilter {
 public:
  explicit DestroyWatch(QtPlatform& platform) : platform_(platform) {}
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY)
      platform_.WindowDestroyed(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
    return false;
  }

 private:
  QtPlatform& platform_;
};

QtPlatform::QtPlatform() : destroyWatch_(std::make_unique<DestroyWatch>(*this)) {
  QCoreApplication::instance()->installNativeEventFilter(destroyWatch_.get());
}

QtPlatform::~QtPlatform() {
  QCoreApplication::instance()->removeNativeEventFilter(destroyWatch_.get());
  clip_.reset();
  // Owned windows go before their owner.
  while (!windows_.empty()) windows_.pop_back();
}

double QtPlatform::DevicePixelRatio() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

rt::ScreenInfo QtPlatform::Screen() const {
  rt::ScreenInfo info;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return info;
  const double ratio = screen->devicePixelRatio();
  const QRect geometry = screen->geometry();
  info.widthPx = Device(geometry.width(), ratio);
  info.heightPx = Device(geometry.height(), ratio);
  // Qt's logical pixels are those of a 96 dpi desktop scaled by the ratio, so a
  // device pixel is 1440 / (96 * ratio) twips: 15 at 96 dpi, 7.5 at twice that.
  info.twipsPerPixelX = static_cast<float>(kTwipsPerInch / (screen->logicalDotsPerInchX() * ratio));
  info.twipsPerPixelY = static_cast<float>(kTwipsPerInch / (screen->logicalDotsPerInchY() * ratio));
  return info;
}

bool QtPlatform::DrawsFrames() const { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

FormWindow* QtPlatform::WindowFor(const rt::Form& form) const {
  for (const auto& window : windows_)
    if (&window->Form() == &form) return window.get();
  return nullptr;
}

std::vector<rt::Form*> QtPlatform::ShownForms() const {
  std::vector<rt::Form*> forms;
  for (const auto& window : windows_) forms.push_back(&window->Form());
  return forms;
}

int QtPlatform::MessageBox(std::string_view prompt, int style, std::string_view title) {
  QWidget* owner = QApplication::activeWindow();
  if (!owner && !windows_.empty()) owner = windows_.front().get();
  return ShowMessageBox(owner, prompt, style, title);
}

void QtPlatform::ClipCursor(const rt::ClipRect* rect) {
  if (!clipChecked_) {
    clipChecked_ = true;
    clip_ = CursorClip::Create();
  }
  if (!clip_) return;  // nothing in this session can hold the pointer
  if (!rect) {
    clip_->Release();
    return;
  }
  // The program confines to the window it is activating; the hold follows that
  // window's visibility.
  const rt::Form* form = runtime_ ? runtime_->ActiveForm() : nullptr;
  FormWindow* window = form ? WindowFor(*form) : nullptr;
  clip_->Hold(
      window ? window->windowHandle() : nullptr,
      QRect(rect->left, rect->top, std::max(1, rect->right - rect->left), std::max(1, rect->bottom - rect->top)));
}

rt::PixelRect QtPlatform::OuterRect(const rt::Form& form) const {
  const FormWindow* window = WindowFor(form);
  if (!window) {
    const rt::ScreenInfo screen = Screen();
    const rt::PixelPoint origin = rt::ClientOrigin(form.Design(), screen);
    const rt::PixelSize size = rt::ClientSize(form.Design(), screen);
    return {origin.x, origin.y, size.width, size.height};
  }
  // The platform window's own geometry is in device pixels: converting Qt's
  // logical rectangle back would be a pixel off at fractional scales.
  const QPlatformWindow* native = window->windowHandle() ? window->windowHandle()->handle() : nullptr;
  if (!native) {
    const double ratio = DevicePixelRatio();
    const QRect frame = window->frameGeometry();
    const int left = Device(frame.left(), ratio), top = Device(frame.top(), ratio);
    return {left, top, Device(frame.left() + frame.width(), ratio) - left,
            Device(frame.top() + frame.height(), ratio) - top};
  }
  const QRect client = native->geometry();
  const QMargins frame = native->frameMargins();
  return {client.left() - frame.left(), client.top() - frame.top(), client.width() + frame.left() + frame.right(),
          client.height() + frame.top() + frame.bottom()};
}

void QtPlatform::ShowForm(rt::Form& form) {
  FormWindow* window = WindowFor(form);
  if (!window) {
    // Later windows are owned by the first (the startup form's): modeless, but
    // kept over it and without a taskbar entry of their own.
    QWidget* owner = windows_.empty() ? nullptr : windows_.front().get();
    windows_.push_back(std::make_unique<FormWindow>(form, *this, owner));
    window = windows_.back().get();
  }
  window->ShowActive();
}

void QtPlatform::Changed(rt::Form& form, const rt::Control* control) {
  if (FormWindow* window = WindowFor(form)) window->Refresh(control);
}

void QtPlatform::FocusChanged(rt::Form& form) {
  if (FormWindow* window = WindowFor(form)) window->FocusChanged();
}

void QtPlatform::Announce(rt::Form& form, std::string_view text) {
  if (FormWindow* window = WindowFor(form)) AccessibleAnnounce(*window, std::string(text));
}

rt::PixelPoint QtPlatform::Place(const rt::FormDesign& design) {
  const rt::ScreenInfo info = Screen();
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary || !primary->handle()) return rt::ClientOrigin(design, info);
  // The platform screens' geometry is in device pixels, like the runtime's.
  const QRect primaryRect = primary->handle()->geometry();
  const rt::PixelPoint origin{primaryRect.x(), primaryRect.y()};
  const rt::PixelPoint wanted = placer_.Wanted(design, info, origin);
  const QScreen* target = primary;
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->handle() && screen->handle()->geometry().contains(QPoint(wanted.x, wanted.y))) target = screen;
  const QRect area = target->handle()->availableGeometry();
  // The frame is the window manager's, known only once the window is mapped.
  return placer_.Place(design, info, origin, {}, {area.x(), area.y(), area.width(), area.height()});
}

void QtPlatform::WindowDestroyed(std::uintptr_t nativeId) {
  for (const auto& window : windows_) {
    if (window->internalWinId() != nativeId) continue;
    // Not from inside Qt's event dispatch: the program may end there.
    rt::Form* form = &window->Form();
    QTimer::singleShot(0, qApp, [this, form] {
      if (runtime_) runtime_->Closing(*form, rt::unload::FormControlMenu);
    });
  }
}

void QtPlatform::Quit() {
  quit_ = true;
  if (clip_) clip_->Release();
  for (const auto& window : windows_) window->hide();
  QCoreApplication::exit(0);
}

}  // namespace quintarel::qt
