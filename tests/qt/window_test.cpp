// The game in real windows on a private X server, played with XTest's pointer and
// keyboard and checked on the screen's pixels.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <string>
#include <thread>

#include "Game.h"
#include "runtime/qt/Fonts.h"

namespace qt_tests {
namespace {

using namespace std::chrono_literals;

constexpr unsigned long kMinMaxSize = 16 | 32;  // PMinSize | PMaxSize of WM_NORMAL_HINTS

std::vector<std::string> Digits(int from, int to) {
  std::vector<std::string> digits{""};
  for (int d = from; d <= to; ++d) digits.push_back(std::to_string(d));
  return digits;
}

std::vector<std::string> Rates(int rounds) {
  std::vector<std::string> rates{""};
  for (int h = 0; h <= rounds; ++h) rates.push_back(RateText(h, rounds));
  return rates;
}

void ExpectReads(const Reading& reading, const std::string& expected, const std::string& what) {
  EXPECT_EQ(reading.text, expected) << what << " (mismatch " << reading.best << ", next " << reading.runnerUp << ")";
  EXPECT_LT(reading.best, reading.runnerUp) << what << " reads ambiguously";
}

// --- The main window at start -------------------------------------------------

TEST(MainWindow, OpensAsDesigned) {
  Session s;
  const Rect r = s.MainRect();
  EXPECT_EQ(r.x, 221);  // 3315 twips at 15 twips per pixel
  EXPECT_EQ(r.y, 171);  // 2565
  EXPECT_EQ(r.width, 431);
  EXPECT_EQ(r.height, 237);
  EXPECT_EQ(s.X().Title(s.MainWindow()), " Quintarel");

  // Fixed size: the window manager is told the minimum and maximum are its size.
  const std::vector<unsigned long> hints = s.X().Property(s.MainWindow(), "WM_NORMAL_HINTS");
  ASSERT_GE(hints.size(), 9u);
  EXPECT_TRUE((hints[0] & kMinMaxSize) == kMinMaxSize);
  EXPECT_EQ(hints[5], 431u);
  EXPECT_EQ(hints[6], 237u);
  EXPECT_EQ(hints[7], 431u);
  EXPECT_EQ(hints[8], 237u);
  // Minimise and close, no maximise (Motif hints: functions, then decorations).
  const std::vector<unsigned long> motif = s.X().Property(s.MainWindow(), "_MOTIF_WM_HINTS");
  ASSERT_GE(motif.size(), 3u);
  EXPECT_TRUE(motif[1] & 0x08) << "minimise";
  EXPECT_FALSE(motif[1] & 0x10) << "maximise";
  EXPECT_TRUE(motif[1] & 0x20) << "close";
  // The program's icon, 32 x 32.
  const std::vector<unsigned long> icon = s.X().Property(s.MainWindow(), "_NET_WM_ICON");
  ASSERT_GE(icon.size(), 2u + 32 * 32);
  EXPECT_EQ(icon[0], 32u);
  EXPECT_EQ(icon[1], 32u);
  // No evaluation window yet.
  EXPECT_FALSE(s.X().FindWindow("Vyhodnocení"));
}

TEST(MainWindow, StartStatePixels) {
  Session s;
  const Layout& lay = s.Lay();
  const quintarel::FrmMain& main = lay.Main();
  EXPECT_EQ(s.MainPixel(3, 3), kPink);
  // The ring in the middle of round 5's sector, under the round's own label,
  // which draws nothing; and the inner disc below the icon.
  ASSERT_TRUE(lay.Rect(main.Ctl("lblClick5")).Contains({1306 / 15, 2351 / 15}));
  EXPECT_EQ(s.MainPixel(1306 / 15, 2351 / 15), (Rgb{255, 255, 192}));
  EXPECT_EQ(s.MainPixel(1507 / 15, 1982 / 15), kFace);
  // The discs' outlines: black on the outer circle's top, straight above the centre.
  const rt::PixelRect outer = rt::ShapeBounds(main.Ctl("Shape1"), lay.Screen());
  EXPECT_EQ(s.MainPixel(outer.left + outer.width / 2, outer.top), (Rgb{0, 0, 0}));
  EXPECT_EQ(s.MainPixel(outer.left + outer.width / 2, outer.top - 2), kPink);
  // The thick line between rounds 7 and 1 is three pixels wide, the others one:
  // across a row the slanted Line1 is 3 / cos 39 degrees wide, Line2 (slanted
  // alike) one or two pixels, and the level Line7 one pixel high.
  const auto darkAcross = [&](const char* name, bool rows) {
    const rt::PixelLine line = rt::LinePixels(main.Ctl(name), lay.Screen());
    const int mx = (line.from.x + line.to.x) / 2, my = (line.from.y + line.to.y) / 2;
    int dark = 0;
    for (int d = -4; d <= 4; ++d) dark += s.MainPixel(rows ? mx + d : mx, rows ? my : my + d) == Rgb{0, 0, 0};
    return dark;
  };
  const int thick = darkAcross("Line1", true);
  EXPECT_GE(thick, 3);
  EXPECT_LE(thick, 5);
  EXPECT_GE(darkAcross("Line2", true), 1);
  EXPECT_LE(darkAcross("Line2", true), 2);
  EXPECT_EQ(darkAcross("Line7", false), 1);

  const QImage shot = s.MainShot();
  for (int k = 1; k <= 7; ++k) {
    const std::string n = std::to_string(k);
    // The light orange box, with its digit over it.
    const rt::PixelRect box = lay.Rect(main.Ctl("lblNoSelect" + n));
    EXPECT_EQ(s.MainPixel(box.left + 1, box.top + 1), (Rgb{255, 192, 128})) << "box " << k;
    ExpectReads(ReadLabel(shot, lay, main.Ctl("lblNoSelectNo" + n), {255, 192, 128}, Digits(1, 7)), n, "digit " + n);
    // The digit's label is transparent: the box's colour shows round the digit.
    const rt::PixelRect digit = lay.Rect(main.Ctl("lblNoSelectNo" + n));
    EXPECT_EQ(s.MainPixel(digit.left + 1, digit.top + 1), (Rgb{255, 192, 128})) << "digit label " << k;
    EXPECT_EQ(s.MainPixel(digit.left + digit.width - 2, digit.top + digit.height - 2), (Rgb{255, 192, 128}))
        << "digit label " << k;
    // White score labels with a single black border; empty draw labels.
    const rt::PixelRect score = lay.Rect(main.Ctl("lblScore" + n));
    EXPECT_EQ(s.MainPixel(s.ScorePoint(k)), kWhite) << "score " << k;
    EXPECT_EQ(s.MainPixel(score.left, score.top + score.height / 2), (Rgb{0, 0, 0})) << "score border " << k;
    EXPECT_EQ(s.MainPixel(score.left + 1, score.top + score.height / 2), kWhite) << "score border " << k;
    ExpectReads(ReadLabel(shot, lay, main.Ctl("lblNo" + n), kPink, Digits(1, 7)), "", "draw label " + n);
  }
  ExpectReads(ReadLabel(shot, lay, main.Ctl("lblNumber"), kPink, Digits(1, 7)), "", "chosen number");
  ExpectReads(
      ReadLabel(shot, lay, main.Ctl("Label1"), kPink, {"", "Zvolené číslo:", "Zvolene cislo:", "Zvolené čislo:"}),
      "Zvolené číslo:", "caption");
  ExpectReads(ReadLabel(shot, lay, main.Ctl("lblUspesnost"), kPink, {"", "Úspěšnost:", "Uspesnost:", "Úspěšnost"}),
              "Úspěšnost:", "rate caption");
  // The icon at its own size in the middle of the inner disc: not the disc's grey.
  const rt::PixelRect image = lay.Rect(main.Ctl("Image1"));
  EXPECT_NE(s.MainPixel(image.left + image.width / 2, image.top + image.height / 2), kFace);
}

// Every caption of both windows has all its letters in the face it is drawn in.
TEST(MainWindow, FontsCoverEveryCzechLetter) {
  Layout lay(15.0f);
  int checked = 0;
  for (const rt::Form* form : {static_cast<const rt::Form*>(&lay.Main()), static_cast<const rt::Form*>(&lay.Win())}) {
    for (const auto& control : form->Controls()) {
      const QFont font = quintarel::qt::MakeFont(control->Font(), rt::FontPixelHeight(control->Font(), lay.Screen()));
      const QFontMetrics metrics(font);
      for (const char32_t c : QString::fromStdString(control->Caption()).toUcs4()) {
        EXPECT_TRUE(metrics.inFontUcs4(c)) << control->Name() << ": U+" << std::hex << static_cast<unsigned>(c);
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 50);
}

// --- Playing ------------------------------------------------------------------

TEST(Game, MessageBoxWithoutChoiceChangesNothing) {
  Session s;
  const quintarel::FrmMain& main = s.Lay().Main();
  const QImage before = s.MainShot();
  s.ClickMain(main.Ctl("lblClick1"));
  const WindowId box = s.X().WaitWindow("Chyba!");
  // Modal, over the main window, with the critical (red) icon.
  const std::vector<unsigned long> state = s.X().Property(box, "_NET_WM_STATE");
  EXPECT_NE(std::find(state.begin(), state.end(), s.X().AtomOf("_NET_WM_STATE_MODAL")), state.end());
  ASSERT_TRUE(WaitUntil([&] {
    const QImage shot = s.X().Grab(s.X().Geometry(box));
    int red = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QRgb p = shot.pixel(x, y);
        red += qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90;
      }
    return red > 100;
  })) << "no critical icon";
  // While the box is up, nothing on the main window can be chosen or played.
  s.Select(3);
  s.ClickMain(main.Ctl("lblClick1"));
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(s.X().FindWindow("Chyba!")) << "the box stays until it is answered";
  EXPECT_EQ(s.X().Geometry(box).width, s.X().Geometry(*s.X().FindWindow("Chyba!")).width);
  // Its one button takes Enter.
  s.X().Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return !s.X().FindWindow("Chyba!"); }));
  std::this_thread::sleep_for(150ms);
  EXPECT_TRUE(s.MainShot() == before) << "the main window changed";
  EXPECT_FALSE(s.X().FindWindow("Vyhodnocení"));
  EXPECT_TRUE(s.Game().Running());
  // And the game goes on normally afterwards.
  s.Select(s.Draws()[0]);
  s.PlayRound(1);
  EXPECT_EQ(s.MainPixel(s.ScorePoint(1)), kHitGreen);
}

// A change repaints only what the control covers: after a game's changes (a
// caption, a colour, enabling, in and out of a frame) the window looks exactly
// as when painted whole, at a whole and at a fractional scale.
TEST(Game, ChangesRepaintAsTheWholeWindowWould) {
  for (const double scale : {1.0, 1.5}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    Session s(20261207, scale);
    for (int k = 1; k <= 3; ++k) {
      s.Select(k + 2, k % 2 == 0);
      s.PlayRound(k);
    }
    s.Select(7);
    std::this_thread::sleep_for(200ms);
    const QImage changed = s.MainShot();
    ASSERT_TRUE(s.X().RepaintWhole(s.MainWindow())) << "the window never painted itself anew";
    const QImage whole = s.MainShot();
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y)
      for (int x = 0; x < whole.width(); ++x)
        if (whole.pixel(x, y) != changed.pixel(x, y) && differing++ == 0)
          ADD_FAILURE() << "first at " << x << ", " << y;
    EXPECT_EQ(differing, 0) << "pixels that only a whole repaint got right";
  }
}

TEST(Game, LaterRoundsWaitTheirTurn) {
  Session s;
  const quintarel::FrmMain& main = s.Lay().Main();
  s.Select(1);
  for (int k = 2; k <= 7; ++k) s.ClickMain(main.Ctl("lblClick" + std::to_string(k)));
  std::this_thread::sleep_for(150ms);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(s.MainPixel(s.ScorePoint(k)), kWhite) << "round " << k;
  EXPECT_FALSE(s.X().FindWindow("Vyhodnocení"));
}

// A whole game: draws, colours and rates round by round, then the evaluation
// window at its place with its record agreeing with the main window.
TEST(Game, WholeGameByClicks) {
  Session s;
  const Layout& lay = s.Lay();
  const quintarel::FrmMain& main = lay.Main();
  const std::array<bool, 7> hits{false, true, false, false, true, false, true};
  int hitCount = 0;
  std::array<Rgb, 7> scores{};
  for (int k = 1; k <= 7; ++k) {
    const std::string n = std::to_string(k);
    const int drawn = s.Draws()[static_cast<std::size_t>(k - 1)];
    const bool hit = hits[static_cast<std::size_t>(k - 1)];
    const int chosen = hit ? drawn : drawn % 7 + 1;
    s.Select(chosen, k % 2 == 1);
    ASSERT_TRUE(WaitUntil([&] {
      return ReadLabel(s.MainShot(), lay, main.Ctl("lblNumber"), kPink, Digits(1, 7)).text == std::to_string(chosen);
    })) << "choice before round "
        << k;
    s.PlayRound(k);
    hitCount += hit;
    std::this_thread::sleep_for(50ms);
    const QImage shot = s.MainShot();
    scores[static_cast<std::size_t>(k - 1)] = s.MainPixel(s.ScorePoint(k));
    EXPECT_EQ(scores[static_cast<std::size_t>(k - 1)], hit ? kHitGreen : kMissRed) << "round " << k;
    ExpectReads(ReadLabel(shot, lay, main.Ctl("lblNo" + n), kPink, Digits(1, 7)), std::to_string(drawn),
                "draw of round " + n);
    ExpectReads(ReadLabel(shot, lay, main.Ctl("lblPercent"), kPink, Rates(k)), RateText(hitCount, k),
                "rate after round " + n);
    if (k < 7) {
      EXPECT_FALSE(s.X().FindWindow("Vyhodnocení")) << "round " << k;
    }
  }
  EXPECT_EQ(hitCount, 3);

  const WindowId win = s.X().WaitWindow("Vyhodnocení");
  const Rect r = s.X().Geometry(win);
  EXPECT_EQ(r.x, 347);  // 5205 twips
  EXPECT_EQ(r.y, 226);  // 3390
  EXPECT_EQ(r.width, 167);
  EXPECT_EQ(r.height, 151);
  // A tool window over the main one, without icon.
  unsigned long type = 0;
  const std::vector<unsigned long> kind = s.X().Property(win, "_NET_WM_WINDOW_TYPE", &type);
  ASSERT_FALSE(kind.empty());
  EXPECT_EQ(kind[0], s.X().AtomOf("_NET_WM_WINDOW_TYPE_UTILITY"));
  const std::vector<unsigned long> owner = s.X().Property(win, "WM_TRANSIENT_FOR");
  ASSERT_EQ(owner.size(), 1u);
  EXPECT_EQ(owner[0], s.MainWindow());
  EXPECT_TRUE(s.X().Property(win, "_NET_WM_ICON").empty());

  const quintarel::FrmWin& w = lay.Win();
  ASSERT_TRUE(WaitUntil([&] { return s.X().Pixel(r.x + 2, r.y + 2) == kFace; }));
  const QImage shot = s.X().Grab(r);
  for (int i = 0; i < 7; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    const int drawn = s.Draws()[k];
    const int chosen = hits[k] ? drawn : drawn % 7 + 1;
    const rt::PixelRect mark = lay.Rect(w.lblBarva.Item(i));
    const QRgb markPixel = shot.pixel(mark.left + 1, mark.top + 1);
    EXPECT_EQ((Rgb{qRed(markPixel), qGreen(markPixel), qBlue(markPixel)}), hits[k] ? kHitGreen : kMarkRed)
        << "mark " << i;
    // The evaluation window now covers some score labels: their colours as shown after each round.
    EXPECT_EQ(qGreen(markPixel) == 192, scores[k] == kHitGreen) << "mark and score label of round " << i + 1;
    ExpectReads(ReadLabel(shot, lay, w.lblVaseCislo.Item(i), kFace, Digits(0, 7)), std::to_string(chosen),
                "chosen in round " + std::to_string(i + 1));
    ExpectReads(ReadLabel(shot, lay, w.lblSpravneCislo.Item(i), kFace, Digits(0, 7)), std::to_string(drawn),
                "drawn in round " + std::to_string(i + 1));
  }
  ExpectReads(ReadLabel(shot, lay, w.lblSpravneOdhady, kFace, Digits(0, 7)), "3", "count of hits");
  ExpectReads(ReadLabel(shot, lay, w.lblUspesnost, kFace, Rates(7)), RateText(3, 7), "rate");
  ExpectReads(ReadLabel(shot, lay, w.Ctl("lblSpravneText"), kFace, {"", "Správné odhady:", "Spravne odhady:"}),
              "Správné odhady:", "caption");
}

// The same seeded game by keys alone and by the mouse: the same screens. Under a
// window manager, which gives the main window back the keyboard when the
// message box closes.
TEST(Game, WholeGameByKeysIsTheGameByMouse) {
  constexpr std::uint64_t kSeed = 20261207;
  Session keys(kSeed, 1, true);
  XServer& x = keys.X();
  const Layout& lay = keys.Lay();
  const auto chosen = [&] { return ReadLabel(keys.MainShot(), lay, lay.Main().lblNumber, kPink, Digits(1, 7)).text; };
  // No control takes the focus: the keys go to the window itself.
  x.Key("Return");
  const WindowId box = x.WaitWindow("Chyba!");
  ASSERT_TRUE(WaitUntil([&] { return x.ActiveWindow() == box; })) << "the box has no focus";
  x.Key("3");  // not for the box, and dropped by the main window while the box is up
  x.Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return !x.FindWindow("Chyba!"); })) << "Enter did not close the box";
  ASSERT_TRUE(WaitUntil([&] { return x.ActiveWindow() == keys.MainWindow(); }));
  EXPECT_EQ(chosen(), "");
  // The keypad's digits (with Num Lock) choose as the top row's do.
  x.Key("Num_Lock");
  x.Key("KP_5");
  ASSERT_TRUE(WaitUntil([&] { return chosen() == "5"; })) << "keypad 5";
  x.Key("Num_Lock");
  x.Key("3");
  ASSERT_TRUE(WaitUntil([&] { return chosen() == "3"; })) << "3";
  for (int k = 1; k <= 7; ++k) {
    x.Key(k == 7 ? "space" : k == 4 ? "KP_Enter" : "Return");
    ASSERT_TRUE(WaitUntil([&] { return keys.MainPixel(keys.ScorePoint(k)) != kWhite; })) << "round " << k;
    const bool hit = keys.Draws()[static_cast<std::size_t>(k - 1)] == 3;
    EXPECT_EQ(keys.MainPixel(keys.ScorePoint(k)), hit ? kHitGreen : kMissRed) << "round " << k;
  }
  const WindowId keyWin = x.WaitWindow("Vyhodnocení");
  const Rect keyRect = x.Geometry(keyWin);
  ASSERT_TRUE(WaitUntil([&] { return x.Pixel(keyRect.x + 2, keyRect.y + 2) == kFace; }));
  std::this_thread::sleep_for(100ms);
  const QImage keyMain = keys.MainShot(), keyEval = x.Grab(keyRect);

  Session mouse(kSeed, 1, true);
  mouse.ClickMain(mouse.Lay().Main().Ctl("lblClick1"));
  mouse.X().WaitWindow("Chyba!");
  mouse.X().Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return !mouse.X().FindWindow("Chyba!"); }));
  mouse.Select(3);
  for (int k = 1; k <= 7; ++k) mouse.PlayRound(k);
  const WindowId mouseWin = mouse.X().WaitWindow("Vyhodnocení");
  const Rect mouseRect = mouse.X().Geometry(mouseWin);
  ASSERT_TRUE(WaitUntil([&] { return mouse.X().Pixel(mouseRect.x + 2, mouseRect.y + 2) == kFace; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(mouse.MainShot() == keyMain) << "the main windows differ";
  EXPECT_TRUE(mouse.X().Grab(mouseRect) == keyEval) << "the evaluation windows differ";

  // After round 7 Enter goes to the evaluation window's OK.
  x.Key("Return");
  const std::optional<int> status = keys.Game().WaitExit();
  ASSERT_TRUE(status) << "Enter did not press OK";
  EXPECT_EQ(*status, 0);
}

// --- The evaluation window holds the pointer ------------------------------------

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Point& p) { return out << "(" << p.x << ", " << p.y << ")"; }

Point PointerOf(const XServer& x) {
  Point p;
  x.PointerAt(p.x, p.y);
  return p;
}

// A mouse's relative motion stops at the held rectangle's edges at once, with
// nothing to pull it back; absolute motion (a tablet, a touch screen) and other
// programs' warps are pulled back to the nearest point inside within 100 ms.
void ExpectConfined(XServer& x, const Rect& r) {
  const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
  const Point centre{r.x + r.width / 2, r.y + r.height / 2};
  x.MoveTo(centre.x, centre.y);
  ASSERT_TRUE(WaitUntil([&] { return PointerOf(x) == centre; }, 1s)) << "the centre is not inside";
  struct Step {
    int dx, dy;
    Point stop;
  };
  for (const Step& step : {Step{-4000, 0, {r.x, centre.y}}, Step{4000, 4000, {right, bottom}},
                           Step{-3000, -3000, {r.x, r.y}}, Step{2500, 20, {right, r.y + 20}}}) {
    x.MoveBy(step.dx, step.dy, false);
    EXPECT_EQ(PointerOf(x), step.stop) << "relative motion by " << step.dx << ", " << step.dy;
  }
  for (const Point& to : {Point{5, 5}, Point{4000, 4000}}) {
    const Point inside{std::clamp(to.x, r.x, right), std::clamp(to.y, r.y, bottom)};
    x.MoveTo(to.x, to.y);
    EXPECT_TRUE(WaitUntil([&] { return PointerOf(x) == inside; }, 100ms))
        << "absolute motion to " << to << " is at " << PointerOf(x) << ", not pulled back to " << inside;
  }
}

// Whether the pointer, pushed towards the screen's top-left corner, comes to
// rest at the rectangle's top-left corner: the confinement has taken hold.
bool HeldAt(XServer& x, const Rect& r) {
  return WaitUntil([&] {
    int px = 0, py = 0;
    x.MoveTo(0, 0);
    x.PointerAt(px, py);
    return px == r.x && py == r.y;
  });
}

bool IsFree(XServer& x) {
  x.MoveTo(3, 4);
  return PointerOf(x) == Point{3, 4};
}

void ExpectFree(XServer& x) {
  EXPECT_TRUE(IsFree(x));
  // Not merely a pull-back that has not come yet.
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(PointerOf(x), (Point{3, 4}));
}

// The program ended with status 0 and left the pointer free.
void ExpectEndedAndFree(Session& s) {
  const std::optional<int> status = s.Game().WaitExit();
  ASSERT_TRUE(status) << "the program did not end";
  EXPECT_EQ(*status, 0);
  ExpectFree(s.X());
}

rt::PixelPoint OkPoint(const Session& s, const Rect& win) {
  const rt::PixelRect ok = s.Lay().Rect(s.Lay().Win().cmdOK);
  return {win.x + ok.left + ok.width / 2, win.y + ok.top + ok.height / 2};
}

TEST(Evaluation, HoldsThePointerUntilOk) {
  Session s;
  const WindowId win = s.PlayGame({true, true, true, true, true, true, true});
  const Rect r = s.X().Geometry(win);
  ASSERT_TRUE(HeldAt(s.X(), r)) << "the pointer is not confined";
  ExpectConfined(s.X(), r);
  const rt::PixelPoint ok = OkPoint(s, r);
  s.X().Click(ok.x, ok.y);
  ExpectEndedAndFree(s);
}

TEST(Evaluation, KeyboardPressesOkButNotEscape) {
  for (const char* key : {"Return", "space"}) {
    SCOPED_TRACE(key);
    Session s;
    const WindowId win = s.PlayGame({false, false, false, false, false, false, false});
    const Rect r = s.X().Geometry(win);
    ASSERT_TRUE(HeldAt(s.X(), r));
    s.X().Key("Escape");
    EXPECT_FALSE(s.Game().WaitExit(300ms)) << "Escape ended the program";
    ExpectConfined(s.X(), r);
    s.X().Key(key);
    ExpectEndedAndFree(s);
  }
}

// Moving the window does not move the held rectangle; activating the window
// again after the main window was active confines to where it is then.
TEST(Evaluation, ReactivationConfinesAgainWhereTheWindowIs) {
  Session s;
  const WindowId win = s.PlayGame({true, true, false, false, true, false, false});
  const Rect r = s.X().Geometry(win);
  ASSERT_TRUE(HeldAt(s.X(), r));
  s.X().Focus(s.MainWindow());
  s.X().Move(win, r.x + 120, r.y + 60);
  ASSERT_TRUE(WaitUntil([&] { return s.X().Geometry(win).x == r.x + 120; }));
  std::this_thread::sleep_for(200ms);
  ExpectConfined(s.X(), r);
  s.X().Focus(win);
  const Rect moved{r.x + 120, r.y + 60, r.width, r.height};
  ASSERT_TRUE(HeldAt(s.X(), moved)) << "reactivation did not confine to the moved window";
  ExpectConfined(s.X(), moved);
  // The colouring ran again and changed nothing.
  const QImage shot = s.X().Grab(moved);
  for (int i = 0; i < 7; ++i) {
    const rt::PixelRect mark = s.Lay().Rect(s.Lay().Win().lblBarva.Item(i));
    const QRgb p = shot.pixel(mark.left + 1, mark.top + 1);
    EXPECT_EQ((Rgb{qRed(p), qGreen(p), qBlue(p)}), (i == 0 || i == 1 || i == 4) ? kHitGreen : kMarkRed) << i;
  }
  s.X().Key("Return");
  ExpectEndedAndFree(s);
}

// --- Closing ------------------------------------------------------------------

TEST(Closing, MainWindowMidGameEnds) {
  Session s;
  for (int k = 1; k <= 3; ++k) {
    s.Select(k);
    s.PlayRound(k);
  }
  s.X().CloseWindow(s.MainWindow());
  const std::optional<int> status = s.Game().WaitExit();
  ASSERT_TRUE(status);
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(s.Game().Stderr(), "");
}

TEST(Closing, EitherWindowDuringEvaluationEndsAndFreesThePointer) {
  for (const bool closeMain : {true, false}) {
    SCOPED_TRACE(closeMain ? "main window" : "evaluation window");
    Session s;
    const WindowId win = s.PlayGame({true, false, true, false, true, false, true});
    const Rect r = s.X().Geometry(win);
    ASSERT_TRUE(HeldAt(s.X(), r));
    s.X().CloseWindow(closeMain ? s.MainWindow() : win);
    ExpectEndedAndFree(s);
  }
}

// Another program destroying a window ends the game as its close box would: no
// process without windows, no pointer held over nothing.
TEST(Closing, WindowDestroyedFromOutsideEnds) {
  {
    SCOPED_TRACE("main window mid-game");
    Session s;
    s.Select(4);
    s.PlayRound(1);
    s.X().DestroyWindow(s.MainWindow());
    const std::optional<int> status = s.Game().WaitExit();
    ASSERT_TRUE(status) << "the program runs on without its window";
    EXPECT_EQ(s.Game().Stderr(), "");
    EXPECT_EQ(*status, 0);
  }
  {
    SCOPED_TRACE("evaluation window while it holds");
    Session s;
    const WindowId win = s.PlayGame({false, false, true, false, false, false, false});
    ASSERT_TRUE(HeldAt(s.X(), s.X().Geometry(win)));
    s.X().DestroyWindow(win);
    ExpectEndedAndFree(s);
  }
}

// --- Under a window manager ----------------------------------------------------

// Whether the window manager takes the window for the active one and the
// server has given it the keyboard: what a key of the window manager's, which
// acts on the active window, needs before it is pressed.
bool ReadyForWindowManagerKeys(XServer& x, WindowId window) {
  return WaitUntil([&] { return x.ActiveWindow() == window && x.FocusedWindow() == window; });
}

// Alt+F4 is the window manager's key; the program, slow to end under the
// sanitizers on a loaded machine, may take a while.
std::optional<int> CloseByAltF4(Session& s, WindowId window) {
  if (!ReadyForWindowManagerKeys(s.X(), window)) throw std::runtime_error("the window never had the keyboard");
  s.X().KeyWith("Alt_L", "F4");
  return s.Game().WaitExit(10s);
}

// With a window manager the windows get frames: the pointer is held to the
// evaluation window's whole frame, title bar and close box included, and Alt+F4
// (the window manager's close) ends the program from either window.
TEST(WindowManager, FrameIsHeldAndAltF4Closes) {
  {
    SCOPED_TRACE("main window mid-game");
    Session s(20261207, 1, true);
    s.Select(2);
    s.PlayRound(1);
    const std::optional<int> status = CloseByAltF4(s, s.MainWindow());
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
  }
  {
    SCOPED_TRACE("evaluation window");
    Session s(20261207, 1, true);
    const WindowId win = s.PlayGame({false, true, false, true, false, true, false});
    const Rect client = s.X().Geometry(win);
    EXPECT_EQ(client.x, 347);
    EXPECT_EQ(client.y, 226);
    const std::vector<unsigned long> extents = s.X().Property(win, "_NET_FRAME_EXTENTS");
    ASSERT_EQ(extents.size(), 4u);  // left, right, top, bottom
    ASSERT_GT(extents[2], 0u) << "no title bar";
    const int left = static_cast<int>(extents[0]), right = static_cast<int>(extents[1]);
    const int top = static_cast<int>(extents[2]), bottom = static_cast<int>(extents[3]);
    const Rect frame{client.x - left, client.y - top, client.width + left + right, client.height + top + bottom};
    ASSERT_TRUE(HeldAt(s.X(), frame)) << "the pointer is not held to the frame";
    ExpectConfined(s.X(), frame);
    s.X().MoveTo(client.x + 5, client.y + 5);
    const std::optional<int> status = CloseByAltF4(s, win);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
    ExpectFree(s.X());
  }
}

// The hold is ClipCursor's, not a grab: the frame inside it works with the mouse
// (title bar, close box), other programs can still grab the pointer and the
// window menu comes and goes without ending the hold, and an iconified window,
// or one on another desktop, frees the pointer until it is back.
TEST(WindowManager, HoldLeavesTheDesktopWorking) {
  Session s(20261207, 1, true);
  XServer& x = s.X();
  const WindowId win = s.PlayGame({true, false, false, false, false, false, true});
  const Rect frame = x.Frame(win);
  ASSERT_GT(frame.height, x.Geometry(win).height) << "no title bar";
  ASSERT_TRUE(HeldAt(x, frame)) << "the pointer is not held to the frame";
  ExpectConfined(x, frame);

  EXPECT_TRUE(x.OtherClientCanGrab()) << "the hold keeps other programs from grabbing the pointer";
  ExpectConfined(x, frame);

  const Rect client = x.Geometry(win);
  x.MoveTo(client.x + 5, client.y + 5);
  ASSERT_TRUE(ReadyForWindowManagerKeys(x, win)) << "evaluation window not active";
  const int windows = x.MappedTopLevels();
  x.KeyWith("Alt_L", "space");
  ASSERT_TRUE(WaitUntil([&] { return x.MappedTopLevels() > windows; }, 10s)) << "no window menu";
  x.Key("Escape");
  ASSERT_TRUE(WaitUntil([&] { return x.MappedTopLevels() == windows; })) << "the window menu stays";
  ExpectConfined(x, frame);

  x.Iconify(win);
  EXPECT_TRUE(WaitUntil([&] { return IsFree(x); }, 2s)) << "an iconified window still holds the pointer";
  ExpectFree(x);
  x.Activate(win);
  ASSERT_TRUE(WaitUntil([&] { return x.FindWindow("Vyhodnocení").has_value(); }));
  ASSERT_TRUE(HeldAt(x, frame)) << "restored, the window does not hold the pointer again";
  ASSERT_TRUE(WaitUntil([&] { return x.Frame(win).x == frame.x && x.Frame(win).y == frame.y; }));
  x.SwitchDesktop(1);
  EXPECT_TRUE(WaitUntil([&] { return IsFree(x); }, 2s)) << "held over another desktop";
  x.SwitchDesktop(0);
  ASSERT_TRUE(HeldAt(x, frame)) << "back on its desktop, the window does not hold the pointer again";
  const Rect held = frame;

  // The title bar drags the window; the hold stays where it was taken.
  const int title = (held.y + x.Geometry(win).y) / 2;
  x.MoveTo(held.x + held.width / 2, held.y + held.height / 2);
  x.MoveBy(0, title - (held.y + held.height / 2));
  ASSERT_EQ(PointerOf(x), (Point{held.x + held.width / 2, title}));
  const int before = x.Geometry(win).x;
  x.Button(true);
  for (int i = 0; i < 8; ++i) x.MoveBy(-5, 0);
  x.Button(false);
  EXPECT_TRUE(WaitUntil([&] { return x.Geometry(win).x == before - 40; }))
      << "the title bar did not drag the window: x " << x.Geometry(win).x << ", was " << before;
  ExpectConfined(x, held);

  // The close box (openbox puts it at the right end of the title bar), reached
  // by the mouse's relative motion, ends the game and frees the pointer.
  const Rect moved = x.Frame(win);
  const Point close{moved.x + moved.width - 12, title};
  const Point from = PointerOf(x);
  x.MoveBy(close.x - from.x, close.y - from.y);
  ASSERT_EQ(PointerOf(x), close);
  x.Button(true);
  x.Button(false);
  ExpectEndedAndFree(s);
}

// --- Scale and start-up -------------------------------------------------------

// At twice the scale everything is twice as large in device pixels, and the
// pointer is held exactly to the evaluation window's rectangle.
TEST(Scaling, TwiceTheScale) {
  Session s(20261207, 2);
  const Rect main = s.MainRect();
  EXPECT_EQ(main.x, 442);
  EXPECT_EQ(main.y, 342);
  EXPECT_EQ(main.width, 862);
  EXPECT_EQ(main.height, 474);
  EXPECT_EQ(s.MainPixel(2306 / 15 * 2 / 2, 0), kPink);
  const WindowId win = s.PlayGame({true, false, false, true, false, false, false});
  const Rect r = s.X().Geometry(win);
  EXPECT_EQ(r.x, 694);
  EXPECT_EQ(r.y, 452);
  EXPECT_EQ(r.width, 334);
  EXPECT_EQ(r.height, 302);
  ASSERT_TRUE(HeldAt(s.X(), r));
  ExpectConfined(s.X(), r);
  const QImage shot = s.X().Grab(r);
  ExpectReads(ReadLabel(shot, s.Lay(), s.Lay().Win().lblSpravneOdhady, kFace, Digits(0, 7)), "2", "count of hits");
  const rt::PixelPoint ok = OkPoint(s, r);
  s.X().Click(ok.x, ok.y);
  const std::optional<int> status = s.Game().WaitExit();
  ASSERT_TRUE(status);
  EXPECT_EQ(*status, 0);
}

// A window that would reach past the screen opens moved inside it; where both
// fit, they open exactly where designed.
TEST(Scaling, WindowsOpenOnTheScreen) {
  {
    SCOPED_TRACE("twice the scale on 1366 x 768");
    Session s(20261207, 2, false, 1366, 768);
    const Rect main = s.MainRect();
    EXPECT_EQ(main.x, 442);
    EXPECT_EQ(main.y + main.height, 768) << "moved up by the least distance";
    const WindowId win = s.PlayGame({true, true, true, false, false, false, false});
    const Rect r = s.X().Geometry(win);
    EXPECT_GE(r.x, 0);
    EXPECT_GE(r.y, 0);
    EXPECT_LE(r.x + r.width, 1366);
    EXPECT_LE(r.y + r.height, 768);
    EXPECT_EQ(r.x - main.x, 694 - 442) << "the evaluation window keeps its place over the main window";
    EXPECT_EQ(r.y - main.y, 452 - 342);
    ASSERT_TRUE(HeldAt(s.X(), r));
    ExpectConfined(s.X(), r);
    s.X().Key("Return");
    ExpectEndedAndFree(s);
  }
  {
    SCOPED_TRACE("96 dpi on 1024 x 768");
    Session s(20261207, 1, false, 1024, 768);
    EXPECT_EQ(s.MainRect().x, 221);
    EXPECT_EQ(s.MainRect().y, 171);
    const Rect r = s.X().Geometry(s.PlayGame({false, false, false, false, false, false, false}));
    EXPECT_EQ(r.x, 347);
    EXPECT_EQ(r.y, 226);
  }
}

// At fractional scales the held rectangle is the window's own to the pixel.
TEST(Scaling, FractionalScalesHoldTheWindowsRectangle) {
  for (const double scale : {1.25, 1.5, 1.75}) {
    SCOPED_TRACE(scale);
    Session s(20261207, scale, false, 2048, 1536);
    const WindowId win = s.PlayGame({false, true, false, false, false, false, false});
    const Rect r = s.X().Geometry(win);
    ASSERT_TRUE(HeldAt(s.X(), r)) << "not held to " << r.x << "," << r.y;
    ExpectConfined(s.X(), r);
    s.X().Key("Return");
    ExpectEndedAndFree(s);
  }
}

// No display, an unreachable one, or a platform that cannot start: one line on
// stderr and exit 1, not Qt's abort.
TEST(Startup, NoDisplayIsOneLineAndExitOne) {
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> cases{
      {"", {}}, {":4242", {}}, {"", {{"QT_QPA_PLATFORM", "wayland"}}}};
  for (const auto& [display, env] : cases) {
    SCOPED_TRACE("DISPLAY=" + display + (env.empty() ? "" : " QT_QPA_PLATFORM=wayland"));
    Program p(display, env, !display.empty());
    const std::optional<int> status = p.WaitExit(10s);
    ASSERT_TRUE(status);
    EXPECT_FALSE(p.Signalled());
    EXPECT_EQ(*status, 1);
    const std::string err = p.Stderr();
    EXPECT_EQ(err.rfind("quintarel: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
}

// A Wayland session runs the game natively (the Wayland tests play it so);
// when the session's Wayland display can't be reached, the game opens on X11.
TEST(Startup, WaylandSessionWithoutItsDisplayOpensOnX11) {
  XServer x(640, 480);
  Program p(x.Name(), {{"WAYLAND_DISPLAY", "wayland-quintarel-none"}, {"XDG_SESSION_TYPE", "wayland"}});
  const WindowId main = x.WaitWindow(" Quintarel");
  x.CloseWindow(main);
  const std::optional<int> status = p.WaitExit();
  ASSERT_TRUE(status) << p.Stderr();
  EXPECT_EQ(*status, 0);
}

}  // namespace
}  // namespace qt_tests
