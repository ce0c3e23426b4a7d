// The user's pointer on KWin, through its fake input: one device that lives as
// long as this process. Reads one command a line from stdin and answers "ok"
// once KWin has processed it:
//   at X Y       absolute motion to X,Y of the screen
//   by DX DY     relative motion, which pointer constraints confine
//   press | release   the left button
#include <fake-input-client-protocol.h>
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
  if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
    *static_cast<org_kde_kwin_fake_input**>(data) =
        static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3));
}

void GlobalRemoved(void*, wl_registry*, std::uint32_t) {}

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "kwin_input: no Wayland display\n");
    return 1;
  }
  org_kde_kwin_fake_input* input = nullptr;
  static constexpr wl_registry_listener kListener{Global, GlobalRemoved};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kListener, &input);
  wl_display_roundtrip(display);
  if (!input) {
    std::fprintf(stderr, "kwin_input: KWin offers no fake input (KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)\n");
    return 1;
  }
  // KWin takes no input from a device that has not said who it is.
  org_kde_kwin_fake_input_authenticate(input, "Quintarel tests", "plays the game in the Wayland tests");
  if (wl_display_roundtrip(display) < 0) return 1;
  std::cout << "ok" << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "at") {
      double x = 0, y = 0;
      in >> x >> y;
      org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(x), wl_fixed_from_double(y));
    } else if (command == "by") {
      // KWin drops a motion that would leave a pointer constraint instead of
      // stopping it at the edge: the motion goes in steps of a pixel, as a
      // mouse's does, so that a held pointer ends at the edge it was pushed to.
      int dx = 0, dy = 0;
      in >> dx >> dy;
      const int steps = std::max(std::abs(dx), std::abs(dy));
      for (int i = 1; i <= steps; ++i) {
        const int x = dx * i / steps - dx * (i - 1) / steps, y = dy * i / steps - dy * (i - 1) / steps;
        org_kde_kwin_fake_input_pointer_motion(input, wl_fixed_from_int(x), wl_fixed_from_int(y));
        // Not more at once than the socket takes.
        if (i % 256 == 0 && wl_display_roundtrip(display) < 0) return 1;
      }
    } else if (command == "press" || command == "release") {
      org_kde_kwin_fake_input_button(
          input, BTN_LEFT, command == "press" ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
      std::fprintf(stderr, "kwin_input: unknown command %s\n", command.c_str());
      return 1;
    }
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;
  }
  org_kde_kwin_fake_input_destroy(input);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
