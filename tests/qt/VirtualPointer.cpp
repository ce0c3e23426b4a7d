// One virtual pointer on the compositor under test, alive as long as this
// process: a pointer that came and went with every event would make the seat's
// pointer come and go too. Reads one command a line from stdin and answers "ok"
// once the compositor has processed it:
//   at X Y W H   absolute motion to X,Y of a W x H layout
//   by DX DY     relative motion, which pointer constraints confine
//   press | release   the left button
#include <linux/input-event-codes.h>
#include <wayland-client.h>
#include <wlr-virtual-pointer-unstable-v1-client-protocol.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Globals {
  wl_seat* seat = nullptr;
  zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  auto* globals = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
    globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void GlobalRemoved(void*, wl_registry*, std::uint32_t) {}

std::uint32_t Now() {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "virtual_pointer: no Wayland display\n");
    return 1;
  }
  Globals globals;
  static constexpr wl_registry_listener kListener{Global, GlobalRemoved};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kListener, &globals);
  wl_display_roundtrip(display);
  if (!globals.manager) {
    std::fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
    return 1;
  }
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
  wl_display_roundtrip(display);
  std::cout << "ok" << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "at") {
      std::uint32_t x = 0, y = 0, w = 1, h = 1;
      in >> x >> y >> w >> h;
      zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), x, y, w, h);
    } else if (command == "by") {
      double dx = 0, dy = 0;
      in >> dx >> dy;
      zwlr_virtual_pointer_v1_motion(pointer, Now(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
    } else if (command == "press" || command == "release") {
      zwlr_virtual_pointer_v1_button(
          pointer, Now(), BTN_LEFT,
          command == "press" ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
      std::fprintf(stderr, "virtual_pointer: unknown command %s\n", command.c_str());
      return 1;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
  if (globals.seat) wl_seat_destroy(globals.seat);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
