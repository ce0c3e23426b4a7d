#include "runtime/qt/CursorClip.h"

#include <QEvent>
#include <QGuiApplication>

#include "runtime/qt/WaylandConstraint.h"
#include "runtime/qt/X11Barriers.h"
#include "runtime/qt/XWaylandGrab.h"

namespace quintarel::qt {

std::unique_ptr<CursorClip> CursorClip::Create() {
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return WaylandConstraint::Create();
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 && x11->connection()) {
    // XWayland ignores pointer barriers (the compositor owns the pointer) but
    // turns a confining grab into a real pointer constraint.
    if (XWaylandGrab::RunsOnXWayland(x11->connection())) return XWaylandGrab::Create(x11->connection());
    return X11Barriers::Create();
  }
  return nullptr;
}

CursorClip::~CursorClip() = default;

void CursorClip::Hold(QWindow* window, const QRect& rect) {
  Watch(window);
  rect_ = rect;
  if (applied_) {
    Unapply();
    applied_ = false;
  }
  Update();
}

void CursorClip::Release() {
  Watch(nullptr);
  if (applied_) Unapply();
  applied_ = false;
}

void CursorClip::Watch(QWindow* window) {
  if (window_ == window) return;
  if (window_) window_->removeEventFilter(this);
  disconnect(visibility_);
  window_ = window;
  if (!window) return;
  window->installEventFilter(this);
  visibility_ = connect(window, &QWindow::visibilityChanged, this, [this] { Update(); });
}

bool CursorClip::eventFilter(QObject* watched, QEvent* event) {
  // Qt marks the window exposed or not before it delivers the event.
  if (watched == window_ && (event->type() == QEvent::Expose || event->type() == QEvent::Hide)) Update();
  return QObject::eventFilter(watched, event);
}

void CursorClip::Update() {
  const bool visible =
      window_ && window_->isVisible() && window_->isExposed() && !(window_->windowStates() & Qt::WindowMinimized);
  if (visible && !applied_) {
    Apply(*window_, rect_);
    applied_ = true;
  } else if (!visible && applied_) {
    Unapply();
    applied_ = false;
  }
}

}  // namespace quintarel::qt
