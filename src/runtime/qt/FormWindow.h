#pragma once

#include <QPen>
#include <QPushButton>
#include <QWidget>
#include <map>
#include <optional>

#include "runtime/Form.h"
#include "runtime/Frame.h"
#include "runtime/Platform.h"
#include "runtime/qt/Fonts.h"

namespace quintarel::qt {

class QtPlatform;

// What painting a window needs, made once and kept: fonts, the pens of lines and
// shapes.
struct PaintResources {
  FontCache fonts;
  std::map<const rt::Control*, QPen> pens;
};

// A form's window: paints every windowless control and frame from the model,
// hosts command buttons as real push buttons, and turns mouse, close and
// activation into runtime events. The runtime does the hit-testing. Where the
// desktop draws no frames the program can rely on (native Wayland), the window
// draws the classic frame of its form itself, and the client area lies inside it.
class FormWindow : public QWidget {
 public:
  FormWindow(rt::Form& form, QtPlatform& platform, QWidget* owner);

  rt::Form& Form() const { return form_; }
  QtPlatform& Platform() const { return platform_; }
  // The real widget that shows the control (a command button), if any.
  QWidget* HostedWidget(const rt::Control& control) const;
  // The control's rectangle on the screen, in Qt's (logical) pixels.
  QRect ScreenRect(const rt::Control& control) const;
  QRect ScreenRect(rt::PixelRect client) const;
  // The runtime moved the keyboard focus: to a button, or to a painted control.
  void FocusChanged();
  // A property of the control changed (of the form, when null): repaint what
  // it covers, and bring its button up to date.
  void Refresh(const rt::Control* changed = nullptr);
  // Shows the window, in front and active, with the focus on its button.
  void ShowActive();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A point of the window in device pixels, from its own top-left (the frame's
  // when it draws one).
  rt::PixelPoint DevicePoint(const QPointF& logical) const;
  // The client area's offset in the window, in device pixels.
  rt::PixelPoint ClientOffset() const;
  rt::PixelPoint ClientPoint(rt::PixelPoint window) const;
  void PaintFrame(QPainter& painter);
  void FrameAct(rt::FrameAction action);
  void RequestClose();
  void Place();

  rt::Form& form_;
  QtPlatform& platform_;
  std::vector<std::pair<const rt::Control*, QPushButton*>> buttons_;
  PaintResources paint_;
  std::optional<rt::FrameLayout> frame_;
  rt::FrameMouse frameMouse_;
  std::optional<rt::PixelRect> focusShown_;
};

// A command button: Enter as well as Space presses it while it has the focus;
// Escape does nothing, as it is neither a default nor a cancel button.
class CommandButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quintarel::qt
