#include "FakePlatform.h"

#include "runtime/Geometry.h"

namespace testing_support {

rt::PixelPoint CentreOf(const rt::Control& control, const rt::ScreenInfo& screen) {
  const rt::PixelRect r = rt::ControlRect(control, screen);
  return {r.left + r.width / 2, r.top + r.height / 2};
}

void Game::Click(rt::Form& form, std::string_view name) {
  rt::Control& control = form.Ctl(name);
  if (control.Kind() == rt::ControlKind::CommandButton) {
    runtime().Click(control);
    return;
  }
  ClickAt(form, CentreOf(control, platform.screen));
}

}  // namespace testing_support
