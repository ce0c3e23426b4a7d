#include "Compositor.h"

#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace qt_tests {

using namespace std::chrono_literals;

Compositor::Window Compositor::WaitWindow(const std::string& title, std::chrono::milliseconds timeout) const {
  std::optional<Window> window, before;
  // A compositor places a new window in steps: it is placed once two looks agree.
  WaitUntil(
      [&] {
        before = window;
        window = FindWindow(title);
        return window && before && window->content.width > 0 && window->content.x == before->content.x &&
               window->content.y == before->content.y && window->content.width == before->content.width &&
               window->content.height == before->content.height;
      },
      timeout);
  if (!window) throw std::runtime_error("no window \"" + title + "\" on " + Name());
  return *window;
}

Rgb Compositor::Pixel(int x, int y) const {
  const QRgb p = Grab({x, y, 1, 1}).pixel(0, 0);
  return {qRed(p), qGreen(p), qBlue(p)};
}

void Compositor::Click() {
  Button(true);
  std::this_thread::sleep_for(15ms);
  Button(false);
  // Far enough apart that two clicks never make a double click.
  std::this_thread::sleep_for(60ms);
}

void AskHelper(int in, int out, const std::string& command, const std::string& who) {
  if (!command.empty()) {
    const std::string line = command + "\n";
    if (write(in, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
      throw std::runtime_error(who + " is gone");
  }
  std::string answer;
  char c = 0;
  while (read(out, &c, 1) == 1 && c != '\n') answer += c;
  if (answer != "ok") throw std::runtime_error(who + " did not take \"" + command + "\"");
}

}  // namespace qt_tests
