#pragma once

#include <memory>

#include "runtime/qt/CursorClip.h"

struct wl_display;
struct wl_event_queue;
struct zwp_pointer_constraints_v1;
struct zwp_confined_pointer_v1;

namespace quintarel::qt {

// The hold on native Wayland: a persistent pointer constraint that confines the
// pointer to the window's surface. The compositor places the windows there and
// the constraint belongs to the surface, so it follows the window wherever it
// is: the rectangle, in coordinates the program cannot know, is not needed. The
// constrained region is the whole surface, which is the window's outer
// rectangle: a compositor's own title bar lies outside the surface (and outside
// the program's reach, as the frame's buttons are with XWayland), while Qt's
// client-side frame, where Qt draws one, is part of it. The compositor enforces
// the constraint while the window has its focus.
class WaylandConstraint : public CursorClip {
 public:
  // Null when the compositor offers no pointer constraints.
  static std::unique_ptr<CursorClip> Create();
  ~WaylandConstraint() override;

 protected:
  void Apply(QWindow& window, const QRect& rect) override;
  void Unapply() override;

 private:
  WaylandConstraint(wl_display* display, wl_event_queue* queue, zwp_pointer_constraints_v1* constraints);
  // Events meant for the constraint are of no use to the program; they are
  // dropped so that they do not pile up.
  void DropEvents();

  wl_display* display_;
  wl_event_queue* queue_;
  zwp_pointer_constraints_v1* constraints_;
  zwp_confined_pointer_v1* confined_ = nullptr;
};

}  // namespace quintarel::qt
