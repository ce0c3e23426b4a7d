#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/AccessibleTree.h"
#include "runtime/Control.h"
#include "runtime/Design.h"

namespace rt {

class Runtime;

enum class Event { Load, Activate, QueryUnload, Click };

// Why a form is being closed (the QueryUnload reason).
namespace unload {
inline constexpr int FormControlMenu = 0;  // close box, system menu, Alt+F4, window manager
inline constexpr int AppWindows = 2;       // session ending
inline constexpr int TaskManager = 3;
}  // namespace unload

struct EventArgs {
  int cancel = 0;
  int unloadMode = unload::FormControlMenu;
};

using Handler = std::function<void(EventArgs&)>;

// A form: its design, its controls in stacking order, its bound handlers and the
// geometry of its window as the backend reports it.
class Form {
 public:
  Form(Runtime& runtime, const FormDesign& design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Runtime& Rt() const { return runtime_; }
  const FormDesign& Design() const { return design_; }
  std::string_view Name() const { return design_.name; }

  // By design name; a name the design lacks is a program fault (error 424).
  Control& Ctl(std::string_view name) const;
  ControlArray& Array(std::string_view name) const;

  // Every control, front to back within each container.
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  // The controls lying directly in the container (null: the form), front to back.
  std::vector<Control*> Children(const Control* container) const;

  void Bind(std::string_view control, Event event, Handler handler);
  const Handler* HandlerFor(const Control* control, Event event) const;

  // The outer window rectangle on the screen, in twips.
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;

  // Modeless.
  void Show();
  bool Visible() const { return visible_; }
  void MarkShown() { visible_ = true; }

  void ControlChanged(const Control& control);

  // The window's objects as assistive technology meets them.
  const std::vector<AccessibleNode>& Accessible() const { return accessible_; }
  // The node holding the keyboard focus within the window, or -1.
  int FocusNode() const { return focusNode_; }
  void SetFocusNode(int node) { focusNode_ = node; }
  // Whether the window marks the focus: only once the keyboard has moved it,
  // so that a window played by the mouse looks as designed.
  bool FocusCues() const { return focusCues_; }
  void ShowFocusCues() { focusCues_ = true; }
  // Whether the window has been active once.
  bool Opened() const { return opened_; }
  void MarkOpened() { opened_ = true; }

 private:
  Runtime& runtime_;
  const FormDesign& design_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, ControlArray, std::less<>> arrays_;
  std::map<std::pair<std::string, Event>, Handler, std::less<>> handlers_;
  bool visible_ = false;
  std::vector<AccessibleNode> accessible_;
  int focusNode_ = -1;
  bool focusCues_ = false;
  bool opened_ = false;
};

}  // namespace rt
