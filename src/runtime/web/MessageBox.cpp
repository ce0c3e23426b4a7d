#include "runtime/web/MessageBox.h"

#include <emscripten.h>

#include <string>

namespace quintarel::web {

namespace {

constexpr int kCritical = 16;

// clang-format off
EM_ASYNC_JS(int, PageMessageBox, (const char* title, const char* prompt, int critical), {
  return await Quintarel.messageBox(UTF8ToString(title), UTF8ToString(prompt), critical);
});
// clang-format on

}  // namespace

int ShowMessageBox(std::string_view prompt, int style, std::string_view title) {
  const std::string t(title), p(prompt);
  return PageMessageBox(t.c_str(), p.c_str(), (style & 0x70) == kCritical ? 1 : 0);
}

}  // namespace quintarel::web
