#include "runtime/qt/WaylandConstraint.h"

#include <pointer-constraints-unstable-v1-client-protocol.h>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <QGuiApplication>
#include <cstring>

namespace quintarel::qt {

namespace {

QPlatformNativeInterface* Native() { return qGuiApp ? QGuiApplication::platformNativeInterface() : nullptr; }

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, zwp_pointer_constraints_v1_interface.name) == 0)
    *static_cast<zwp_pointer_constraints_v1**>(data) = static_cast<zwp_pointer_constraints_v1*>(
        wl_registry_bind(registry, name, &zwp_pointer_constraints_v1_interface, 1));
}

void GlobalRemoved(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener kRegistry{Global, GlobalRemoved};

}  // namespace

std::unique_ptr<CursorClip> WaylandConstraint::Create() {
  QPlatformNativeInterface* native = Native();
  auto* display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display")) : nullptr;
  if (!display) return nullptr;
  // Qt reads the display on a thread of its own and dispatches its queue; the
  // constraint's objects live on a queue of their own, so that looking for the
  // globals waits for nothing but them.
  wl_event_queue* queue = wl_display_create_queue(display);
  auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
  wl_registry* registry = wl_display_get_registry(wrapper);
  wl_proxy_wrapper_destroy(wrapper);
  zwp_pointer_constraints_v1* constraints = nullptr;
  wl_registry_add_listener(registry, &kRegistry, &constraints);
  wl_display_roundtrip_queue(display, queue);
  wl_registry_destroy(registry);
  if (!constraints) {
    wl_event_queue_destroy(queue);
    return nullptr;
  }
  return std::unique_ptr<CursorClip>(new WaylandConstraint(display, queue, constraints));
}

WaylandConstraint::WaylandConstraint(wl_display* display, wl_event_queue* queue,
                                     zwp_pointer_constraints_v1* constraints)
    : display_(display), queue_(queue), constraints_(constraints) {}

WaylandConstraint::~WaylandConstraint() {
  Release();
  zwp_pointer_constraints_v1_destroy(constraints_);
  wl_display_flush(display_);
  DropEvents();
  wl_event_queue_destroy(queue_);
}

void WaylandConstraint::Apply(QWindow& window, const QRect&) {
  QPlatformNativeInterface* native = Native();
  if (!native) return;
  auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window));
  // Qt's own pointer of the seat: it stands for the seat the user works with,
  // and Qt replaces it when the seat's pointer comes and goes.
  auto* pointer = static_cast<wl_pointer*>(native->nativeResourceForIntegration("wl_pointer"));
  if (!surface || !pointer) return;  // nothing to hold, or nothing that could be held
  DropEvents();
  // No region: the whole surface.
  confined_ = zwp_pointer_constraints_v1_confine_pointer(constraints_, surface, pointer, nullptr,
                                                         ZWP_POINTER_CONSTRAINTS_V1_LIFETIME_PERSISTENT);
  wl_display_flush(display_);
}

void WaylandConstraint::Unapply() {
  if (confined_) zwp_confined_pointer_v1_destroy(confined_);
  confined_ = nullptr;
  wl_display_flush(display_);
  DropEvents();
}

void WaylandConstraint::DropEvents() { wl_display_dispatch_queue_pending(display_, queue_); }

}  // namespace quintarel::qt
