// Random input storms on the real windows: thousands of seeded clicks, double
// clicks, drags, keys, close requests and window manager actions, the game
// restarted whenever it ends, and what must always hold checked after every
// event. QUINTAREL_STORM_SEED repeats a storm (its decisions; the timing of a
// loaded machine may still differ), QUINTAREL_STORM_EVENTS lengthens it;
// tools/soak.sh runs them long, and whole games in a row (QUINTAREL_SOAK_GAMES).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "Game.h"

namespace qt_tests {
namespace {

using namespace std::chrono_literals;

constexpr int kScreenWidth = 1280, kScreenHeight = 1024;
// Generous for a Debug build under ASan on two loaded cores.
constexpr auto kStartTimeout = 30s;
constexpr auto kExitTimeout = 10s;
// How long the program may still run without any window on its way out.
constexpr auto kWindowlessGrace = 5s;
// How long a pointer pushed out of the held rectangle may take to be back.
constexpr auto kHoldGrace = 1500ms;
constexpr auto kMenuWait = 2s;
const std::string kMainTitle = " Quintarel", kWinTitle = "Vyhodnocení", kBoxTitle = "Chyba!";

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

long RssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

bool Inside(const Rect& r, int x, int y) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; }

std::string Text(const Rect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

class Storm {
 public:
  Storm(const std::string& name, bool windowManager, std::uint64_t seed)
      : name_(name), wm_(windowManager), seed_(seed), rng_(seed) {
    if (wm_) x_.StartWindowManager();
  }
  ~Storm() { Stop(); }

  void Run(long events);
  // Whole games, each played through to OK, one after the other.
  void PlayGames(int games);
  std::string Summary() const;
  const std::vector<std::string>& Findings() const { return findings_; }

 private:
  // What is on the screen of the running game.
  struct View {
    std::optional<WindowId> main, win, box;  // shown (viewable)
    // Managed by the window manager, shown or not (iconified, on another desktop).
    std::optional<WindowId> mainManaged, winManaged, boxManaged;
    bool winActive = false, popup = false;
    Rect mainRect, winRect, winOuter;
    bool AnyWindow() const { return main || win || box || mainManaged || winManaged || boxManaged; }
  };

  int Random(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  View Observe() const;
  std::optional<rt::PixelPoint> PointOn(const std::string& form, const rt::Control* control = nullptr);

  void Start();
  void Stop();
  void Check();
  void CheckHeld();
  void Ended();
  void Abandon();
  void Finding(const std::string& what);
  void Step(const std::string& what, const std::string& kind = "other");
  // What came of the last step, for the record of the game.
  void Note(const std::string& what) { steps_.push_back("    " + what); }

  void Event();
  void ClickAt(int x, int y, int clicks, const std::string& what);
  void Drag(int x0, int y0, int x1, int y1, bool withAlt);
  void ExpectEnd(const std::string& what, const std::function<void()>& again);

  std::string name_;
  bool wm_;
  std::uint64_t seed_;
  std::mt19937_64 rng_;
  XServer x_{kScreenWidth, kScreenHeight};
  Layout lay_{15.0f};
  std::unique_ptr<Program> game_;
  View view_;

  long events_ = 0;
  int games_ = 0, evaluations_ = 0;
  long holdChecks_ = 0;
  bool reachedEvaluation_ = false;
  std::vector<Rect> held_;  // the evaluation window's outer rectangles seen while active
  // Where it last stood before it was seen active: the window may be activated
  // there and then moved before the storm looks again.
  std::optional<Rect> shownInactive_;
  bool winSeen_ = false;
  std::string kind_ = "other", endingKind_;
  std::vector<std::string> steps_;  // of the running game
  std::map<std::string, int> exits_;
  std::vector<std::string> findings_;
  long rss_ = 0, firstRss_ = 0, lastRss_ = 0, maxRss_ = 0;
};

Storm::View Storm::Observe() const {
  View v;
  for (const XServer::Client& c : x_.Clients()) {
    const bool managed = c.wmState == 1 || c.wmState == 3;  // NormalState, IconicState
    if (c.title == kMainTitle) {
      if (c.viewable) v.main = c.id;
      if (managed) v.mainManaged = c.id;
    } else if (c.title == kWinTitle) {
      if (c.viewable) v.win = c.id;
      if (managed) v.winManaged = c.id;
    } else if (c.title == kBoxTitle) {
      if (c.viewable) v.box = c.id;
      if (managed) v.boxManaged = c.id;
    }
  }
  v.popup = x_.PopupShown();
  if (v.main) v.mainRect = x_.Geometry(*v.main);
  if (v.win) {
    v.winRect = x_.Geometry(*v.win);
    v.winOuter = x_.Frame(*v.win);
    v.winActive = (wm_ ? x_.ActiveWindow() : x_.FocusedWindow()) == *v.win;
  }
  return v;
}

void Storm::Step(const std::string& what, const std::string& kind) {
  ++events_;
  kind_ = kind;
  steps_.push_back("#" + std::to_string(events_) + " " + what);
  if (steps_.size() > 60) steps_.erase(steps_.begin());
}

void Storm::Finding(const std::string& what) {
  std::ostringstream text;
  text << name_ << ", seed " << seed_ << ", event " << events_ << ", game " << games_ + 1 << ": " << what
       << "\n  steps of this game (last 60):";
  for (const std::string& step : steps_) text << "\n    " << step;
  text << "\n  windows:";
  for (const XServer::Client& c : x_.Clients())
    text << " \"" << c.title << "\"" << (c.viewable ? " shown" : "") << " WM_STATE " << c.wmState << ";";
  findings_.push_back(text.str());
  std::fprintf(stderr, "FINDING: %s\n", findings_.back().c_str());
}

void Storm::Start() {
  steps_.clear();
  held_.clear();
  shownInactive_.reset();
  winSeen_ = false;
  reachedEvaluation_ = false;
  rss_ = 0;
  const std::string seed = std::to_string(rng_() % 1000000000);
  steps_.push_back("start, QUINTAREL_TEST_SEED=" + seed);
  game_ = std::make_unique<Program>(x_.Name(),
                                    std::vector<std::pair<std::string, std::string>>{{"QUINTAREL_TEST_SEED", seed}});
  if (!WaitUntil([&] { return x_.FindWindow(kMainTitle) || !game_->Running(); }, kStartTimeout)) {
    Finding("no main window " + std::to_string(kStartTimeout.count()) + " s after the start");
    Abandon();
  } else if (!game_->Running()) {
    endingKind_ = "at start";
    Ended();
  }
}

// Ends a game left running, as a user would: the message box answered, then
// the main window closed.
void Storm::Stop() {
  if (!game_ || !game_->Running()) return;
  view_ = Observe();
  // The box may be hidden with its owner (iconified): it is answered all the same.
  if (const std::optional<WindowId> box = view_.box ? view_.box : view_.boxManaged) {
    x_.CloseWindow(*box);
    WaitUntil([&] { return !(view_ = Observe()).box && !view_.boxManaged; });
  }
  const std::optional<WindowId> main = view_.main ? view_.main : view_.mainManaged;
  if (main) x_.CloseWindow(*main);
  if (game_->WaitExit(kExitTimeout)) {
    endingKind_ = "end of storm";
    Ended();
  } else {
    Finding("closing the main window did not end the program");
    Abandon();
  }
}

void Storm::Ended() {
  const std::optional<int> status = game_->WaitExit(0ms);
  const std::string err = game_->Stderr();
  if (err.find("Sanitizer") != std::string::npos || err.find("runtime error:") != std::string::npos)
    Finding("a sanitizer report, status " + std::to_string(status.value_or(-1)) + ":\n" + err);
  else if (game_->Signalled() || status != 0)
    Finding("the program ended with status " + std::to_string(status.value_or(-1)) + "\n  stderr: " + err);
  // Whatever held the pointer went with the program.
  for (const auto& [px, py] : {std::pair{3, 4}, std::pair{Random(0, kScreenWidth - 1), Random(0, kScreenHeight - 1)}}) {
    int x = -1, y = -1;
    const bool free = WaitUntil(
        [&] {
          x_.MoveTo(px, py);
          x_.PointerAt(x, y);
          return x == px && y == py;
        },
        kHoldGrace);
    if (!free)
      Finding("the program has ended, but the pointer sent to " + std::to_string(px) + "," + std::to_string(py) +
              " is at " + std::to_string(x) + "," + std::to_string(y));
  }
  ++exits_[(status == 0 ? "" : "failed, ") + (endingKind_.empty() ? kind_ : endingKind_)];
  ++games_;
  evaluations_ += reachedEvaluation_;
  if (games_ == 1) firstRss_ = rss_;
  lastRss_ = rss_;
  game_.reset();
  endingKind_.clear();
}

// After a finding the game is killed, and the storm goes on with a new one.
void Storm::Abandon() {
  ++exits_["killed after a finding"];
  ++games_;
  evaluations_ += reachedEvaluation_;
  game_.reset();
}

void Storm::CheckHeld() {
  if (std::find_if(held_.begin(), held_.end(), [&](const Rect& r) {
        return r.x == view_.winOuter.x && r.y == view_.winOuter.y && r.width == view_.winOuter.width &&
               r.height == view_.winOuter.height;
      }) == held_.end())
    held_.push_back(view_.winOuter);
  // The rectangle is taken when the window is activated and stays when it is
  // moved: any rectangle the active window had will do, or the one it had when
  // last seen before its activation.
  ++holdChecks_;
  int x = 0, y = 0;
  const auto inside = [&] {
    x_.PointerAt(x, y);
    return std::any_of(held_.begin(), held_.end(), [&](const Rect& r) { return Inside(r, x, y); }) ||
           (shownInactive_ && Inside(*shownInactive_, x, y));
  };
  if (inside() || WaitUntil(inside, kHoldGrace)) return;
  view_ = Observe();
  if (!game_->Running() || !view_.win || !view_.winActive || view_.popup) return;
  std::string rects;
  for (const Rect& r : held_) rects += " " + Text(r);
  if (shownInactive_) rects += "; before it was seen active " + Text(*shownInactive_);
  Finding("the evaluation window is active, but the pointer is at " + std::to_string(x) + "," + std::to_string(y) +
          ", outside its rectangles" + rects);
  Abandon();
}

void Storm::Check() {
  if (!game_) return;
  if (!game_->Running()) return Ended();
  view_ = Observe();
  rss_ = std::max(rss_, RssKb(game_->Pid()));
  maxRss_ = std::max(maxRss_, rss_);
  if (!view_.AnyWindow()) {
    // Either on its way out, or a window is on its way to the screen (the
    // window manager has not taken it on yet).
    endingKind_ = kind_;
    WaitUntil([&] { return !game_->Running() || (view_ = Observe()).AnyWindow(); }, kWindowlessGrace);
    if (!game_->Running()) return Ended();
    endingKind_.clear();
    if (!view_.AnyWindow()) {
      Finding("the program runs without a window");
      return Abandon();
    }
  }
  if (view_.win) {
    reachedEvaluation_ = true;
    if (!view_.winActive) {
      shownInactive_ = view_.winOuter;
    } else if (!winSeen_) {
      // First seen already active: it came up, was activated and may have
      // been dragged by the last event before the storm looked. It came up
      // where its design puts it.
      const rt::PixelPoint at = rt::ClientOrigin(lay_.Win().Design(), lay_.Screen());
      shownInactive_ = Rect{view_.winOuter.x + at.x - view_.winRect.x, view_.winOuter.y + at.y - view_.winRect.y,
                            view_.winOuter.width, view_.winOuter.height};
    }
    winSeen_ = true;
  }
  if (view_.win && view_.winActive && !view_.popup) CheckHeld();
}

void Storm::ExpectEnd(const std::string& what, const std::function<void()>& again) {
  endingKind_ = what;
  if (game_->WaitExit(kExitTimeout)) return Ended();
  // What the window manager does may stand between the user and OK: a window
  // menu that opened late and took the key or the click, a move or resize of
  // its own that holds the keyboard and pointer (openbox, now and then, after
  // a storm of drags on a held window), the main window raised over OK. A user
  // presses Escape, brings the evaluation window forward (activated anew, it
  // holds the pointer where it is now) and tries again: then OK must work.
  Note(std::string("OK did not react") + (x_.PopupShown() ? ", a window menu is up" : "") +
       (x_.OtherClientCanGrab() ? "" : ", the pointer is grabbed") +
       "; Escape, the main and then the evaluation window activated, and again");
  x_.Key("Escape");
  for (const bool win : {false, true}) {
    const View v = Observe();
    const std::optional<WindowId> target = win ? v.win : v.main;
    if (!target) continue;
    if (wm_)
      x_.Activate(*target);
    else
      x_.Focus(*target);
    WaitUntil([&] { return (wm_ ? x_.ActiveWindow() : x_.FocusedWindow()) == *target; }, 2s);
  }
  view_ = Observe();
  again();
  if (game_->WaitExit(kExitTimeout)) return Ended();
  Finding(what +
          " (OK of the evaluation window) did not end the program, nor did it again once nothing stood in "
          "the way");
  Abandon();
}

// A point of a control (a random one when none is given) of a shown window,
// on the screen; nothing when the window is not shown.
std::optional<rt::PixelPoint> Storm::PointOn(const std::string& form, const rt::Control* control) {
  const bool main = form == kMainTitle;
  if (!(main ? view_.main : view_.win)) return std::nullopt;
  const Rect r = main ? view_.mainRect : view_.winRect;
  const auto& controls = main ? lay_.Main().Controls() : lay_.Win().Controls();
  if (!control) control = controls[static_cast<std::size_t>(Random(0, static_cast<int>(controls.size()) - 1))].get();
  const rt::PixelRect c = lay_.Rect(*control);
  return rt::PixelPoint{r.x + c.left + Random(0, std::max(0, c.width - 1)),
                        r.y + c.top + Random(0, std::max(0, c.height - 1))};
}

void Storm::ClickAt(int x, int y, int clicks, const std::string& what) {
  const View before = view_;
  x_.MoveTo(x, y);
  int px = 0, py = 0;
  x_.PointerAt(px, py);
  // Where the pointer really is, held or not, decides whether OK is pressed.
  const rt::PixelRect ok = lay_.Rect(lay_.Win().cmdOK);
  const bool onOk = before.win && !before.popup &&
                    Inside({before.winRect.x + ok.left, before.winRect.y + ok.top, ok.width, ok.height}, px, py);
  Step((clicks == 2 ? "double click " : "click ") + what + " at " + std::to_string(x) + "," + std::to_string(y) +
           (px != x || py != y ? " (pointer at " + std::to_string(px) + "," + std::to_string(py) + ")" : ""),
       onOk ? "OK clicked" : "click");
  for (int i = 0; i < clicks; ++i) {
    x_.Button(1, true);
    x_.Button(1, false);
  }
  if (onOk)
    ExpectEnd("OK clicked", [&] {
      if (!view_.win) return;
      x_.MoveTo(view_.winRect.x + ok.left + ok.width / 2, view_.winRect.y + ok.top + ok.height / 2);
      x_.Button(1, true);
      x_.Button(1, false);
    });
}

void Storm::Drag(int x0, int y0, int x1, int y1, bool withAlt) {
  Step(std::string(withAlt ? "Alt+" : "") + "drag " + std::to_string(x0) + "," + std::to_string(y0) + " to " +
           std::to_string(x1) + "," + std::to_string(y1),
       "drag");
  x_.MoveTo(x0, y0);
  // Alt held through the drag: the window manager's move.
  if (withAlt) x_.KeyHeld("Alt_L", true);
  x_.Button(1, true);
  const int steps = Random(2, 6);
  for (int i = 1; i <= steps; ++i) x_.MoveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
  x_.Button(1, false);
  if (withAlt) x_.KeyHeld("Alt_L", false);
}

// One random event, biased to the two windows and their controls.
void Storm::Event() {
  const quintarel::FrmMain& main = lay_.Main();
  if (!view_.main && !view_.win && !view_.box && Chance(0.2)) {
    // Nothing shown: the window manager holds them all (iconified, on another
    // desktop); a user would bring one back.
    const std::optional<WindowId> held = view_.mainManaged ? view_.mainManaged : view_.winManaged;
    if (held) {
      Step("restore a window the window manager holds", "restore");
      return x_.Activate(*held);
    }
  }
  const int pick = Random(0, 99);
  const bool winUp = view_.win.has_value();
  if (pick < 20 && view_.main) {
    // The next round: the first one whose score label is still white.
    int next = 1;
    while (next < 7 &&
           x_.Pixel(view_.mainRect.x + lay_.Rect(main.Ctl("lblScore" + std::to_string(next))).left + 3,
                    view_.mainRect.y + lay_.Rect(main.Ctl("lblScore" + std::to_string(next))).top + 3) != kWhite)
      ++next;
    const rt::PixelPoint p = lay_.ClickPoint(main.Ctl("lblClick" + std::to_string(Chance(0.8) ? next : Random(1, 7))));
    ClickAt(view_.mainRect.x + p.x, view_.mainRect.y + p.y, 1, "round label");
  } else if (pick < 28 && view_.main) {
    const std::string n = std::to_string(Random(1, 7));
    const rt::PixelPoint p = Chance(0.5) ? lay_.ClickPoint(main.Ctl("lblNoSelectNo" + n))
                                         : lay_.ClickPoint(main.Ctl("lblNoSelect" + n), 0.1, 0.5);
    ClickAt(view_.mainRect.x + p.x, view_.mainRect.y + p.y, 1, "number " + n);
  } else if (pick < 46) {
    // A control of either window, the evaluation window's while it is up.
    const bool onWin = winUp && Chance(0.6);
    const rt::Control* control = nullptr;
    if (onWin && Chance(0.25)) control = &lay_.Win().cmdOK;
    const std::optional<rt::PixelPoint> p = PointOn(onWin ? kWinTitle : kMainTitle, control);
    if (!p) return Step("nothing to click");
    ClickAt(p->x, p->y, Chance(0.2) ? 2 : 1, onWin ? "on the evaluation window" : "on the main window");
  } else if (pick < 51) {
    // Anywhere: the desktop, a frame, the message box.
    if (view_.box && Chance(0.5)) {
      const Rect b = x_.Geometry(*view_.box);
      ClickAt(b.x + Random(0, b.width - 1), b.y + Random(0, b.height - 1), 1, "on the message box");
    } else {
      ClickAt(Random(0, kScreenWidth - 1), Random(0, kScreenHeight - 1), Chance(0.2) ? 2 : 1, "anywhere");
    }
  } else if (pick < 56) {
    // A drag: from a control or, with a window manager, a title bar.
    const bool fromWin = winUp && Chance(0.5);
    std::optional<rt::PixelPoint> from = PointOn(fromWin ? kWinTitle : kMainTitle);
    if (!from) return Step("nothing to drag");
    if (wm_ && Chance(0.5)) from->y = (fromWin ? view_.winRect.y : view_.mainRect.y) - 8;
    Drag(from->x, from->y, from->x + Random(-300, 300), from->y + Random(-300, 300), wm_ && Chance(0.3));
  } else if (pick < 72) {
    static const std::vector<std::string> keys{"Return", "space", "Escape", "Tab", "1", "5", "7", "0", "a", "q", "x"};
    const std::string key = keys[static_cast<std::size_t>(Random(0, static_cast<int>(keys.size()) - 1))];
    const bool pressesOk = view_.win && view_.winActive && !view_.popup && (key == "Return" || key == "space");
    Step("key " + key, pressesOk ? "OK by " + key : "key");
    x_.Key(key.c_str());
    if (pressesOk) ExpectEnd("OK by " + key, [&] { x_.Key(key.c_str()); });
  } else if (pick < 73) {
    Step("Alt+F4", "Alt+F4");
    x_.KeyWith("Alt_L", "F4");
  } else if (pick < 75) {
    const int which = Random(0, 2);
    const std::optional<WindowId> target = which == 0 ? view_.main : which == 1 ? view_.win : view_.box;
    if (!target) return Step("nothing to close");
    Step(std::string("close request to the ") + (which == 0   ? "main window"
                                                 : which == 1 ? "evaluation window"
                                                              : "message box"),
         which == 0   ? "close main window"
         : which == 1 ? "close evaluation window"
                      : "close message box");
    x_.CloseWindow(*target);
  } else if (pick < 84 || (!wm_ && pick >= 91)) {
    // The pointer pushed away, absolutely or relatively.
    if (Chance(0.5)) {
      const int x = Random(-50, kScreenWidth + 50), y = Random(-50, kScreenHeight + 50);
      Step("pointer to " + std::to_string(x) + "," + std::to_string(y));
      x_.MoveTo(x, y);
    } else {
      const int dx = Random(-1500, 1500), dy = Random(-1500, 1500);
      Step("pointer by " + std::to_string(dx) + "," + std::to_string(dy));
      x_.MoveBy(dx, dy);
    }
  } else if (pick < 88) {
    const bool win = winUp && Chance(0.5);
    const std::optional<WindowId> target = win ? view_.win : view_.main;
    if (!target) return Step("nothing to activate");
    Step(std::string("activate the ") + (win ? "evaluation" : "main") + " window");
    if (wm_)
      x_.Activate(*target);
    else  // as a window manager would, the modal message box rather than its owner
      x_.Focus(view_.box && !win ? *view_.box : *target);
  } else if (pick < 91) {
    const bool win = winUp && Chance(0.5);
    const std::optional<WindowId> target = win ? view_.win : view_.main;
    if (!target) return Step("nothing to move");
    const Rect r = win ? view_.winRect : view_.mainRect;
    const int x = std::clamp(r.x + Random(-200, 200), 0, 800), y = std::clamp(r.y + Random(-200, 200), 0, 750);
    Step(std::string("move the ") + (win ? "evaluation" : "main") + " window to " + std::to_string(x) + "," +
         std::to_string(y));
    x_.Move(*target, x, y);
  } else if (pick < 96) {
    // Iconify a shown window, or restore one the window manager holds.
    const bool win = view_.winManaged && Chance(0.5);
    const std::optional<WindowId> shown = win ? view_.win : view_.main;
    const std::optional<WindowId> managed = win ? view_.winManaged : view_.mainManaged;
    if (shown && Chance(0.5)) {
      Step(std::string("iconify the ") + (win ? "evaluation" : "main") + " window", "iconify");
      x_.Iconify(*shown);
    } else if (managed) {
      Step(std::string("restore the ") + (win ? "evaluation" : "main") + " window", "restore");
      x_.Activate(*managed);
    } else {
      Step("nothing to iconify");
    }
  } else {
    // The window menu: from the keyboard or by a right click on a title bar.
    if (Chance(0.5) || !view_.main) {
      Step("window menu (Alt+space)", "window menu");
      x_.KeyWith("Alt_L", "space");
      // The menu takes the keys that follow once it is up, and the window
      // manager may take its time; a chord it missed opens nothing.
      if (!WaitUntil([&] { return x_.PopupShown(); }, kMenuWait)) Note("no window menu opened");
    } else {
      const Rect r = winUp && Chance(0.5) ? view_.winRect : view_.mainRect;
      Step("window menu (right click on the title bar)", "window menu");
      x_.MoveTo(r.x + Random(0, r.width - 1), r.y - 8);
      x_.Button(3, true);
      x_.Button(3, false);
      if (!WaitUntil([&] { return x_.PopupShown(); }, kMenuWait)) Note("no window menu opened");
    }
  }
}

void Storm::Run(long events) {
  const long end = events_ + events;
  while (events_ < end) {
    if (!game_) Start();
    if (!game_) continue;
    Check();
    if (!game_) continue;
    Event();
    Check();
  }
  Stop();
}

void Storm::PlayGames(int games) {
  const quintarel::FrmMain& main = lay_.Main();
  for (int g = 0; g < games; ++g) {
    Start();
    if (!game_) continue;
    Check();
    // Played as a user would: once the window shows its background.
    WaitUntil([&] { return x_.Pixel(view_.mainRect.x + 2, view_.mainRect.y + 2) == kPink; });
    for (int k = 1; k <= 7 && game_; ++k) {
      const std::string n = std::to_string(Random(1, 7));
      const rt::PixelPoint number = lay_.ClickPoint(main.Ctl("lblNoSelectNo" + n));
      ClickAt(view_.mainRect.x + number.x, view_.mainRect.y + number.y, 1, "number " + n);
      const rt::PixelPoint round = lay_.ClickPoint(main.Ctl("lblClick" + std::to_string(k)));
      ClickAt(view_.mainRect.x + round.x, view_.mainRect.y + round.y, 1, "round " + std::to_string(k));
      const rt::PixelRect score = lay_.Rect(main.Ctl("lblScore" + std::to_string(k)));
      if (!WaitUntil(
              [&] { return x_.Pixel(view_.mainRect.x + score.left + 3, view_.mainRect.y + score.top + 3) != kWhite; }))
        Finding("round " + std::to_string(k) + " shows no result");
      Check();
    }
    if (!game_) continue;
    if (!WaitUntil([&] { return (view_ = Observe()).win && view_.winActive; }, kStartTimeout)) {
      Finding("no active evaluation window after round 7");
      Abandon();
      continue;
    }
    Step("pointer to 0,0");
    x_.MoveTo(0, 0);
    Check();
    if (!game_) continue;
    const std::optional<rt::PixelPoint> ok = PointOn(kWinTitle, &lay_.Win().cmdOK);
    ClickAt(ok->x, ok->y, 1, "OK");
    if (game_) {
      Finding("clicking OK did not count as OK");
      Abandon();
    }
  }
}

std::string Storm::Summary() const {
  std::ostringstream text;
  text << name_ << ", seed " << seed_ << ": " << events_ << " events, " << games_ << " games (" << evaluations_
       << " reached the evaluation window, " << holdChecks_ << " checks of the held pointer); exits:";
  for (const auto& [kind, count] : exits_) text << " " << kind << " " << count << ";";
  text << " findings: " << findings_.size() << "; RSS of the first game " << firstRss_ << " kB, of the last "
       << lastRss_ << " kB, largest " << maxRss_ << " kB";
  return text.str();
}

std::uint64_t StormSeed() {
  const std::uint64_t clock = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  return EnvNumber("QUINTAREL_STORM_SEED", clock % 1000000000);
}

void RunStorm(bool windowManager) {
  const std::uint64_t seed = StormSeed();
  SCOPED_TRACE("QUINTAREL_STORM_SEED=" + std::to_string(seed) + " repeats this storm");
  Storm storm(windowManager ? "openbox storm" : "bare X storm", windowManager, seed);
  storm.Run(static_cast<long>(EnvNumber("QUINTAREL_STORM_EVENTS", 2000)));
  std::printf("%s\n", storm.Summary().c_str());
  for (const std::string& finding : storm.Findings()) ADD_FAILURE() << finding;
}

TEST(Storm, BareServer) { RunStorm(false); }
TEST(Storm, WindowManager) { RunStorm(true); }

// Not in CTest: tools/soak.sh runs it.
TEST(Soak, GamesInARow) {
  const std::uint64_t seed = StormSeed();
  SCOPED_TRACE("QUINTAREL_STORM_SEED=" + std::to_string(seed));
  Storm storm("games in a row", false, seed);
  storm.PlayGames(static_cast<int>(EnvNumber("QUINTAREL_SOAK_GAMES", 200)));
  std::printf("%s\n", storm.Summary().c_str());
  for (const std::string& finding : storm.Findings()) ADD_FAILURE() << finding;
}

}  // namespace
}  // namespace qt_tests
