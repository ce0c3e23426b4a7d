#include "runtime/Control.h"

#include <algorithm>

#include "runtime/Errors.h"
#include "runtime/Form.h"

namespace rt {

namespace {

Color DefaultBackColor(ControlKind kind) { return kind == ControlKind::Shape ? sys::Window : sys::ButtonFace; }

Color DefaultForeColor(ControlKind kind) {
  return kind == ControlKind::Line || kind == ControlKind::Shape ? sys::WindowText : sys::ButtonText;
}

int DefaultBackStyle(ControlKind kind) { return kind == ControlKind::Shape ? style::Transparent : style::Opaque; }

int DefaultBorderStyle(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::Image:
      return style::NoBorder;
    default:
      return style::FixedSingle;  // solid lines and outlines, framed frames
  }
}

}  // namespace

Control::Control(Form& form, const ControlDesign& design, Control* container)
    : form_(form),
      design_(design),
      container_(container),
      caption_(design.caption),
      tag_(design.tag),
      backColor_(design.backColor == kDefaultColor ? DefaultBackColor(design.kind) : design.backColor),
      foreColor_(design.foreColor == kDefaultColor ? DefaultForeColor(design.kind) : design.foreColor),
      backStyle_(design.backStyle == kDefaultStyle ? DefaultBackStyle(design.kind) : design.backStyle),
      borderStyle_(design.borderStyle == kDefaultStyle ? DefaultBorderStyle(design.kind) : design.borderStyle) {}

void Control::SetCaption(std::string_view caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetBackColor(Color color) {
  if (backColor_ == color) return;
  backColor_ = color;
  Changed();
}

void Control::SetTag(std::string_view tag) { tag_ = tag; }  // never shown

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

bool Control::TakesClicks() const { return Kind() != ControlKind::Line && Kind() != ControlKind::Shape; }

bool Control::Windowed() const { return Kind() == ControlKind::Frame || Kind() == ControlKind::CommandButton; }

void Control::Changed() { form_.ControlChanged(*this); }

Control& ControlArray::Item(int index) const {
  if (index < 0 || index >= Count()) throw RuntimeError(err::SubscriptOutOfRange);
  return *members_[static_cast<std::size_t>(index)];
}

void ControlArray::Add(Control& member) {
  const auto at = static_cast<std::size_t>(member.Index());
  if (members_.size() <= at) members_.resize(at + 1, nullptr);
  members_[at] = &member;
}

}  // namespace rt
