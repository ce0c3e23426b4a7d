#include "runtime/web/FormWindow.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "app/Icon.h"
#include "runtime/Accessible.h"
#include "runtime/Caption.h"
#include "runtime/Color.h"
#include "runtime/Control.h"
#include "runtime/Runtime.h"
#include "runtime/web/CursorClip.h"
#include "runtime/web/Fonts.h"
#include "runtime/web/WebPlatform.h"

namespace quintarel::web {

namespace {

using rt::ControlKind;

// clang-format off
EM_JS(void, PageCreateWindow, (int id, const char* title, int tool), {
  Quintarel.createWindow(id, UTF8ToString(title), tool);
});
EM_JS(void, PagePlace, (int id, int left, int top, int width, int height, int clientLeft, int clientTop), {
  Quintarel.place(id, left, top, width, height, clientLeft, clientTop);
});
EM_JS(void, PageMove, (int id, int left, int top), { Quintarel.move(id, left, top); });
EM_JS(void, PageShowWindow, (int id, int shown), { Quintarel.show(id, shown); });
EM_JS(void, PageAddButton, (int id, int index, const char* caption, const char* font), {
  Quintarel.addButton(id, index, UTF8ToString(caption), UTF8ToString(font));
});
EM_JS(void, PagePlaceButton, (int id, int index, int left, int top, int width, int height, int shown, int enabled), {
  Quintarel.placeButton(id, index, left, top, width, height, shown, enabled);
});
EM_JS(void, PageSave, (int id, int x, int y, int width, int height), { Quintarel.save(id, x, y, width, height); });
EM_JS(void, PageRestore, (int id), { Quintarel.restore(id); });
EM_JS(void, PageFill, (int id, int x, int y, int width, int height, int color), {
  Quintarel.fill(id, x, y, width, height, color);
});
EM_JS(void, PageGradient, (int id, int x, int y, int width, int height, int left, int right), {
  Quintarel.gradient(id, x, y, width, height, left, right);
});
EM_JS(void, PageLine, (int id, int x1, int y1, int x2, int y2, int width, int color), {
  Quintarel.line(id, x1, y1, x2, y2, width, color);
});
EM_JS(void, PageShape, (int id, double x, double y, double width, double height, int circle, int lineWidth,
                        int line, int filled, int fill), {
  Quintarel.shape(id, x, y, width, height, circle, lineWidth, line, filled, fill);
});
EM_JS(void, PageDotted, (int id, int x, int y, int width, int height), { Quintarel.dotted(id, x, y, width, height); });
EM_JS(void, PageText, (int id, int x, int y, const char* text, const char* font, int stretch, int color), {
  Quintarel.text(id, x, y, UTF8ToString(text), UTF8ToString(font), stretch, color);
});
EM_JS(void, PageImage, (int id, int x, int y, int width, int height), { Quintarel.image(id, x, y, width, height); });
EM_JS(double, PageRatio, (), { return Quintarel.ratio(); });
EM_JS(void, PageMinimized, (int id, const char* title), { Quintarel.minimized(id, UTF8ToString(title)); });
// clang-format on

int Rgb(rt::Color color) {
  const rt::Rgb c = rt::ResolveColor(color);
  return c.r | (c.g << 8) | (c.b << 16);
}

constexpr int kShadow = 0x808080;
constexpr int kHighlight = 0xFFFFFF;
constexpr int kFrameTitleIndent = 8;

int Unit() { return std::max(1, static_cast<int>(std::lround(PageRatio()))); }

// Each label's caption laid out once for its text and box, as the runtime says.
struct LaidOut {
  std::string text, font;
  int width = 0, height = 0, alignment = 0;
  rt::CaptionLayout layout;
};
std::map<const rt::Control*, LaidOut>& Captions() {
  static std::map<const rt::Control*, LaidOut> captions;
  return captions;
}

const rt::CaptionLayout& LayOut(const rt::Control& c, const std::string& font, int width, int height) {
  LaidOut& entry = Captions()[&c];
  if (entry.text != c.Caption() || entry.font != font || entry.width != width || entry.height != height ||
      entry.alignment != c.Alignment() || entry.layout.lines.empty()) {
    entry = {c.Caption(),   font,
             width,         height,
             c.Alignment(), rt::LayOutCaption(c.Caption(), width, height, c.Alignment(), FontMeasure(font))};
  }
  return entry.layout;
}

}  // namespace

FormWindow::FormWindow(int id, rt::Form& form, WebPlatform& platform, rt::PixelPoint clientOrigin)
    : id_(id), form_(form), platform_(platform), frame_(rt::LayOutFrame(form.Design(), platform.Screen())) {
  origin_ = {clientOrigin.x - frame_.client.left, clientOrigin.y - frame_.client.top};
  const rt::FormDesign& design = form.Design();
  PageCreateWindow(id_, rt::AccessibleTitle(form).c_str(), design.borderStyle == 4 || design.borderStyle == 5);
  PagePlace(id_, origin_.x, origin_.y, frame_.outer.width, frame_.outer.height, frame_.client.left, frame_.client.top);
  for (const auto& control : form.Controls()) {
    if (control->Kind() != ControlKind::CommandButton) continue;
    const int index = static_cast<int>(buttons_.size());
    buttons_.push_back(control.get());
    PageAddButton(id_, index, control->Caption().c_str(),
                  CssFont(control->Font(), rt::FontPixelHeight(control->Font(), platform.Screen())).c_str());
  }
  PlaceButtons();
  accessibility_ = std::make_unique<WindowAccessibility>(*this);
}

rt::ScreenInfo FormWindow::Screen() const { return platform_.Screen(); }

int FormWindow::ButtonIndex(const rt::Control* control) const {
  const auto it = std::find(buttons_.begin(), buttons_.end(), control);
  return control && it != buttons_.end() ? static_cast<int>(it - buttons_.begin()) : -1;
}

rt::PixelRect FormWindow::OuterRect() const { return {origin_.x, origin_.y, frame_.outer.width, frame_.outer.height}; }

bool FormWindow::Active() const { return platform_.ActiveWindow() == this; }

void FormWindow::Show() {
  shown_ = true;
  PageShowWindow(id_, 1);
  Paint();
}

void FormWindow::Hide() {
  shown_ = false;
  PageShowWindow(id_, 0);
}

void FormWindow::Paint() {
  if (platform_.Batching())
    platform_.Mark(*this);
  else
    PaintNow();
}

void FormWindow::PaintNow() {
  if (!shown_) return;
  PaintFrame();
  const rt::PixelRect& client = frame_.client;
  PageSave(id_, client.left, client.top, client.width, client.height);
  PageFill(id_, client.left, client.top, client.width, client.height, Rgb(form_.Design().backColor));
  PaintControls(nullptr);
  if (const std::optional<rt::PixelRect> focus = rt::FocusFrame(form_, platform_.Screen()); focus && Active())
    PageDotted(id_, client.left + focus->left, client.top + focus->top, focus->width, focus->height);
  PageRestore(id_);
}

void FormWindow::Refresh(const rt::Control*) {
  PlaceButtons();
  accessibility_->Changed();
  Paint();
}

void FormWindow::FocusChanged() {
  accessibility_->FocusChanged();
  Paint();
}

void FormWindow::PaintFrame() {
  const std::string font = CssFont(rt::kCaptionFont, rt::FontPixelHeight(rt::kCaptionFont, platform_.Screen()));
  const FontMeasure measure(font);
  const rt::FrameLook look = rt::LookOfFrame(frame_, form_.Design().caption, Active(), frameMouse_.Sunken(), measure);
  for (const rt::FrameFill& fill : look.fills)
    PageFill(id_, fill.rect.left, fill.rect.top, fill.rect.width, fill.rect.height, Rgb(fill.color));
  PageGradient(id_, look.bar.left, look.bar.top, look.bar.width, look.bar.height, Rgb(look.barLeft),
               Rgb(look.barRight));
  for (const rt::FrameFill& fill : look.boxes)
    PageFill(id_, fill.rect.left, fill.rect.top, fill.rect.width, fill.rect.height, Rgb(fill.color));
  if (look.icon.width > 0) PageImage(id_, look.icon.left, look.icon.top, look.icon.width, look.icon.height);
  const rt::PixelRect& title = frame_.title;
  const int top = title.top + (title.height - measure.LineHeight(100)) / 2;
  PageSave(id_, title.left, title.top, title.width, title.height);
  PageText(id_, title.left, top, look.title.c_str(), font.c_str(), 100, Rgb(look.titleColor));
  PageRestore(id_);
}

void FormWindow::PaintControls(const rt::Control* container) {
  const std::vector<rt::Control*> children = form_.Children(container);
  // Back to front: windowless controls first, then the frames, which lie over
  // them. Buttons are the page's own and draw themselves.
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (!(*it)->Windowed()) PaintControl(**it);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if ((*it)->Kind() == ControlKind::Frame && (*it)->Visible()) PaintFrameControl(**it);
}

void FormWindow::PaintControl(const rt::Control& c) {
  if (!c.Visible()) return;
  const rt::ScreenInfo screen = platform_.Screen();
  const int x = frame_.client.left, y = frame_.client.top;
  switch (c.Kind()) {
    case ControlKind::Label:
      PaintLabel(c);
      break;
    case ControlKind::Line: {
      const rt::PixelLine line = rt::LinePixels(c, screen);
      PageLine(id_, x + line.from.x, y + line.from.y, x + line.to.x, y + line.to.y,
               std::max(1, c.BorderWidth()) * Unit(), Rgb(c.ForeColor()));
      break;
    }
    case ControlKind::Shape: {
      const rt::PixelRect b = rt::ShapeBounds(c, screen);
      const int width = std::max(1, c.BorderWidth()) * Unit();
      // The outline lies inside the box, as wide as the border.
      const double half = width / 2.0;
      PageShape(id_, x + b.left + half, y + b.top + half, b.width - 2 * half, b.height - 2 * half,
                c.Shape() == rt::style::Circle ? 1 : 0, width, Rgb(c.ForeColor()),
                c.BackStyle() == rt::style::Opaque ? 1 : 0, Rgb(c.BackColor()));
      break;
    }
    case ControlKind::Image: {
      if (!c.Design().picture) break;
      const rt::PixelRect r = rt::ControlRect(c, screen);
      // At the picture's own size, which the scale factor enlarges like the rest.
      const double ratio = PageRatio();
      PageSave(id_, x + r.left, y + r.top, r.width, r.height);
      const IconImage icon = ProgramIcon();
      PageImage(id_, x + r.left, y + r.top, static_cast<int>(std::lround(icon.width * ratio)),
                static_cast<int>(std::lround(icon.height * ratio)));
      PageRestore(id_);
      break;
    }
    case ControlKind::Frame:
    case ControlKind::CommandButton:
      break;
  }
}

rt::PixelRect FormWindow::InWindow(const rt::Control& c) const {
  rt::PixelRect r = rt::ControlRect(c, platform_.Screen());
  r.left += frame_.client.left;
  r.top += frame_.client.top;
  return r;
}

void FormWindow::PaintLabel(const rt::Control& c) {
  const rt::ScreenInfo screen = platform_.Screen();
  rt::PixelRect r = InWindow(c);
  const int unit = Unit();
  if (c.BackStyle() == rt::style::Opaque) PageFill(id_, r.left, r.top, r.width, r.height, Rgb(c.BackColor()));
  if (c.BorderStyle() == rt::style::FixedSingle) {
    const int ink = Rgb(rt::sys::WindowText);
    PageFill(id_, r.left, r.top, r.width, unit, ink);
    PageFill(id_, r.left, r.top + r.height - unit, r.width, unit, ink);
    PageFill(id_, r.left, r.top, unit, r.height, ink);
    PageFill(id_, r.left + r.width - unit, r.top, unit, r.height, ink);
    r = {r.left + unit, r.top + unit, r.width - 2 * unit, r.height - 2 * unit};
  }
  if (c.Caption().empty()) return;
  const std::string font = CssFont(c.Font(), rt::FontPixelHeight(c.Font(), screen));
  const rt::CaptionLayout& layout = LayOut(c, font, r.width, r.height);
  PageSave(id_, r.left, r.top, r.width, r.height);
  const auto draw = [&](int dx, int color) {
    for (std::size_t i = 0; i < layout.lines.size(); ++i)
      PageText(id_, r.left + layout.lines[i].x + dx, r.top + static_cast<int>(i) * layout.lineHeight + dx,
               layout.lines[i].text.c_str(), font.c_str(), layout.stretch, color);
  };
  if (!c.Enabled()) {
    // A disabled label's text is drawn engraved, as the classic runtime does.
    draw(unit, kHighlight);
    draw(0, kShadow);
  } else {
    draw(0, Rgb(c.ForeColor()));
  }
  PageRestore(id_);
}

void FormWindow::PaintFrameControl(const rt::Control& c) {
  const rt::ScreenInfo screen = platform_.Screen();
  const rt::PixelRect r = InWindow(c);
  const int unit = Unit();
  PageSave(id_, r.left, r.top, r.width, r.height);
  PageFill(id_, r.left, r.top, r.width, r.height, Rgb(c.BackColor()));
  const std::string font = CssFont(c.Font(), rt::FontPixelHeight(c.Font(), screen));
  const FontMeasure measure(font);
  // The etched border runs through the middle of the title line.
  const int top = r.top + measure.LineHeight(100) / 2;
  const int width = r.width - unit, height = r.top + r.height - top - unit;
  const auto box = [&](int x, int y, int color) {
    PageFill(id_, x, y, width, unit, color);
    PageFill(id_, x, y + height - unit, width, unit, color);
    PageFill(id_, x, y, unit, height, color);
    PageFill(id_, x + width - unit, y, unit, height, color);
  };
  box(r.left + unit, top + unit, kHighlight);
  box(r.left, top, kShadow);
  if (!c.Caption().empty()) {
    const int indent = kFrameTitleIndent * unit;
    PageFill(id_, r.left + indent, r.top, measure.Width(c.Caption(), 100) + 2 * unit, measure.LineHeight(100),
             Rgb(c.BackColor()));
    PageText(id_, r.left + indent + unit, r.top, c.Caption().c_str(), font.c_str(), 100, Rgb(c.ForeColor()));
  }
  PaintControls(&c);
  PageRestore(id_);
}

void FormWindow::PlaceButtons() {
  const rt::ScreenInfo screen = platform_.Screen();
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const rt::Control& c = *buttons_[i];
    const rt::PixelRect r = rt::ControlRect(c, screen);
    PagePlaceButton(id_, static_cast<int>(i), frame_.client.left + r.left, frame_.client.top + r.top, r.width, r.height,
                    c.Visible() ? 1 : 0, c.Enabled() ? 1 : 0);
  }
}

rt::PixelPoint FormWindow::ClientPoint(rt::PixelPoint window) const {
  return {window.x - frame_.client.left, window.y - frame_.client.top};
}

void FormWindow::MouseDown(rt::PixelPoint window) {
  platform_.Activate(*this);
  platform_.Clip().Pressed(id_);
  if (rt::HitFrame(frame_, window) != rt::FramePart::Client) {
    const rt::FrameAction action = frameMouse_.Press(frame_, window);
    if (action == rt::FrameAction::Move) dragFrom_ = window;
    Paint();
    return;
  }
  pressedButton_ = ButtonAt(ClientPoint(window));
  if (pressedButton_ >= 0) return;
  platform_.Runtime().MouseDown(form_, ClientPoint(window));
}

int FormWindow::ButtonAt(rt::PixelPoint client) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const rt::Control& c = *buttons_[i];
    if (c.Visible() && c.Enabled() && rt::ControlRect(c, platform_.Screen()).Contains(client))
      return static_cast<int>(i);
  }
  return -1;
}

void FormWindow::MouseMove(rt::PixelPoint window) {
  platform_.Clip().PointerAt({origin_.x + window.x, origin_.y + window.y});
  if (dragFrom_) {
    // The title bar moves the window under the pointer, as a desktop's does.
    origin_.x += window.x - dragFrom_->x;
    origin_.y += window.y - dragFrom_->y;
    PageMove(id_, origin_.x, origin_.y);
    return;
  }
  if (frameMouse_.Pressing() && frameMouse_.Drag(frame_, window)) Paint();
}

void FormWindow::MouseUp(rt::PixelPoint window) {
  if (dragFrom_) {
    dragFrom_.reset();
    (void)frameMouse_.Release(frame_, window);
    // The next activation holds where the window now is.
    return;
  }
  if (frameMouse_.Pressing()) {
    const rt::FrameAction action = frameMouse_.Release(frame_, window);
    Paint();
    if (action == rt::FrameAction::Close) platform_.Runtime().QueryUnload(form_, rt::unload::FormControlMenu);
    if (action == rt::FrameAction::Minimize) {
      Hide();
      PageMinimized(id_, rt::AccessibleTitle(form_).c_str());
    }
    return;
  }
  if (pressedButton_ >= 0) {
    const int pressed = pressedButton_;
    pressedButton_ = -1;
    if (ButtonAt(ClientPoint(window)) == pressed) ButtonClicked(pressed);
    return;
  }
  platform_.Runtime().MouseUp(form_, ClientPoint(window));
}

void FormWindow::Key(int key, int modifiers, bool repeat) {
  if (key < static_cast<int>(rt::Key::Digit1) || key > static_cast<int>(rt::Key::Down)) return;
  platform_.Runtime().KeyPress(form_, {static_cast<rt::Key>(key), modifiers, repeat});
}

void FormWindow::ButtonClicked(int index) {
  if (index < 0 || index >= static_cast<int>(buttons_.size())) return;
  platform_.Runtime().Click(*const_cast<rt::Control*>(buttons_[static_cast<std::size_t>(index)]));
}

}  // namespace quintarel::web
