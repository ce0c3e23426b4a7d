#include "runtime/Form.h"

#include <stdexcept>

#include "runtime/Errors.h"
#include "runtime/Runtime.h"

namespace rt {

Form::Form(Runtime& runtime, const FormDesign& design) : runtime_(runtime), design_(design) {
  controls_.reserve(design.controls.size());
  for (const ControlDesign& control : design.controls) {
    Control* container = nullptr;
    if (!control.container.empty()) {
      container = &Ctl(control.container);
      if (container->Kind() != ControlKind::Frame) throw std::logic_error("container is not a frame");
    }
    controls_.push_back(std::make_unique<Control>(*this, control, container));
    if (control.index >= 0) {
      auto it = arrays_.try_emplace(std::string(control.name), control.name).first;
      it->second.Add(*controls_.back());
    }
  }
  for (const auto& [name, array] : arrays_)
    for (int i = 0; i < array.Count(); ++i) (void)array.Item(i);  // no gaps in an array
  accessible_ = BuildAccessibleTree(*this);
}

Form::~Form() = default;

Control& Form::Ctl(std::string_view name) const {
  for (const auto& control : controls_)
    if (control->Name() == name && control->Index() < 0) return *control;
  throw RuntimeError(err::ObjectRequired);
}

ControlArray& Form::Array(std::string_view name) const {
  auto it = arrays_.find(name);
  if (it == arrays_.end()) throw RuntimeError(err::ObjectRequired);
  return const_cast<ControlArray&>(it->second);
}

std::vector<Control*> Form::Children(const Control* container) const {
  std::vector<Control*> children;
  for (const auto& control : controls_)
    if (control->Container() == container) children.push_back(control.get());
  return children;
}

void Form::Bind(std::string_view control, Event event, Handler handler) {
  if (!control.empty()) (void)Ctl(control);
  handlers_[{std::string(control), event}] = std::move(handler);
}

const Handler* Form::HandlerFor(const Control* control, Event event) const {
  // Array members are never bound by name alone: no handler here takes an index.
  if (control && control->Index() >= 0) return nullptr;
  auto it =
      handlers_.find(std::pair<std::string, Event>{control ? std::string(control->Name()) : std::string(), event});
  return it == handlers_.end() ? nullptr : &it->second;
}

float Form::Left() const { return runtime_.OuterRectTwips(*this).left; }
float Form::Top() const { return runtime_.OuterRectTwips(*this).top; }
float Form::Width() const { return runtime_.OuterRectTwips(*this).width; }
float Form::Height() const { return runtime_.OuterRectTwips(*this).height; }

void Form::Show() { runtime_.Show(*this); }

void Form::ControlChanged(const Control& control) { runtime_.ControlChanged(*this, control); }

}  // namespace rt
