#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/Design.h"

namespace rt {

class Form;

// A control as the program sees it: design values applied at creation, then the
// properties the program reads and writes. Every write is passed to the backend
// for repainting and never comes back as an event.
class Control {
 public:
  Control(Form& form, const ControlDesign& design, Control* container);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const ControlDesign& Design() const { return design_; }
  std::string_view Name() const { return design_.name; }
  int Index() const { return design_.index; }
  ControlKind Kind() const { return design_.kind; }
  Form& Parent() const { return form_; }
  Control* Container() const { return container_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string_view caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  Color BackColor() const { return backColor_; }
  void SetBackColor(Color color);
  Color ForeColor() const { return foreColor_; }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string_view tag);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  int BackStyle() const { return backStyle_; }
  int BorderStyle() const { return borderStyle_; }
  int Alignment() const { return design_.alignment; }
  const FontDesign& Font() const { return design_.font ? *design_.font : kDefaultFont; }
  int BorderWidth() const { return design_.borderWidth; }
  int Shape() const { return design_.shape; }

  // Labels, images, frames and buttons take clicks; lines and shapes never do.
  bool TakesClicks() const;
  // A frame or a button is a window of its own, over all windowless controls.
  bool Windowed() const;

 private:
  void Changed();

  Form& form_;
  const ControlDesign& design_;
  Control* container_;
  std::string caption_;
  std::string tag_;
  Color backColor_;
  Color foreColor_;
  int backStyle_;
  int borderStyle_;
  bool enabled_ = true;
  bool visible_ = true;
};

// Members 0..n-1 of a control array, reached through Item.
class ControlArray {
 public:
  explicit ControlArray(std::string_view name) : name_(name) {}
  std::string_view Name() const { return name_; }
  int Count() const { return static_cast<int>(members_.size()); }
  // Out of range: run-time error 9.
  Control& Item(int index) const;
  void Add(Control& member);

 private:
  std::string_view name_;
  std::vector<Control*> members_;
};

}  // namespace rt
