// Makes the README's screenshots from the real program: plays a game by clicks on
// a private X server and saves the windows as they are shown.
#include <QImage>
#include <cstdio>
#include <string>
#include <thread>

#include "Game.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  using namespace std::chrono_literals;
  qt_tests::Session s;
  const std::array<bool, 7> hits{true, false, true, true, false, true, false};
  for (int k = 1; k <= 4; ++k) {
    const int drawn = s.Draws()[static_cast<std::size_t>(k - 1)];
    s.Select(hits[static_cast<std::size_t>(k - 1)] ? drawn : drawn % 7 + 1);
    s.PlayRound(k);
  }
  s.Select(4);
  std::this_thread::sleep_for(200ms);
  const qt_tests::Rect main = s.MainRect();
  if (!s.MainShot().save(QString::fromStdString(out + "/main-window.png"))) return 1;
  for (int k = 5; k <= 7; ++k) {
    const int drawn = s.Draws()[static_cast<std::size_t>(k - 1)];
    s.Select(hits[static_cast<std::size_t>(k - 1)] ? drawn : drawn % 7 + 1);
    s.PlayRound(k);
  }
  const qt_tests::WindowId win = s.X().WaitWindow("Vyhodnocení");
  std::this_thread::sleep_for(300ms);
  if (!s.X().Grab(main).save(QString::fromStdString(out + "/evaluation-window.png"))) return 1;
  if (!s.X().Grab(s.X().Geometry(win)).save(QString::fromStdString(out + "/evaluation-window-alone.png"))) return 1;
  s.X().Key("Return");
  const std::optional<int> status = s.Game().WaitExit();
  return status && *status == 0 ? 0 : 1;
}
