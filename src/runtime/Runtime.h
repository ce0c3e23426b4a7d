#pragma once

#include <deque>
#include <functional>
#include <string_view>

#include "runtime/Form.h"
#include "runtime/Keys.h"
#include "runtime/Platform.h"
#include "runtime/Rnd.h"

namespace rt {

struct TwipsRect {
  float left = 0, top = 0, width = 0, height = 0;
};

// Thrown by End to leave the running handler at once; only the runtime catches it.
struct ProgramEnded {};

// The runtime core: delivers events to handlers one at a time, keeps the
// activation rule, reports run-time errors and ends the program. Backends feed it
// user input through the entry points below; everything the program asks of the
// platform goes through the Platform ports.
class Runtime {
 public:
  Runtime(Platform& platform, RandomGenerator& random);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  Platform& Port() const { return platform_; }

  // Screen object.
  ScreenInfo Metrics() const { return platform_.Screen(); }
  float ScreenWidth() const;
  float ScreenHeight() const;
  float TwipsPerPixelX() const { return Metrics().twipsPerPixelX; }
  float TwipsPerPixelY() const { return Metrics().twipsPerPixelY; }

  int MsgBox(std::string_view prompt, int style, std::string_view title);
  void Randomize() { random_.Randomize(); }
  float Rnd() { return random_.Next(); }
  // Stops the program at once: no statement after it and no further handler runs.
  [[noreturn]] void End();
  // The ClipCursor system call, declared from user32.
  void ClipCursor(const ClipRect& rect);

  TwipsRect OuterRectTwips(const Form& form) const;
  void Show(Form& form);
  void ControlChanged(Form& form, const Control& control);

  // Runs program code outside any user event (start-up, loading a form) under
  // the same error handling as a handler.
  void Run(const std::function<void()>& code);
  // Loads a form: raises its Load event.
  void Load(Form& form);

  // User input, each call one event. Events arriving while a handler runs (from
  // the nested loop of a modal message box) are dropped.
  void MouseDown(Form& form, PixelPoint client);
  void MouseUp(Form& form, PixelPoint client);
  // A command button pressed by mouse or keyboard, or a control pressed through
  // assistive technology.
  void Click(Control& control);
  // A key pressed on the form's window: Tab and the arrows move the focus (an
  // arrow onto a choice chooses it); any other key clicks the control the
  // form's design binds to it. Keys held with Control, Alt or the system key,
  // and the repeats of a held key, do nothing.
  void KeyPress(Form& form, const KeyStroke& stroke);
  // Assistive technology moved the focus to a node of the form's tree.
  void Focus(Form& form, int node);
  // A window of the program became the active window.
  void Activated(Form& form);
  // The window is asked to close.
  void QueryUnload(Form& form, int unloadMode);
  // The window is closing and nothing may refuse or put it off: someone else
  // destroyed it, or the session is ending. Outside a handler its QueryUnload
  // runs as for any close; inside one (a message box is open) the program ends
  // at once. Either way the program has ended afterwards.
  void Closing(Form& form, int unloadMode);

  bool Ended() const { return ended_; }
  bool Busy() const { return depth_ > 0; }
  const Form* ActiveForm() const { return active_; }
  bool CursorConfined() const { return confined_; }

 private:
  void Raise(Form& form, const Control* control, Event event, EventArgs& args);
  // A click of the control, then what follows it for the keyboard focus and a
  // screen reader, before the Activate events it caused.
  void Press(Form& form, Control& control, bool focusIt);
  void MoveFocus(Form& form, int node);
  void Guarded(const std::function<void()>& code, const std::function<void()>& after = {});
  void MakeActive(Form& form);
  void DeliverPending();
  void Stop();
  void ReleaseCursor();

  Platform& platform_;
  RandomGenerator& random_;
  Form* active_ = nullptr;
  std::deque<Form*> pendingActivate_;
  Control* pressed_ = nullptr;
  int depth_ = 0;
  bool ended_ = false;
  bool confined_ = false;
};

}  // namespace rt
