// Measures the game against the floor programs (Floor.h) from outside, as a user
// meets them, on one private Xvfb: exec -> window mapped, exec -> first complete
// frame, click -> repaint and peak RSS, for the Qt build and for the Win32
// build under Wine. Runs alternate game and floor so that both share whatever
// else the machine is doing; a warm-up run of each comes first.
//
//   quintarel_bench [--runs N] [--clicks N] QT_GAME QT_FLOOR [WINE_RUN WIN_GAME WIN_FLOOR WIN_KEEPER]
//
// WIN_KEEPER is a Windows program that holds the Wine desktop open while it
// runs (the tests' probe with "idle"), so every start finds it there.
#include "Floor.h"
#include "Game.h"
#include "XServer.h"

// After Qt's headers (Game.h): Xlib's macros clash with them.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using qt_tests::Rgb;
namespace fw = floor_window;

// In a child about to exec: what the programs print is not the bench's output.
void Quiet() {
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  dup2(devnull, 2);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Rgb ToRgb(unsigned rgb) {
  return {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)};
}

// What is measured of one program, in its client coordinates.
struct Subject {
  std::vector<std::string> argv;
  std::string title;
  rt::PixelPoint origin;  // the client area on the screen
  rt::PixelPoint framePoint;
  Rgb frameColour;                       // framePoint shows it once the first frame is complete
  std::array<rt::PixelPoint, 2> clicks;  // clicked in turn
  rt::PixelRect watch;                   // what a click repaints
  std::array<Rgb, 2> ink;                // shown in watch after each of the two clicks
  std::array<QImage, 2> after;           // watch after each of the two clicks, learnt in the warm-up
};

struct Samples {
  std::vector<double> map, frame, click, rssMiB;
};

class Bench {
 public:
  Bench(qt_tests::XServer& x, int clicks) : x_(x), clicks_(clicks) {
    // Windows come and go under the bench's feet; their errors are no failure.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // Told of every drawing on the screen, the bench looks at pixels only then
    // and otherwise sleeps: polling would take processor time from the program
    // it measures.
    int error = 0;
    if (!XDamageQueryExtension(x_.Dpy(), &damageEvent_, &error)) throw std::runtime_error("no DAMAGE extension");
    damage_ = XDamageCreate(x_.Dpy(), DefaultRootWindow(x_.Dpy()), XDamageReportNonEmpty);
  }

  void Run(Subject& s, Samples* out) {
    WatchMaps();
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(s.argv);
    struct Reap {
      pid_t pid;
      ~Reap() {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
      }
    } reap{pid};
    const Clock::time_point mapped = WaitMapped(s.title, 60s);
    const rt::PixelPoint frame{s.origin.x + s.framePoint.x, s.origin.y + s.framePoint.y};
    const std::optional<Clock::time_point> painted =
        WaitFor([&] { return x_.Pixel(frame.x, frame.y) == s.frameColour; }, 20s);
    if (!painted) throw std::runtime_error(s.title + ": the first frame never showed");
    // Let start-up finish (activation, the window manager's messages) before clicking.
    std::this_thread::sleep_for(400ms);
    const qt_tests::Rect watch{s.origin.x + s.watch.left, s.origin.y + s.watch.top, s.watch.width, s.watch.height};
    std::vector<double> clicks;
    for (int i = 0; i < clicks_; ++i) {
      const rt::PixelPoint& p = s.clicks[static_cast<std::size_t>(i % 2)];
      QImage& after = s.after[static_cast<std::size_t>(i % 2)];
      XTestFakeMotionEvent(x_.Dpy(), -1, s.origin.x + p.x, s.origin.y + p.y, CurrentTime);
      XTestFakeButtonEvent(x_.Dpy(), 1, True, CurrentTime);
      XSync(x_.Dpy(), False);
      std::this_thread::sleep_for(30ms);
      const QImage before = x_.Grab(watch);
      const Clock::time_point released = Clock::now();
      XTestFakeButtonEvent(x_.Dpy(), 1, False, CurrentTime);
      XFlush(x_.Dpy());
      const bool learning = after.isNull();
      const std::optional<Clock::time_point> repainted =
          WaitFor([&] { return learning ? x_.Grab(watch) != before : x_.Grab(watch) == after; }, 5s);
      if (!repainted) throw std::runtime_error(s.title + ": a click was not repainted");
      clicks.push_back(Ms(*repainted - released));
      if (learning) {
        std::this_thread::sleep_for(300ms);
        after = x_.Grab(watch);
        if (!Shows(after, s.ink[static_cast<std::size_t>(i % 2)]))
          throw std::runtime_error(s.title + ": a click repainted something else");
      }
      // Time to settle; the two points lie apart, so no two clicks make a double click.
      std::this_thread::sleep_for(150ms);
    }
    if (!out) return;
    out->map.push_back(Ms(mapped - start));
    out->frame.push_back(Ms(*painted - start));
    out->click.insert(out->click.end(), clicks.begin(), clicks.end());
    out->rssMiB.push_back(PeakRssKiB(pid) / 1024.0);
  }

 private:
  static bool Shows(const QImage& image, Rgb colour) {
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) == qRgb(colour.r, colour.g, colour.b)) return true;
    return false;
  }

  // Looks again whenever something was drawn, and now and then besides.
  template <typename Condition>
  std::optional<Clock::time_point> WaitFor(Condition condition, Clock::duration timeout) {
    Display* dpy = x_.Dpy();
    const Clock::time_point end = Clock::now() + timeout;
    while (Clock::now() < end) {
      // Emptied before looking: whatever is drawn after the look is reported.
      XDamageSubtract(dpy, damage_, None, None);
      if (condition()) return Clock::now();
      if (!XPending(dpy)) {
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, 20);
      }
      while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
      }
    }
    return std::nullopt;
  }

  // Top-level windows are children of the root, or of the Wine desktop's window.
  void WatchMaps() {
    Display* dpy = x_.Dpy();
    const Window rootWindow = DefaultRootWindow(dpy);
    XSelectInput(dpy, rootWindow, SubstructureNotifyMask);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy, rootWindow, &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count; ++i) XSelectInput(dpy, children[i], SubstructureNotifyMask);
      if (children) XFree(children);
    }
    XSync(dpy, True);  // and forget what happened before
  }

  Clock::time_point WaitMapped(const std::string& title, Clock::duration timeout) {
    Display* dpy = x_.Dpy();
    const Clock::time_point end = Clock::now() + timeout;
    while (Clock::now() < end) {
      while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == MapNotify && x_.Title(event.xmap.window) == title) return Clock::now();
      }
      // Asleep until the server says something.
      pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
      poll(&fd, 1, 20);
    }
    throw std::runtime_error("no window \"" + title + "\" was mapped");
  }

  pid_t Spawn(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QUINTAREL_TEST_SEED"})
        unsetenv(name);
      setenv("DISPLAY", x_.Name().c_str(), 1);
      Quiet();
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    return pid;
  }

  // The process's high-water mark of resident memory. Under Wine the spawned
  // process has become the Windows program itself by now.
  static double PeakRssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6));
    return 0;
  }

  qt_tests::XServer& x_;
  int clicks_;
  int damageEvent_ = 0;
  Damage damage_ = 0;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRows(const char* build, const Samples& game, const Samples& floor) {
  const auto row = [build](const char* what, const char* unit, const std::vector<double>& a,
                           const std::vector<double>& b) {
    const double ma = Median(a), mb = Median(b);
    std::printf("| %-13s | %-24s | %9.2f %-3s | %9.2f %-3s | %5.2fx |\n", build, what, ma, unit, mb, unit,
                mb > 0 ? ma / mb : 0.0);
  };
  row("exec -> window mapped", "ms", game.map, floor.map);
  row("exec -> first frame", "ms", game.frame, floor.frame);
  row("click -> repaint", "ms", game.click, floor.click);
  row("peak RSS", "MiB", game.rssMiB, floor.rssMiB);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 15, clicks = 10;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (arg == "--clicks" && i + 1 < argc)
      clicks = std::atoi(argv[++i]);
    else
      paths.push_back(arg);
  }
  if ((paths.size() != 2 && paths.size() != 6) || runs < 1 || clicks < 2) {
    std::fprintf(stderr,
                 "usage: quintarel_bench [--runs N] [--clicks N] QT_GAME QT_FLOOR "
                 "[WINE_RUN WIN_GAME WIN_FLOOR WIN_KEEPER]\n");
    return 2;
  }
  const bool wine = paths.size() == 6;

  // Every position of the game's window from its design tables, at 96 dpi.
  const qt_tests::Layout layout(15.0f);
  const quintarel::FrmMain& main = layout.Main();
  const rt::PixelPoint gameOrigin = rt::ClientOrigin(main.Design(), layout.Screen());
  const rt::PixelRect ring = layout.Rect(main.Ctl("lblClick1"));
  const auto game = [&](std::vector<std::string> command) {
    return Subject{
        std::move(command),
        std::string(main.Design().caption),
        gameOrigin,
        {ring.left + ring.width / 2, ring.top + ring.height / 2},
        {255, 255, 192},
        {layout.ClickPoint(main.Ctl("lblNoSelect3"), 0.1, 0.5), layout.ClickPoint(main.Ctl("lblNoSelect5"), 0.1, 0.5)},
        layout.Rect(main.lblNumber),
        {Rgb{0, 0, 255}, Rgb{0, 0, 255}},
        {}};
  };
  const auto floor = [](std::vector<std::string> command) {
    return Subject{
        std::move(command),
        FLOOR_TITLE,
        {fw::kLeft, fw::kTop},
        {fw::kPatchLeft + fw::kPatchWidth / 2, fw::kPatchTop + fw::kPatchHeight / 2},
        ToRgb(fw::kPatchColours[0]),
        {rt::PixelPoint{fw::kClicks[0][0], fw::kClicks[0][1]}, rt::PixelPoint{fw::kClicks[1][0], fw::kClicks[1][1]}},
        {fw::kPatchLeft, fw::kPatchTop, fw::kPatchWidth, fw::kPatchHeight},
        {ToRgb(fw::kPatchColours[1]), ToRgb(fw::kPatchColours[0])},
        {}};
  };

  struct Pair {
    const char* build;
    Subject game, floor;
    Samples gameSamples, floorSamples;
  };
  std::vector<Pair> pairs;
  pairs.push_back({"Qt", game({paths[0]}), floor({paths[1]}), {}, {}});
  if (wine) pairs.push_back({"Win32 (Wine)", game({paths[2], paths[3]}), floor({paths[2], paths[4]}), {}, {}});

  qt_tests::XServer x(1280, 1024);
  Bench bench(x, clicks);
  pid_t keeper = -1;
  try {
    if (wine) {
      keeper = fork();
      if (keeper == 0) {
        setenv("DISPLAY", x.Name().c_str(), 1);
        Quiet();
        execl(paths[2].c_str(), paths[2].c_str(), paths[5].c_str(), "idle", static_cast<char*>(nullptr));
        _exit(127);
      }
      x.WaitWindow("Quintarel - Wine desktop", 120s);
    }
    for (Pair& p : pairs) {
      bench.Run(p.game, nullptr);
      bench.Run(p.floor, nullptr);
    }
    for (int run = 0; run < runs; ++run) {
      for (Pair& p : pairs) {
        // Each goes first in every other run.
        if (run % 2 == 0) bench.Run(p.game, &p.gameSamples);
        bench.Run(p.floor, &p.floorSamples);
        if (run % 2 == 1) bench.Run(p.game, &p.gameSamples);
      }
      std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quintarel_bench: %s\n", e.what());
    if (keeper > 0) kill(keeper, SIGKILL);
    return 1;
  }
  if (keeper > 0) {
    kill(keeper, SIGKILL);
    int status = 0;
    waitpid(keeper, &status, 0);
  }

  std::printf("%d runs after a warm-up, %d clicks each; medians, ratio = game / floor\n\n", runs, clicks);
  std::printf("| %-13s | %-24s | %13s | %13s | %6s |\n", "build", "measure", "game", "floor", "ratio");
  std::printf("|---------------|--------------------------|--------------:|--------------:|-------:|\n");
  for (const Pair& p : pairs) PrintRows(p.build, p.gameSamples, p.floorSamples);
  return 0;
}
