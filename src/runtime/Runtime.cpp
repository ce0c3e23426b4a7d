#include "runtime/Runtime.h"

#include "runtime/Accessible.h"
#include "runtime/Errors.h"
#include "runtime/Geometry.h"

namespace rt {

namespace {

constexpr int kMsgBoxCritical = 16;
constexpr std::string_view kErrorTitle = "Quintarel";

}  // namespace

Runtime::Runtime(Platform& platform, RandomGenerator& random) : platform_(platform), random_(random) {}

float Runtime::ScreenWidth() const {
  const ScreenInfo screen = Metrics();
  return static_cast<float>(screen.widthPx) * screen.twipsPerPixelX;
}

float Runtime::ScreenHeight() const {
  const ScreenInfo screen = Metrics();
  return static_cast<float>(screen.heightPx) * screen.twipsPerPixelY;
}

int Runtime::MsgBox(std::string_view prompt, int style, std::string_view title) {
  const int button = platform_.MessageBox(prompt, style, title);
  // The program ended while the box was open (the session ended): the handler
  // that asked goes no further.
  if (ended_) throw ProgramEnded{};
  return button;
}

void Runtime::End() {
  Stop();
  throw ProgramEnded{};
}

void Runtime::Stop() {
  if (ended_) return;
  ended_ = true;
  pendingActivate_.clear();
  // Whatever path ends the program, a confinement it set must not outlive it.
  ReleaseCursor();
  platform_.Quit();
}

void Runtime::ReleaseCursor() {
  if (!confined_) return;
  confined_ = false;
  platform_.ClipCursor(nullptr);
}

void Runtime::ClipCursor(const ClipRect& rect) {
  const ScreenInfo screen = Metrics();
  if (rect.left <= 0 && rect.top <= 0 && rect.right >= screen.widthPx && rect.bottom >= screen.heightPx) {
    // The whole screen means "free the cursor". Passed on as a rectangle, it
    // would keep the cursor on the primary monitor of a larger desktop, even
    // after the program has ended.
    confined_ = false;
    platform_.ClipCursor(nullptr);
    return;
  }
  confined_ = true;
  platform_.ClipCursor(&rect);
}

TwipsRect Runtime::OuterRectTwips(const Form& form) const {
  const ScreenInfo screen = Metrics();
  const PixelRect r = platform_.OuterRect(form);
  return {PixelsToTwips(r.left, screen.twipsPerPixelX), PixelsToTwips(r.top, screen.twipsPerPixelY),
          PixelsToTwips(r.width, screen.twipsPerPixelX), PixelsToTwips(r.height, screen.twipsPerPixelY)};
}

void Runtime::Show(Form& form) {
  if (ended_) return;
  form.MarkShown();
  platform_.ShowForm(form);
  MakeActive(form);
}

void Runtime::ControlChanged(Form& form, const Control& control) {
  if (!ended_) platform_.Changed(form, &control);
}

void Runtime::Run(const std::function<void()>& code) { Guarded(code); }

void Runtime::Load(Form& form) {
  EventArgs args;
  Raise(form, nullptr, Event::Load, args);
}

void Runtime::Guarded(const std::function<void()>& code, const std::function<void()>& after) {
  if (ended_) return;
  // Code run from inside a handler (a form loaded by its first reference) lets
  // errors and End travel on to that handler: the program stops there.
  if (depth_ > 0) {
    code();
    if (after) after();
    return;
  }
  ++depth_;
  try {
    code();
  } catch (const ProgramEnded&) {
  } catch (const RuntimeError& error) {
    // Free the cursor before the report: held in the evaluation window, it could
    // not reach the report's OK button.
    ReleaseCursor();
    platform_.MessageBox(ErrorReport(error.Number()), kMsgBoxCritical, kErrorTitle);
    Stop();
  }
  --depth_;
  if (after && !ended_) after();
  DeliverPending();
}

void Runtime::Raise(Form& form, const Control* control, Event event, EventArgs& args) {
  if (ended_) return;
  const Handler* handler = form.HandlerFor(control, event);
  if (!handler) return;
  Guarded([&] { (*handler)(args); });
}

void Runtime::MakeActive(Form& form) {
  if (active_ == &form) return;
  active_ = &form;
  pendingActivate_.push_back(&form);
  DeliverPending();
}

void Runtime::DeliverPending() {
  // Activate raised by Show inside a handler waits until that handler has finished.
  while (depth_ == 0 && !ended_ && !pendingActivate_.empty()) {
    Form* form = pendingActivate_.front();
    pendingActivate_.pop_front();
    EventArgs args;
    const Handler* handler = form->HandlerFor(nullptr, Event::Activate);
    Guarded(
        [&] {
          if (handler) (*handler)(args);
        },
        [this, form] {
          // A window opens with the focus on its first stop, and its first
          // activation tells what it is for once its handler has set it up.
          if (form->FocusNode() < 0) MoveFocus(*form, NextStop(*form, -1, false));
          if (form->Opened()) return;
          form->MarkOpened();
          if (const std::string text = SpokenText(*form, form->Design().announceOnOpen); !text.empty())
            platform_.Announce(*form, text);
        });
  }
}

void Runtime::MoveFocus(Form& form, int node) {
  if (node == form.FocusNode()) return;
  form.SetFocusNode(node);
  platform_.FocusChanged(form);
}

void Runtime::Focus(Form& form, int node) {
  if (ended_ || Busy() || node < 0 || !NodeStateOf(form, node).focusable) return;
  MoveFocus(form, node);
}

void Runtime::Press(Form& form, Control& control, bool focusIt) {
  const int node = NodeOf(form, control);
  const AccessibleDesign* entry = node >= 0 ? form.Accessible()[static_cast<std::size_t>(node)].entry : nullptr;
  // A control clicked by the mouse or pressed by a screen reader takes the
  // focus, as does a choice chosen while the focus is among its group's.
  const int focus = form.FocusNode();
  const bool inGroup = focus >= 0 && node >= 0 && form.Accessible()[static_cast<std::size_t>(focus)].parent >= 0 &&
                       form.Accessible()[static_cast<std::size_t>(focus)].parent ==
                           form.Accessible()[static_cast<std::size_t>(node)].parent;
  if (node >= 0 && (focusIt || inGroup) && NodeStateOf(form, node).focusable) MoveFocus(form, node);
  const std::string before = entry ? SpokenText(form, entry->announce) : std::string();
  const Handler* handler = form.HandlerFor(&control, Event::Click);
  if (!handler) return;
  EventArgs args;
  Guarded([&] { (*handler)(args); },
          [&] {
            // Focus that the click left on a control that takes none moves on.
            const int now = form.FocusNode();
            if (now >= 0 && !NodeStateOf(form, now).focusable) MoveFocus(form, NextStop(form, now, false));
            if (!entry) return;
            // What the focus reads now is not told twice.
            const std::string after = SpokenText(form, entry->announce);
            if (after != before && !after.empty() && form.FocusNode() != node) platform_.Announce(form, after);
          });
}

void Runtime::MouseDown(Form& form, PixelPoint client) {
  if (ended_ || Busy()) return;
  pressed_ = HitTest(form, client, Metrics());
}

void Runtime::MouseUp(Form& form, PixelPoint client) {
  Control* pressed = pressed_;
  pressed_ = nullptr;
  if (ended_ || Busy() || !pressed) return;
  if (HitTest(form, client, Metrics()) != pressed) return;
  Press(form, *pressed, true);
}

void Runtime::Click(Control& control) {
  if (ended_ || Busy() || !control.Enabled() || !control.Visible()) return;
  Press(control.Parent(), control, true);
}

void Runtime::KeyPress(Form& form, const KeyStroke& stroke) {
  if (ended_ || Busy()) return;
  if ((stroke.modifiers & (keymod::Control | keymod::Alt | keymod::System)) != 0) return;
  // A held Tab or arrow goes on moving, as everywhere; a held digit or Enter
  // plays nothing more.
  switch (stroke.key) {
    case Key::Tab:
      form.ShowFocusCues();
      MoveFocus(form, NextStop(form, form.FocusNode(), (stroke.modifiers & keymod::Shift) != 0));
      return;
    case Key::Left:
    case Key::Right:
    case Key::Up:
    case Key::Down: {
      const int target = ArrowTarget(form, form.FocusNode(), stroke.key);
      if (target < 0) return;
      form.ShowFocusCues();
      MoveFocus(form, target);
      const AccessibleNode& node = form.Accessible()[static_cast<std::size_t>(target)];
      if (node.kind == NodeKind::Choice && node.control) Press(form, *node.control, true);
      return;
    }
    default:
      break;
  }
  if (stroke.repeat) return;
  for (const KeyBinding& binding : form.Design().keys) {
    if (binding.key != stroke.key) continue;
    Control& control = form.Ctl(binding.control);
    if (!control.Enabled() || !control.Visible()) continue;
    Press(form, control, false);
    return;
  }
}

void Runtime::Activated(Form& form) {
  if (ended_ || !form.Visible()) return;
  MakeActive(form);
}

void Runtime::QueryUnload(Form& form, int unloadMode) {
  if (ended_ || Busy()) return;
  EventArgs args;
  args.unloadMode = unloadMode;
  Raise(form, nullptr, Event::QueryUnload, args);
  // A program whose handler neither cancels nor ends still closes: with one game
  // per run there is nothing to go back to.
  if (!ended_ && args.cancel == 0) Stop();
}

void Runtime::Closing(Form& form, int unloadMode) {
  if (ended_) return;
  if (Busy()) {
    Stop();
    return;
  }
  QueryUnload(form, unloadMode);
  if (!ended_) Stop();
}

}  // namespace rt
