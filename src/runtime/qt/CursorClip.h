#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWindow>
#include <memory>

namespace quintarel::qt {

// Holds the pointer inside one window's outer rectangle as ClipCursor does on
// Windows: inside it everything works, the window's frame included, and other
// programs are not disturbed. How it holds depends on the session (see
// Create). While the window is hidden or iconified the hold is suspended and the
// pointer free, since a hold over nothing would trap the user; it is taken again,
// to the same rectangle, as soon as the window is visible. The program's own
// state does not change meanwhile: this is the platform's business.
class CursorClip : public QObject {
 public:
  // The hold this session can give: pointer barriers on X.Org, a confining grab
  // on XWayland (which turns it into a compositor constraint), a pointer
  // constraint on native Wayland. Null where nothing can hold the pointer.
  static std::unique_ptr<CursorClip> Create();
  ~CursorClip() override;
  CursorClip(const CursorClip&) = delete;
  CursorClip& operator=(const CursorClip&) = delete;

  // rect: the window's outer rectangle on the screen in device pixels, right and
  // bottom exclusive. A second Hold replaces the first.
  void Hold(QWindow* window, const QRect& rect);
  void Release();
  // Whether the pointer is held now (false while suspended).
  bool Holding() const { return applied_; }

 protected:
  CursorClip() = default;
  // Take the hold now, replacing any held before; let it go.
  virtual void Apply(QWindow& window, const QRect& rect) = 0;
  virtual void Unapply() = 0;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Update();
  void Watch(QWindow* window);

  QPointer<QWindow> window_;
  QRect rect_;
  bool applied_ = false;
  QMetaObject::Connection visibility_;
};

}  // namespace quintarel::qt
