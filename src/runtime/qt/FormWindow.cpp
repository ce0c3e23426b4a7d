#include "runtime/qt/FormWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <optional>

#include "app/Icon.h"
#include "runtime/Accessible.h"
#include "runtime/Color.h"
#include "runtime/Control.h"
#include "runtime/Geometry.h"
#include "runtime/Runtime.h"
#include "runtime/qt/Accessible.h"
#include "runtime/qt/Fonts.h"
#include "runtime/qt/QtPlatform.h"

namespace quintarel::qt {

namespace {

using rt::ControlKind;

constexpr QColor kShadow{128, 128, 128};
constexpr QColor kHighlight{255, 255, 255};
// How long showing a window waits for the window manager to map it.
constexpr int kMapWaitMs = 1000;
constexpr int kCloseRetryMs = 10;

// How many windows are being shown just now.
int showingNow = 0;

struct ShowingScope {
  ShowingScope() { ++showingNow; }
  ~ShowingScope() { --showingNow; }
  ShowingScope(const ShowingScope&) = delete;
  ShowingScope& operator=(const ShowingScope&) = delete;
};

// Space between a frame's left edge and its title, in pixels at 96 dpi.
constexpr int kFrameTitleIndent = 8;

QColor ToQColor(rt::Color color) {
  const rt::Rgb rgb = rt::ResolveColor(color);
  return {rgb.r, rgb.g, rgb.b};
}

QRect ToQRect(const rt::PixelRect& r) { return {r.left, r.top, r.width, r.height}; }

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// xkb key codes (X11 and Wayland) of the top row's 1 to 7, AE01 to AE07: where a
// layout puts letters there (Czech gives digits only with Shift), the key
// position still says which digit was meant.
constexpr quint32 kTopRowOne = 10;
constexpr quint32 kTopRowSeven = 16;

std::optional<rt::Key> KeyOf(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_1 && key <= Qt::Key_7) return static_cast<rt::Key>(key - Qt::Key_0);
  if (key == Qt::Key_Return || key == Qt::Key_Enter) return rt::Key::Enter;
  if (key == Qt::Key_Space) return rt::Key::Space;
  if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return rt::Key::Tab;
  if (key == Qt::Key_Left) return rt::Key::Left;
  if (key == Qt::Key_Right) return rt::Key::Right;
  if (key == Qt::Key_Up) return rt::Key::Up;
  if (key == Qt::Key_Down) return rt::Key::Down;
  const quint32 code = event.nativeScanCode();
  const QString platform = QGuiApplication::platformName();
  if ((platform == QLatin1String("xcb") || platform == QLatin1String("wayland")) && code >= kTopRowOne &&
      code <= kTopRowSeven)
    return static_cast<rt::Key>(code - kTopRowOne + 1);
  return std::nullopt;
}

int ModifiersOf(Qt::KeyboardModifiers held) {
  int modifiers = 0;
  if (held & Qt::ShiftModifier) modifiers |= rt::keymod::Shift;
  if (held & Qt::ControlModifier) modifiers |= rt::keymod::Control;
  if (held & Qt::AltModifier) modifiers |= rt::keymod::Alt;
  if (held & Qt::MetaModifier) modifiers |= rt::keymod::System;
  return modifiers;
}

QImage IconPicture() {
  const quintarel::IconImage icon = ProgramIcon();
  QImage image(icon.width, icon.height, QImage::Format_ARGB32);
  for (int y = 0; y < icon.height; ++y)
    for (int x = 0; x < icon.width; ++x) image.setPixel(x, y, icon.argb[static_cast<std::size_t>(y * icon.width + x)]);
  return image;
}

// Device pixels to Qt's logical ones, rounded outwards.
QRect Logical(const rt::PixelRect& r, double ratio) {
  const int left = static_cast<int>(std::floor(r.left / ratio)), top = static_cast<int>(std::floor(r.top / ratio));
  return {left, top, static_cast<int>(std::ceil((r.left + r.width) / ratio)) - left,
          static_cast<int>(std::ceil((r.top + r.height) / ratio)) - top};
}

rt::PixelRect Device(const QRect& r, double ratio) {
  const int left = static_cast<int>(std::floor(r.left() * ratio)), top = static_cast<int>(std::floor(r.top() * ratio));
  return {left, top, static_cast<int>(std::ceil((r.left() + r.width()) * ratio)) - left,
          static_cast<int>(std::ceil((r.top() + r.height()) * ratio)) - top};
}

// Paints in device pixels, the unit the runtime's geometry is given in, only the
// controls that meet the dirty rectangles (the painter is clipped to them).
class Canvas {
 public:
  Canvas(QPainter& painter, const rt::ScreenInfo& screen, double ratio, std::vector<rt::PixelRect> dirty,
         PaintResources& resources)
      : p_(painter),
        screen_(screen),
        ratio_(ratio),
        unit_(std::max(1, static_cast<int>(std::lround(ratio)))),
        dirty_(std::move(dirty)),
        resources_(resources) {}

  void Container(const rt::Form& form, const rt::Control* container) {
    const std::vector<rt::Control*> children = form.Children(container);
    // Back to front: windowless controls first, then the windowed ones, which
    // lie over all of them. Buttons are real widgets and paint themselves.
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (!(*it)->Windowed() && Dirty(**it)) Control(**it);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if ((*it)->Kind() == ControlKind::Frame && (*it)->Visible() && Dirty(**it)) Frame(form, **it);
  }

 private:
  bool Dirty(const rt::Control& c) const {
    const rt::PixelRect painted = rt::PaintRect(c, screen_);
    return std::any_of(dirty_.begin(), dirty_.end(), [&](const rt::PixelRect& r) { return rt::Overlap(r, painted); });
  }

  void Control(const rt::Control& c) {
    if (!c.Visible()) return;
    switch (c.Kind()) {
      case ControlKind::Label:
        Label(c);
        break;
      case ControlKind::Line:
        Line(c);
        break;
      case ControlKind::Shape:
        Shape(c);
        break;
      case ControlKind::Image:
        Image(c);
        break;
      case ControlKind::Frame:
      case ControlKind::CommandButton:
        break;
    }
  }

  void Box(const QRect& r, const QColor& color, int thickness) {
    p_.fillRect(QRect(r.left(), r.top(), r.width(), thickness), color);
    p_.fillRect(QRect(r.left(), r.bottom() - thickness + 1, r.width(), thickness), color);
    p_.fillRect(QRect(r.left(), r.top(), thickness, r.height()), color);
    p_.fillRect(QRect(r.right() - thickness + 1, r.top(), thickness, r.height()), color);
  }

  const QFont& FontOf(const rt::Control& c) const {
    return resources_.fonts.Font(c.Font(), rt::FontPixelHeight(c.Font(), screen_));
  }

  void Label(const rt::Control& c) {
    QRect r = ToQRect(rt::ControlRect(c, screen_));
    if (c.BackStyle() == rt::style::Opaque) p_.fillRect(r, ToQColor(c.BackColor()));
    if (c.BorderStyle() == rt::style::FixedSingle) {
      Box(r, ToQColor(rt::sys::WindowText), unit_);
      r.adjust(unit_, unit_, -unit_, -unit_);
    }
    if (c.Caption().empty()) return;
    // Laid out once, by the runtime, in the box inside the border.
    const FontCache::Caption& caption = resources_.fonts.LaidOut(&c, c.Font(), rt::FontPixelHeight(c.Font(), screen_),
                                                                 c.Caption(), r.width(), r.height(), c.Alignment());
    if (!c.Enabled()) {
      // A disabled label's text is drawn engraved, as the classic runtime does.
      p_.setPen(kHighlight);
      DrawCaption(p_, r.translated(unit_, unit_), caption);
      p_.setPen(kShadow);
    } else {
      p_.setPen(ToQColor(c.ForeColor()));
    }
    DrawCaption(p_, r, caption);
  }

  const QPen& Pen(const rt::Control& c) const {
    const int width = std::max(1, c.BorderWidth()) * unit_;
    auto [it, added] = resources_.pens.try_emplace(&c);
    if (added || it->second.width() != width) {
      it->second = QPen(ToQColor(c.ForeColor()), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }
    return it->second;
  }

  void Line(const rt::Control& c) {
    const rt::PixelLine line = rt::LinePixels(c, screen_);
    p_.setPen(Pen(c));
    p_.drawLine(QPoint(line.from.x, line.from.y), QPoint(line.to.x, line.to.y));
  }

  void Shape(const rt::Control& c) {
    const QRect bounds = ToQRect(rt::ShapeBounds(c, screen_));
    const QPen& pen = Pen(c);
    p_.setPen(pen);
    p_.setBrush(c.BackStyle() == rt::style::Opaque ? QBrush(ToQColor(c.BackColor())) : QBrush(Qt::NoBrush));
    // The outline lies inside the box, as wide as the border.
    const double half = pen.width() / 2.0;
    const QRectF inside = QRectF(bounds).adjusted(half, half, -half, -half);
    if (c.Shape() == rt::style::Circle)
      p_.drawEllipse(inside);
    else
      p_.drawRect(inside);
    p_.setBrush(Qt::NoBrush);
  }

  void Image(const rt::Control& c) {
    if (!c.Design().picture) return;
    static const QImage icon = IconPicture();
    const QRect r = ToQRect(rt::ControlRect(c, screen_));
    // At the picture's own size, which the scale factor enlarges like the rest.
    const QRect target(r.topLeft(), QSize(static_cast<int>(std::lround(icon.width() * ratio_)),
                                          static_cast<int>(std::lround(icon.height() * ratio_))));
    p_.save();
    p_.setClipRect(r);
    p_.drawImage(target, icon);
    p_.restore();
  }

  void Frame(const rt::Form& form, const rt::Control& c) {
    const QRect r = ToQRect(rt::ControlRect(c, screen_));
    p_.save();
    p_.setClipRect(r);
    p_.fillRect(r, ToQColor(c.BackColor()));
    const QFont& font = FontOf(c);
    const QFontMetrics metrics(font);
    // The etched border runs through the middle of the title line.
    const int top = r.top() + metrics.height() / 2;
    const QRect border(r.left(), top, r.width() - unit_, r.bottom() + 1 - top - unit_);
    Box(border.translated(unit_, unit_), kHighlight, unit_);
    Box(border, kShadow, unit_);
    if (!c.Caption().empty()) {
      const QString title = Text(c.Caption());
      const int indent = kFrameTitleIndent * unit_;
      const QRect titleRect(r.left() + indent, r.top(), metrics.horizontalAdvance(title) + 2 * unit_, metrics.height());
      p_.fillRect(titleRect, ToQColor(c.BackColor()));
      p_.setFont(font);
      p_.setPen(ToQColor(c.ForeColor()));
      p_.drawText(titleRect.adjusted(unit_, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, title);
    }
    Container(form, &c);
    p_.restore();
  }

  QPainter& p_;
  const rt::ScreenInfo& screen_;
  double ratio_;
  int unit_;
  std::vector<rt::PixelRect> dirty_;
  PaintResources& resources_;
};

}  // namespace

FormWindow::FormWindow(rt::Form& form, QtPlatform& platform, QWidget* owner)
    : QWidget(nullptr), form_(form), platform_(platform) {
  const rt::FormDesign& design = form.Design();
  Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if (platform.DrawsFrames()) {
    // No frame from the toolkit either: with no decoration asked for, the
    // compositor leaves the frame to the client, and this one draws its own.
    frame_ = rt::LayOutFrame(design, platform.Screen());
    flags = Qt::Window | Qt::FramelessWindowHint;
    if (design.borderStyle == 4 || design.borderStyle == 5) flags |= Qt::Tool;
  } else if (design.borderStyle == 4 || design.borderStyle == 5) {
    // A tool window: a narrow title bar with only the close box, no taskbar
    // entry, kept over the window that owns it.
    flags |= Qt::Tool;
  } else {
    flags |= Qt::Window | Qt::WindowSystemMenuHint;
    if (design.minButton) flags |= Qt::WindowMinimizeButtonHint;
    if (design.maxButton) flags |= Qt::WindowMaximizeButtonHint;
  }
  setWindowFlags(flags);
  setWindowTitle(Text(design.caption));
  if (design.icon) setWindowIcon(QIcon(QPixmap::fromImage(IconPicture())));
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  InstallAccessibility();

  for (const auto& control : form.Controls()) {
    if (control->Kind() != ControlKind::CommandButton) continue;
    rt::Control* c = control.get();
    auto* button = new CommandButton(this);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, c] { platform_.Runtime().Click(*c); });
    buttons_.emplace_back(c, button);
  }
  Place();
  Refresh();
  if (owner) {
    // Owned, not parented: a child widget would inherit the owner's icon, and the
    // tool window has none. The transient parent keeps it over its owner and off
    // the taskbar.
    winId();
    if (QWindow* handle = windowHandle()) handle->setTransientParent(owner->windowHandle());
  }
}

void FormWindow::Place() {
  const rt::ScreenInfo screen = platform_.Screen();
  const double ratio = platform_.DevicePixelRatio();
  const auto logical = [ratio](int device) { return static_cast<int>(std::lround(device / ratio)); };
  const rt::PixelPoint origin = platform_.Place(form_.Design());
  const rt::PixelSize size = frame_ ? frame_->outer : rt::ClientSize(form_.Design(), screen);
  const rt::PixelPoint offset = ClientOffset();
  setFixedSize(logical(size.width), logical(size.height));
  setGeometry(logical(origin.x - offset.x), logical(origin.y - offset.y), logical(size.width), logical(size.height));
  for (auto& [control, button] : buttons_) {
    rt::PixelRect r = rt::ControlRect(*control, screen);
    r.left += offset.x;
    r.top += offset.y;
    button->setGeometry(logical(r.left), logical(r.top), logical(r.left + r.width) - logical(r.left),
                        logical(r.top + r.height) - logical(r.top));
    button->setFont(MakeFont(control->Font(), logical(rt::FontPixelHeight(control->Font(), screen))));
  }
}

void FormWindow::Refresh(const rt::Control* changed) {
  if (!changed) setWindowTitle(Text(form_.Design().caption));
  for (auto& [control, button] : buttons_) {
    if (changed && control != changed) continue;
    button->setText(Text(control->Caption()));
    button->setEnabled(control->Enabled());
    button->setVisible(control->Visible());
  }
  // A button repaints itself; what a windowless control covers is painted anew.
  if (!changed)
    update();
  else if (changed->Kind() != ControlKind::CommandButton) {
    rt::PixelRect r = rt::PaintRect(*changed, platform_.Screen());
    r.left += ClientOffset().x;
    r.top += ClientOffset().y;
    update(Logical(r, platform_.DevicePixelRatio()));
  }
  AccessibilityChanged(*this);
}

QWidget* FormWindow::HostedWidget(const rt::Control& control) const {
  for (const auto& [c, button] : buttons_)
    if (c == &control) return button;
  return nullptr;
}

QRect FormWindow::ScreenRect(const rt::Control& control) const {
  return ScreenRect(rt::ControlRect(control, platform_.Screen()));
}

QRect FormWindow::ScreenRect(rt::PixelRect r) const {
  const double ratio = platform_.DevicePixelRatio();
  r.left += ClientOffset().x;
  r.top += ClientOffset().y;
  const QPoint topLeft(static_cast<int>(std::lround(r.left / ratio)), static_cast<int>(std::lround(r.top / ratio)));
  const QPoint bottomRight(static_cast<int>(std::lround((r.left + r.width) / ratio)),
                           static_cast<int>(std::lround((r.top + r.height) / ratio)));
  return QRect(mapToGlobal(topLeft), mapToGlobal(bottomRight) - QPoint(1, 1));
}

void FormWindow::ShowActive() {
  const ShowingScope scope;
  show();
  raise();
  activateWindow();
  if (!buttons_.empty()) buttons_.front().second->setFocus(Qt::OtherFocusReason);
  // The runtime reads the window's outer rectangle as soon as Show returns (the
  // evaluation window confines the pointer to it). A window manager adds its
  // frame only once it has mapped the window, so wait for that, briefly. Input
  // meanwhile reaches a runtime that is inside a handler and drops it, as it
  // drops any input then; a close is asked again afterwards. (Qt holds back a
  // close excluded as user input and may then never deliver it.)
  QElapsedTimer waited;
  waited.start();
  while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < kMapWaitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

rt::PixelPoint FormWindow::DevicePoint(const QPointF& logical) const {
  const double ratio = platform_.DevicePixelRatio();
  return {static_cast<int>(std::floor(logical.x() * ratio)), static_cast<int>(std::floor(logical.y() * ratio))};
}

rt::PixelPoint FormWindow::ClientOffset() const {
  return frame_ ? rt::PixelPoint{frame_->client.left, frame_->client.top} : rt::PixelPoint{};
}

rt::PixelPoint FormWindow::ClientPoint(rt::PixelPoint window) const {
  return {window.x - ClientOffset().x, window.y - ClientOffset().y};
}

bool FormWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) platform_.Runtime().Activated(form_);
  const bool activation = event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate;
  // The title bar and the focus frame show whether the window is the active one.
  if (frame_ && activation) update(Logical(frame_->caption, platform_.DevicePixelRatio()));
  const bool handled = QWidget::event(event);
  if (activation && focusShown_) {
    rt::PixelRect r = *focusShown_;
    r.left += ClientOffset().x;
    r.top += ClientOffset().y;
    update(Logical(r, platform_.DevicePixelRatio()));
  }
  // Qt tells a screen reader of the focus on a widget; on a painted control
  // the window tells it as it comes back.
  if (event->type() == QEvent::WindowActivate && focusShown_) AccessibleFocusMoved(*this);
  return handled;
}

void FormWindow::PaintFrame(QPainter& painter) {
  const rt::ScreenInfo screen = platform_.Screen();
  const QFont& font = paint_.fonts.Font(rt::kCaptionFont, rt::FontPixelHeight(rt::kCaptionFont, screen));
  const rt::FrameLook look =
      rt::LookOfFrame(*frame_, form_.Design().caption, isActiveWindow(), frameMouse_.Sunken(), FontMeasure(font));
  for (const rt::FrameFill& fill : look.fills) painter.fillRect(ToQRect(fill.rect), ToQColor(fill.color));
  const QRect bar = ToQRect(look.bar);
  QLinearGradient gradient(bar.topLeft(), bar.topRight());
  gradient.setColorAt(0, ToQColor(look.barLeft));
  gradient.setColorAt(1, ToQColor(look.barRight));
  painter.fillRect(bar, gradient);
  for (const rt::FrameFill& fill : look.boxes) painter.fillRect(ToQRect(fill.rect), ToQColor(fill.color));
  if (look.icon.width > 0) {
    static const QImage icon = IconPicture();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(ToQRect(look.icon), icon);
    painter.restore();
  }
  painter.setFont(font);
  painter.setPen(ToQColor(look.titleColor));
  painter.drawText(ToQRect(frame_->title), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Text(look.title));
}

void FormWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const double ratio = platform_.DevicePixelRatio();
  painter.scale(1.0 / ratio, 1.0 / ratio);
  const rt::PixelPoint offset = ClientOffset();
  std::vector<rt::PixelRect> dirty;
  bool frameDirty = false;
  for (const QRect& r : event->region()) {
    const rt::PixelRect device = Device(r, ratio);
    if (!frame_) {
      dirty.push_back(device);
      continue;
    }
    frameDirty = frameDirty || !(device.left >= frame_->client.left && device.top >= frame_->client.top &&
                                 device.left + device.width <= frame_->client.left + frame_->client.width &&
                                 device.top + device.height <= frame_->client.top + frame_->client.height);
    dirty.push_back({device.left - offset.x, device.top - offset.y, device.width, device.height});
  }
  if (frameDirty) PaintFrame(painter);
  painter.translate(offset.x, offset.y);
  if (frame_) painter.setClipRect(QRect(0, 0, frame_->client.width, frame_->client.height));
  for (const rt::PixelRect& r : dirty) painter.fillRect(ToQRect(r), ToQColor(form_.Design().backColor));
  Canvas(painter, platform_.Screen(), ratio, std::move(dirty), paint_).Container(form_, nullptr);
  if (const std::optional<rt::PixelRect> focus = rt::FocusFrame(form_, platform_.Screen()); focus && isActiveWindow()) {
    QPen pen(Qt::black, 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(focus->left, focus->top, focus->width - 1, focus->height - 1);
  }
}

void FormWindow::FocusChanged() {
  const int node = form_.FocusNode();
  const rt::Control* control = node >= 0 ? form_.Accessible()[static_cast<std::size_t>(node)].control : nullptr;
  // On a painted control the window itself holds Qt's focus, so that the keys
  // come to it and Qt gives no button the focus as the window comes back.
  if (QWidget* widget = control ? HostedWidget(*control) : nullptr)
    widget->setFocus(Qt::TabFocusReason);
  else
    setFocus(Qt::OtherFocusReason);
  // The focus frame moved: both places repaint.
  const auto repaint = [this](rt::PixelRect r) {
    r.left += ClientOffset().x;
    r.top += ClientOffset().y;
    update(Logical(r, platform_.DevicePixelRatio()));
  };
  if (focusShown_) repaint(*focusShown_);
  focusShown_ = rt::FocusFrame(form_, platform_.Screen());
  if (focusShown_) repaint(*focusShown_);
  AccessibleFocusMoved(*this);
}

bool FormWindow::focusNextPrevChild(bool next) {
  // Tab goes where the runtime's focus order says, over painted controls too.
  platform_.Runtime().KeyPress(form_, {rt::Key::Tab, next ? 0 : rt::keymod::Shift, false});
  return true;
}

void FormWindow::FrameAct(rt::FrameAction action) {
  switch (action) {
    case rt::FrameAction::Move:
      // The compositor moves the window from this press on.
      if (QWindow* handle = windowHandle()) handle->startSystemMove();
      break;
    case rt::FrameAction::Minimize:
      showMinimized();
      break;
    case rt::FrameAction::Close:
      RequestClose();
      break;
    case rt::FrameAction::None:
      break;
  }
}

void FormWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const rt::PixelPoint p = DevicePoint(event->position());
  if (frame_ && rt::HitFrame(*frame_, p) != rt::FramePart::Client) {
    const rt::FrameAction action = frameMouse_.Press(*frame_, p);
    if (frameMouse_.Pressing()) update(Logical(frame_->caption, platform_.DevicePixelRatio()));
    FrameAct(action);
    return;
  }
  platform_.Runtime().MouseDown(form_, ClientPoint(p));
}

void FormWindow::mouseMoveEvent(QMouseEvent* event) {
  if (frame_ && frameMouse_.Drag(*frame_, DevicePoint(event->position())))
    update(Logical(frame_->caption, platform_.DevicePixelRatio()));
}

void FormWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press like any other: it clicks.
  mousePressEvent(event);
}

void FormWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const rt::PixelPoint p = DevicePoint(event->position());
  if (frame_ && frameMouse_.Pressing()) {
    update(Logical(frame_->caption, platform_.DevicePixelRatio()));
    FrameAct(frameMouse_.Release(*frame_, p));
    return;
  }
  platform_.Runtime().MouseUp(form_, ClientPoint(p));
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  const std::optional<rt::Key> key = KeyOf(*event);
  if (!key) {
    QWidget::keyPressEvent(event);
    return;
  }
  platform_.Runtime().KeyPress(form_, {*key, ModifiersOf(event->modifiers()), event->isAutoRepeat()});
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The window never closes by itself: the program decides, and ends through End.
  event->ignore();
  RequestClose();
}

void FormWindow::RequestClose() {
  // A close that arrives while a window is being shown (the wait for its frame)
  // is asked again once that is over; the runtime would drop it as arriving
  // inside a handler.
  if (showingNow > 0 && platform_.Runtime().Busy()) {
    QTimer::singleShot(kCloseRetryMs, this, [this] { RequestClose(); });
    return;
  }
  platform_.Runtime().QueryUnload(form_, rt::unload::FormControlMenu);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    click();
    return;
  }
  // Arrows move the focus as the window's keys say, not to the next button.
  const int key = event->key();
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
    event->ignore();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace quintarel::qt
