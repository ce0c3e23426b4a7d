#include "app/Backend.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "Project.h"
#include "app/Icon.h"
#include "runtime/Rnd.h"
#include "runtime/web/CursorClip.h"
#include "runtime/web/FormWindow.h"
#include "runtime/web/WebPlatform.h"

namespace quintarel {

namespace {

// clang-format off
EM_JS(void, PageStart, (const std::uint8_t* icon, int width, int height), {
  Quintarel.start();
  Quintarel.icon(HEAPU8.slice(icon, icon + width * height * 4), width, height);
});
// clang-format on

// The game lives as long as the page: the page's events drive it after main.
struct Game {
  web::WebPlatform platform;
  std::unique_ptr<rt::ClockRandom> random;
  std::unique_ptr<Project> project;
};
Game* game = nullptr;

// QUINTAREL_TEST_SEED, for the tests only (the page sets it from its address):
// the generator reseeds from this constant instead of the clock.
std::unique_ptr<rt::ClockRandom> MakeRandom() {
  const char* seed = std::getenv("QUINTAREL_TEST_SEED");
  if (!seed || !*seed) return std::make_unique<rt::ClockRandom>();
  const std::uint64_t value = std::strtoull(seed, nullptr, 10);
  return std::make_unique<rt::ClockRandom>([value] { return value; });
}

// Each call from the page is one event: what it changes is painted once, when it is done.
struct Event {
  Event() {
    if (game) batch.emplace(game->platform);
  }
  std::optional<web::WebPlatform::Batch> batch;
};

web::FormWindow* WindowOf(int id) { return game && !game->platform.Ended() ? game->platform.Window(id) : nullptr; }

}  // namespace

int RunBackend(int, char**) {
  const IconImage icon = ProgramIcon();
  std::vector<std::uint8_t> rgba;
  for (int i = 0; i < icon.width * icon.height; ++i) {
    const std::uint32_t argb = icon.argb[i];
    rgba.insert(rgba.end(), {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
                             static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)});
  }
  PageStart(rgba.data(), icon.width, icon.height);
  game = new Game;
  game->random = MakeRandom();
  game->project = std::make_unique<Project>(game->platform, *game->random);
  game->platform.Attach(game->project->Rt());
  const Event start;
  game->project->Start();
  return 0;
}

}  // namespace quintarel

// The page's input. Each call is one event; the page makes none while the
// program waits in a message box.
extern "C" {

EMSCRIPTEN_KEEPALIVE void quintarel_mouse(int window, int kind, int x, int y) {
  const quintarel::Event event;
  quintarel::web::FormWindow* w = quintarel::WindowOf(window);
  if (!w) return;
  if (kind == 0) w->MouseDown({x, y});
  if (kind == 1) w->MouseUp({x, y});
  if (kind == 2) w->MouseMove({x, y});
}

EMSCRIPTEN_KEEPALIVE void quintarel_key(int window, int key, int modifiers, int repeat) {
  const quintarel::Event event;
  if (quintarel::web::FormWindow* w = quintarel::WindowOf(window)) w->Key(key, modifiers, repeat != 0);
}

EMSCRIPTEN_KEEPALIVE void quintarel_button(int window, int index) {
  const quintarel::Event event;
  if (quintarel::web::FormWindow* w = quintarel::WindowOf(window)) w->ButtonClicked(index);
}

// A screen reader's action on a node of the window's accessible tree: 0 presses, 1 focuses.
EMSCRIPTEN_KEEPALIVE void quintarel_node(int window, int node, int action) {
  const quintarel::Event event;
  quintarel::web::FormWindow* w = quintarel::WindowOf(window);
  if (!w) return;
  if (action == 0) w->Accessibility().Pressed(node);
  if (action == 1) w->Accessibility().Focused(node);
}

EMSCRIPTEN_KEEPALIVE void quintarel_lock(int state) {
  const quintarel::Event event;
  if (quintarel::game && !quintarel::game->platform.Ended()) quintarel::game->platform.Clip().LockChanged(state);
}

EMSCRIPTEN_KEEPALIVE void quintarel_hold_again() {
  const quintarel::Event event;
  if (quintarel::game && !quintarel::game->platform.Ended()) quintarel::game->platform.Clip().HoldAgain();
}

EMSCRIPTEN_KEEPALIVE void quintarel_held_move(int dx, int dy) {
  const quintarel::Event event;
  if (quintarel::game && !quintarel::game->platform.Ended()) quintarel::game->platform.Clip().Moved(dx, dy);
}

EMSCRIPTEN_KEEPALIVE void quintarel_held_button(int down) {
  const quintarel::Event event;
  if (quintarel::game && !quintarel::game->platform.Ended()) quintarel::game->platform.Clip().Button(down != 0);
}

EMSCRIPTEN_KEEPALIVE void quintarel_restore(int window) {
  const quintarel::Event event;
  if (quintarel::web::FormWindow* w = quintarel::WindowOf(window)) {
    w->Show();
    quintarel::game->platform.Activate(*w);
  }
}

EMSCRIPTEN_KEEPALIVE void quintarel_resized() {
  if (quintarel::game) quintarel::game->platform.ScreenChanged();
}

}  // extern "C"
