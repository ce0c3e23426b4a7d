#!/usr/bin/env python3
"""End-to-end tests of the real quintarel.exe under Wine on an X display.

    e2e_test.py GROUP        StartState | MessageBox | WholeGame | Keyboard | Closing | HighDpi | Accessibility

The game runs in the Wine desktop that the build tree's Wine prefix gives it (a
1280 x 1024 screen at 96 dpi, so 15 twips per pixel; the HighDpi group changes
both). Clicks and keys are real
X input (xdotool); what is painted is read back from screenshots of the X
screen (ImageMagick's import); what only the system knows (the cursor clip,
window rectangles and styles, the focus, the message box) comes from
quintarel_probe.exe, run in the same desktop.

Environment: QUINTAREL_EXE, QUINTAREL_PROBE, QUINTAREL_WINE (the Wine wrapper of
the build tree), QUINTAREL_ICON_TXT, DISPLAY.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import unittest

EXE = os.environ["QUINTAREL_EXE"]
PROBE = os.environ["QUINTAREL_PROBE"]
WINE = os.environ["QUINTAREL_WINE"]
ICON_TXT = os.environ["QUINTAREL_ICON_TXT"]

X_SCREEN = (1280, 1024)  # the X server's, which the screenshots cover
SCREEN = X_SCREEN  # the Wine desktop's; the HighDpi group changes it
TWIPS_PER_PIXEL = 15  # 96 dpi; the HighDpi group changes it
# How far the game moved its main window (and so the evaluation window) from
# the designed place, to fit it on the screen: set as each game starts.
SHIFT = (0, 0)
MAIN_TITLE = " Quintarel"
WIN_TITLE = "Vyhodnocení"
# Where the designs open the two client areas, in twips of the screen.
MAIN_CLIENT = (3315, 2565, 6465, 3555)
WIN_CLIENT = (5205, 3390, 2505, 2265)

PINK = (255, 192, 192)
YELLOW = (255, 255, 192)
FACE = (212, 208, 200)  # button face, scroll bar and inactive caption text
ORANGE = (255, 192, 128)
WHITE = (255, 255, 255)
GREEN = (0, 192, 0)
RED = (255, 0, 0)
LIGHT_RED = (255, 128, 128)
BLUE = (0, 0, 255)
DARK_GREEN = (0, 128, 0)

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# --- what the seeded game draws ----------------------------------------------
# With QUINTAREL_TEST_SEED the generator's clock is that fixed number; each
# reseed mixes in its running count (1 at start-up, k + 1 before round k).
MASK = (1 << 64) - 1


def split_mix(state):
    state = (state + 0x9E3779B97F4A7C15) & MASK
    z = state
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
    return state, z ^ (z >> 31)


def single(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def seeded_draw(seed, k):
    _, mixed = split_mix(k + 1)
    _, value = split_mix(seed ^ mixed)
    rnd = (value >> 40) / 16777216.0
    return int(single(rnd * 7.0)) + 1


# --- geometry ------------------------------------------------------------------
def px(twips):
    return int(twips / TWIPS_PER_PIXEL + 0.5)


def origin(client):
    return (px(client[0]), px(client[1]))


def size(client):
    return (px(client[2]), px(client[3]))


def on_main(x, y):
    o = origin(MAIN_CLIENT)
    return (o[0] + SHIFT[0] + px(x), o[1] + SHIFT[1] + px(y))


def on_win(x, y):
    o = origin(WIN_CLIENT)
    return (o[0] + SHIFT[0] + px(x), o[1] + SHIFT[1] + px(y))


def main_box(left, top, width, height):
    """A control's rectangle on the screen: x0, y0, x1, y1 (exclusive)."""
    x0, y0 = on_main(left, top)
    x1, y1 = on_main(left + width, top + height)
    return x0, y0, x1, y1


def centre(left, top, width, height, to_screen=on_main):
    return to_screen(left + width // 2, top + height // 2)


ROUND_LABELS = {1: (1050, 600, 765, 435), 2: (1920, 810, 495, 525), 3: (2070, 1440, 435, 495),
                4: (1680, 1950, 585, 525), 5: (1020, 2100, 615, 465), 6: (510, 1560, 435, 645),
                7: (540, 840, 555, 675)}
DRAW_LABELS = {1: (1410, 300, 225, 255), 2: (2370, 720, 135, 255), 3: (2580, 1560, 135, 255),
               4: (2160, 2400, 135, 255), 5: (1110, 2580, 135, 255), 6: (390, 1950, 135, 255),
               7: (450, 810, 135, 255)}


def select_box(k):
    return (2820 + 510 * (k - 1), 210, 465, 255)


def select_digit(k):
    return (2970 + 510 * (k - 1), 210, 165, 255)


def score_label(k):
    return (3270 + 390 * (k - 1), 2520, 405, 255)


LBL_NUMBER = (5250, 1020, 225, 345)
LBL_PERCENT = (4860, 3000, 435, 195)
IMAGE1 = (1280, 1335)


def mark_point(i):
    """A point of lblBarva(i) left of the round number drawn over it."""
    return on_win(900 + 210 * i + 15, 900 + 15)


# --- the outside world ---------------------------------------------------------
def probe(*args):
    out = subprocess.run([WINE, PROBE, *args], capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
    result = {}
    for line in out.splitlines():
        key, _, value = line.partition("=")
        result.setdefault(key.strip(), []).append(value.strip("\r"))
    return result


def one(result, key):
    if key not in result:
        raise AssertionError(f"no {key} in the probe's answer {result}")
    return result[key][0]


def numbers(text):
    return tuple(int(v) for v in text.split())


def clip():
    """The cursor clip rectangle. A Wine desktop that is just starting reports an
    empty one for a moment; no rectangle the game sets is empty."""
    for _ in range(20):
        rect = numbers(one(probe("clip"), "clip"))
        if rect != (0, 0, 0, 0):
            return rect
        time.sleep(0.25)
    return rect


def push(point):
    """Moves the pointer there, as a user (X) and as a program (SetCursorPos)
    would; returns where it ends up. Wine reads the position back from X, so
    the two must not disagree."""
    subprocess.run(["xdotool", "mousemove", str(point[0]), str(point[1])], check=True)
    return numbers(one(probe("setpos", str(point[0]), str(point[1])), "pos"))


def click(point):
    subprocess.run(["xdotool", "mousemove", str(point[0]), str(point[1]), "click", "1"], check=True)
    time.sleep(0.15)


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)
    time.sleep(0.3)


class Shot:
    """One screenshot of the X screen."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], capture_output=True,
                              check=True, timeout=30).stdout
        self.width, self.height = X_SCREEN
        assert len(data) == self.width * self.height * 3, "the X screen must be 1280 x 1024 x 24"
        self.data = data

    def pixel(self, point):
        x, y = point
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, box):
        x0, y0, x1, y1 = box
        return [self.pixel((x, y)) for y in range(y0, y1) for x in range(x0, x1)]

    def count(self, box, colour):
        x0, y0, x1, y1 = box
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.pixel((x, y)) == colour)

    def count_dark(self, box):
        x0, y0, x1, y1 = box
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if sum(self.pixel((x, y))) < 200)


def caption_icon_colours(shot, outer):
    """How many of the wheel's bright colours show where a caption's icon goes."""
    bright = {PALETTE[i] for i in (9, 10, 11, 12, 13, 14)}
    x0, y0 = outer[0], outer[1]
    seen = {shot.pixel((x, y)) for y in range(y0 + 2, y0 + 22) for x in range(x0 + 2, x0 + 24)}
    return len(seen & bright)


def wait_for(condition, timeout=10.0, what="condition"):
    end = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.2)


class Game:
    """One run of quintarel.exe."""

    def __init__(self, seed=None):
        env = dict(os.environ)
        env.pop("QUINTAREL_TEST_SEED", None)
        if seed is not None:
            env["QUINTAREL_TEST_SEED"] = str(seed)
        # Wine's trace of the program's own ClipCursor calls: when the program
        # ends, Wine frees the cursor anyway, so only the trace tells whether the
        # program released it itself.
        env["QUINTAREL_WINEDEBUG"] = "-all,trace+cursor"
        self.trace = tempfile.TemporaryFile()
        self.process = subprocess.Popen([WINE, EXE], env=env, stdout=subprocess.DEVNULL, stderr=self.trace)

        def shown():
            if self.process.poll() is not None:
                raise AssertionError("the game ended before its main window showed")
            window = probe("window", MAIN_TITLE)
            return window if window.get("visible") == ["1"] else None

        try:
            main = wait_for(shown, timeout=60, what="the main window")
        except AssertionError as error:
            status = self.process.poll()
            self.trace.seek(0)
            raise AssertionError(f"{error} (the game {'runs' if status is None else f'ended with {status}'};"
                                 f" its stderr: {self.trace.read()[-500:].decode('utf-8', 'replace')!r})") from None
        global SHIFT
        client = numbers(one(main, "client_origin"))
        SHIFT = (client[0] - origin(MAIN_CLIENT)[0], client[1] - origin(MAIN_CLIENT)[1])
        # Let the first paint land.
        wait_for(lambda: Shot().pixel(on_main(3000, 700)) == PINK, what="the main window painted")

    def clip_calls(self):
        """The rectangles of the program's ClipCursor calls so far; None frees."""
        self.trace.seek(0)
        calls = []
        for line in self.trace.read().decode("utf-8", "replace").splitlines():
            _, found, rect = line.partition("Clipping to ")
            if not found:
                continue
            rect = rect.strip()
            calls.append(None if rect.startswith("(null)") else tuple(int(v) for v in re.findall(r"-?\d+", rect)[:4]))
        return calls

    def running(self):
        return self.process.poll() is None

    def exit_code(self, timeout=15):
        return self.process.wait(timeout=timeout)

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()
            # Whatever the killed program left behind in its prefix, its desktop
            # and any cursor clip with it.
            stop_wine()


def stop_wine():
    """Ends every process of the build tree's Wine prefix, and its server."""
    env = dict(os.environ, WINEPREFIX=os.path.join(os.path.dirname(WINE), "wineprefix"))
    subprocess.run(["wineserver", "-k"], env=env, timeout=60)
    subprocess.run(["wineserver", "-w"], env=env, timeout=60)


class Desktop:
    """Keeps the Wine desktop (and its server) up between the runs of the game."""
    keeper = None

    @classmethod
    def ensure(cls):
        if cls.keeper and cls.keeper.poll() is None:
            return
        # A desktop left by an earlier run, on another X display or on its way
        # out, cannot take this run's windows (X_CreateWindow: BadWindow): a
        # new desktop starts from a stopped server.
        stop_wine()
        cls.keeper = subprocess.Popen([WINE, PROBE, "idle"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)

    @classmethod
    def close(cls):
        if cls.keeper:
            cls.keeper.kill()
            cls.keeper.wait()


class GameCase(unittest.TestCase):
    def setUp(self):
        Desktop.ensure()
        self.game = None
        # Every run starts from a free cursor.
        self.assertEqual(clip(), (0, 0, *SCREEN))

    def tearDown(self):
        if self.game:
            self.game.kill()

    def start(self, seed=None):
        self.chosen = None
        self.game = Game(seed)
        return self.game

    # Shared steps.
    def choose(self, number, by_digit):
        box = main_box(*LBL_NUMBER)
        before = Shot().region(box)
        click(centre(*(select_digit(number) if by_digit else select_box(number))))
        if number != getattr(self, "chosen", None):
            # Another digit: lblNumber must be painted anew.
            wait_for(lambda: Shot().region(box) != before, what=f"{number} chosen")
        self.chosen = number
        self.assertGreater(Shot().count(box, BLUE), 10, f"{number} shown in blue")

    def play_round(self, k):
        click(centre(*ROUND_LABELS[k]))
        point = centre(*score_label(k))
        colour = wait_for(lambda: (lambda c: c if c in (GREEN, RED) else None)(Shot().pixel(point)),
                          what=f"round {k} scored")
        shot = Shot()
        self.assertGreater(shot.count(main_box(*DRAW_LABELS[k]), BLUE), 10, f"round {k} shows its draw")
        return colour

    def play_game(self, seed, hits):
        """Plays the seven rounds, hitting exactly the rounds in hits; returns the draws."""
        draws = {k: seeded_draw(seed, k) for k in range(1, 8)}
        for k in range(1, 8):
            chosen = draws[k] if k in hits else draws[k] % 7 + 1
            self.choose(chosen, by_digit=k % 2 == 1)
            colour = self.play_round(k)
            self.assertEqual(colour, GREEN if k in hits else RED, f"round {k}: chose {chosen}, drew {draws[k]}")
            if k < 7:
                self.assertTrue(self.game.running())
        wait_for(lambda: "visible" in probe("window", WIN_TITLE), what="the evaluation window")
        wait_for(lambda: Shot().pixel(on_win(100, 100)) == FACE, what="the evaluation window painted")
        return draws

    def check_confined(self):
        info = probe("window", WIN_TITLE)
        outer = numbers(one(info, "outer"))
        rect = clip()
        self.assertEqual(rect, outer, "the cursor is held in the evaluation window's outer rectangle")
        self.assertEqual(self.game.clip_calls()[-1:], [outer], "by the program's own ClipCursor call")
        self.assertEqual(push((2, 2)), (outer[0], outer[1]))
        self.assertEqual(push((SCREEN[0] - 3, SCREEN[1] - 3)), (outer[2] - 1, outer[3] - 1))
        # Back inside, on the window's caption.
        push(((outer[0] + outer[2]) // 2, outer[1] + 5))
        return outer

    def end_session(self, *how):
        """A logoff: every window of the game agrees at once, then is told."""
        answers = probe("endsession", MAIN_TITLE, *how)
        self.assertIn("Quintarel.frmMain", [line.split("|")[0] for line in answers.get("query", [])], answers)
        for line in answers["query"]:
            cls, sent, answer, ms = line.split("|")
            self.assertEqual((sent, answer), ("1", "1"), f"{cls} lets the session end")
            self.assertLess(int(ms), 2000, f"{cls} answers at once")
        self.assertIn("ended", answers, "the session was told it ends")

    def check_released_and_ended(self):
        self.assertEqual(self.game.exit_code(), 0)
        # The program freed the cursor itself before it ended, with no
        # rectangle: a whole-screen one would keep the cursor on the primary
        # monitor of a larger desktop, after the program too.
        calls = self.game.clip_calls()
        self.assertIsNone(calls[-1], "the program's last ClipCursor call frees the cursor")
        self.assertNotIn((0, 0, *SCREEN), calls, "never passes the whole screen as a rectangle")
        self.assertEqual(clip(), (0, 0, *SCREEN), "the cursor is free again")
        self.assertEqual(push((2, 2)), (2, 2))


class StartState(GameCase):
    def test_main_window_frame_and_client_area(self):
        self.start()
        info = probe("window", MAIN_TITLE)
        self.assertEqual(numbers(one(info, "client_origin")), (221, 171))
        self.assertEqual(numbers(one(info, "client_size")), (431, 237))
        self.assertEqual(one(info, "outer"), one(info, "adjusted"), "outer rectangle derived from the client area")
        self.assertEqual(one(info, "minimizebox"), "1")
        self.assertEqual(one(info, "maximizebox"), "0")
        self.assertEqual(one(info, "thickframe"), "0", "fixed single border")
        self.assertEqual(one(info, "sysmenu"), "1")
        self.assertEqual(one(info, "toolwindow"), "0")
        self.assertEqual(one(info, "owned"), "0", "a taskbar entry of its own")
        self.assertTrue(caption_icon_colours(Shot(), numbers(one(info, "outer"))) >= 4, "the icon in the caption")
        self.assertEqual(one(info, "unicode"), "1")
        self.assertEqual(one(info, "active"), "1")
        self.assertNotIn("child", info, "every control of the main window is painted, none is a child window")

    def test_start_state_as_painted(self):
        self.start()
        shot = Shot()
        self.assertEqual(shot.pixel(on_main(3000, 700)), PINK, "window background")
        for k, box in ROUND_LABELS.items():
            # The round labels are transparent: the ring shows through them.
            self.assertEqual(shot.pixel(centre(*box)), YELLOW, f"ring under lblClick{k}")
            self.assertEqual(shot.count(main_box(*DRAW_LABELS[k]), BLUE), 0, f"lblNo{k} empty")
        self.assertEqual(shot.pixel(on_main(1507, 2040)), FACE, "inner disc in the scroll-bar colour")
        for k in range(1, 8):
            left, top, _, _ = select_box(k)
            self.assertEqual(shot.pixel(on_main(left + 60, top + 60)), ORANGE, f"selection box {k}")
            self.assertGreater(shot.count_dark(main_box(*select_digit(k))), 5, f"digit {k} drawn on its box")
            self.assertEqual(shot.pixel(centre(*score_label(k))), WHITE, f"lblScore{k} in window colour")
            x0, y0, x1, y1 = main_box(*score_label(k))
            self.assertEqual(shot.pixel((x0, (y0 + y1) // 2)), (0, 0, 0), f"lblScore{k} single border")
        self.assertEqual(shot.count(main_box(*LBL_NUMBER), BLUE), 0, "no number chosen")
        self.assertEqual(shot.count_dark(main_box(*LBL_PERCENT)), 0, "no success rate yet")
        self.assertGreater(shot.count_dark(main_box(3420, 1050, 1545, 255)), 50, "Zvolené číslo:")
        self.assertGreater(shot.count_dark(main_box(3990, 3000, 825, 195)), 30, "Úspěšnost:")

    def test_image_shows_the_program_icon(self):
        self.start()
        shot = Shot()
        rows = [line.rstrip("\n") for line in open(ICON_TXT, encoding="utf-8")
                if line.strip() and not line.startswith("#")]
        x0, y0 = on_main(*IMAGE1)
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                expected = FACE if c == "." else PALETTE[int(c, 16)]
                self.assertEqual(shot.pixel((x0 + x, y0 + y)), expected, f"icon pixel {x},{y}")

    def test_disabled_rounds_ignore_clicks_and_close_box_ends(self):
        game = self.start()
        for k in range(2, 8):
            click(centre(*ROUND_LABELS[k]))
        time.sleep(0.5)
        # Round 1 with no number chosen would say so; rounds 2-7 must not play at all.
        self.assertEqual(one(probe("msgbox"), "found"), "0")
        shot = Shot()
        for k in range(1, 8):
            self.assertEqual(shot.count(main_box(*DRAW_LABELS[k]), BLUE), 0)
        # The close box, clicked: the program ends at once, without a message.
        box = probe("closebox", MAIN_TITLE)
        self.assertIn("point", box, box)
        click(numbers(one(box, "point")))
        self.assertEqual(game.exit_code(), 0)
        self.assertEqual(one(probe("msgbox"), "found"), "0")


class MessageBox(GameCase):
    def test_round_without_a_number(self):
        game = self.start()
        click(centre(*ROUND_LABELS[1]))
        box = wait_for(lambda: (lambda b: b if one(b, "found") == "1" else None)(probe("msgbox")),
                       what="the message box")
        self.assertEqual(one(box, "title"), "Chyba!")
        self.assertEqual(one(box, "text"), "Nemáte vybráno číslo!")
        self.assertEqual(one(box, "buttons"), "1", "one button, no choice")
        label, rect, ident = one(box, "button").split("|")
        self.assertEqual((label.replace("&", ""), ident), ("OK", "1"))
        self.assertEqual(one(box, "icon"), "1", "the error icon")
        self.assertEqual(one(box, "owner"), MAIN_TITLE, "modal to the main window")
        # Nothing changed behind it.
        shot = Shot()
        self.assertEqual(shot.count(main_box(*DRAW_LABELS[1]), BLUE), 0)
        self.assertEqual(shot.pixel(centre(*score_label(1))), WHITE)
        x0, y0, x1, y1 = numbers(rect)
        click(((x0 + x1) // 2, (y0 + y1) // 2))
        wait_for(lambda: one(probe("msgbox"), "found") == "0", what="the message box closed")
        self.assertTrue(game.running())
        shot = Shot()
        self.assertEqual(shot.count(main_box(*DRAW_LABELS[1]), BLUE), 0)
        self.assertEqual(shot.pixel(centre(*score_label(1))), WHITE)
        self.assertIsNone(probe("window", WIN_TITLE).get("visible"), "the evaluation window is not created")
        # Round 1 is still the one to play, once a number is chosen.
        self.choose(4, by_digit=True)
        self.assertIn(self.play_round(1), (GREEN, RED))
        self.assertEqual(one(probe("msgbox"), "found"), "0")
        probe("sysclose", MAIN_TITLE)
        self.assertEqual(game.exit_code(), 0)


class WholeGame(GameCase):
    SEED = 20261207

    def test_rounds_two_and_five_hit_then_ok(self):
        self.start(self.SEED)
        self.play_game(self.SEED, hits={2, 5})
        # Each change repainted only what the control covers; painted whole, the
        # main window looks just the same.
        client = (*on_main(0, 0), *on_main(*MAIN_CLIENT[2:]))
        changed = Shot().region(client)
        self.assertEqual(one(probe("repaint", MAIN_TITLE), "painted"), "1")
        time.sleep(0.5)
        whole = Shot().region(client)
        self.assertEqual(sum(a != b for a, b in zip(changed, whole)), 0, "pixels only a whole repaint got right")
        info = probe("window", WIN_TITLE)
        self.assertEqual(numbers(one(info, "client_origin")), (347, 226))
        self.assertEqual(numbers(one(info, "client_size")), (167, 151))
        self.assertEqual(one(info, "outer"), one(info, "adjusted"))
        self.assertEqual(one(info, "toolwindow"), "1")
        self.assertNotEqual(one(info, "class"), one(probe("window", MAIN_TITLE), "class"), "a window class each")
        self.assertEqual((one(info, "minimizebox"), one(info, "maximizebox")), ("0", "0"), "close box only")
        self.assertEqual(one(info, "owner"), MAIN_TITLE, "owned by the main window: no taskbar entry")
        self.assertEqual(one(info, "appwindow"), "0")
        self.assertEqual(caption_icon_colours(Shot(), numbers(one(info, "outer"))), 0, "no icon")
        self.assertEqual(one(info, "active"), "1")
        self.assertEqual((one(info, "focus_class").lower(), one(info, "focus_text")), ("button", "OK"))
        children = info["child"]
        self.assertEqual(len(children), 1)
        cls, text, rect, style = children[0].split("|")
        self.assertEqual((cls.lower(), text), ("button", "OK"))
        self.assertEqual(numbers(rect), (px(1020), px(1800), px(1020 + 555), px(1800 + 345)))
        self.assertEqual(int(style) & 0xF, 0, "a plain push button, neither default nor cancel")

        shot = Shot()
        for i in range(7):
            self.assertEqual(shot.pixel(mark_point(i)), GREEN if i in (1, 4) else LIGHT_RED, f"lblBarva({i})")
        self.assertGreater(shot.count(
            (*on_win(1740, 450), *on_win(1740 + 105, 450 + 195)), DARK_GREEN), 5, "count of hits in green")
        # The scores the evaluation window leaves uncovered.
        self.assertEqual([shot.pixel(centre(*score_label(k))) for k in (5, 6, 7)], [GREEN, RED, RED])
        self.assertGreater(shot.count_dark(main_box(*LBL_PERCENT)), 10, "success rate shown")

        outer = self.check_confined()
        button = on_win(1020 + 555 // 2, 1800 + 345 // 2)
        self.assertTrue(outer[0] <= button[0] < outer[2] and outer[1] <= button[1] < outer[3])
        click(button)
        self.check_released_and_ended()


    def test_reactivation_confines_to_the_moved_window(self):
        self.start(self.SEED + 1)
        self.play_game(self.SEED + 1, hits={4, 6})
        first = self.check_confined()
        calls = len(self.game.clip_calls())
        # Moved by the program's user (here: by the system): the confinement
        # stays where it was taken until the next activation.
        probe("move", WIN_TITLE, str(first[0] + 40), str(first[1] + 30))
        moved = numbers(one(probe("window", WIN_TITLE), "outer"))
        self.assertEqual(moved, (first[0] + 40, first[1] + 30, first[2] + 40, first[3] + 30))
        self.assertEqual(clip(), first)
        self.assertEqual(len(self.game.clip_calls()), calls, "moving does not confine again")
        # Dragged by its title bar: the system's move loop frees the cursor, and
        # the hold comes back where it was taken.
        caption = (moved[0] + 30, moved[1] + 8)
        subprocess.run(["xdotool", "mousemove", *map(str, caption), "mousedown", "1", "mousemove_relative", "8", "5",
                        "mousemove_relative", "8", "5", "mouseup", "1"], check=True)
        wait_for(lambda: numbers(one(probe("window", WIN_TITLE), "outer")) != moved, what="the window dragged")
        moved = numbers(one(probe("window", WIN_TITLE), "outer"))
        self.assertEqual(clip(), first, "held again after the drag")
        self.assertEqual(push((2, 2)), first[:2])
        # Another program in front lets go of the cursor; gone again, it leaves
        # the evaluation window active, holding the cursor again.
        front = probe("front")
        self.assertEqual((one(front, "front"), numbers(one(front, "clip"))), ("1", (0, 0, *SCREEN)))
        wait_for(lambda: one(probe("window", WIN_TITLE), "foreground") == "1", what="the evaluation window in front")
        self.assertEqual(wait_for(lambda: (lambda r: r if r != (0, 0, *SCREEN) else None)(clip()), what="held again"),
                         first)
        calls = len(self.game.clip_calls())
        # The main window active, then the evaluation window again: Activate
        # runs once more and confines to where the window is now.
        probe("activate", MAIN_TITLE)
        wait_for(lambda: one(probe("window", MAIN_TITLE), "active") == "1", what="main window active")
        self.assertEqual(len(self.game.clip_calls()), calls, "the main window has no Activate handler")
        probe("activate", WIN_TITLE)
        wait_for(lambda: one(probe("window", WIN_TITLE), "active") == "1", what="evaluation window active")
        wait_for(lambda: len(self.game.clip_calls()) == calls + 1, what="a new confinement")
        self.assertEqual(self.game.clip_calls()[-1], moved)
        self.assertEqual(self.check_confined(), moved)
        # Minimised, it holds nothing; activated while minimised, it holds for
        # where it will be restored to, not for its icon, and only once restored.
        calls = len(self.game.clip_calls())
        probe("minimize", WIN_TITLE)
        wait_for(lambda: one(probe("window", WIN_TITLE), "iconic") == "1", what="evaluation window minimised")
        wait_for(lambda: clip() == (0, 0, *SCREEN), what="the cursor freed")
        probe("activate", MAIN_TITLE)
        probe("activate", WIN_TITLE)
        wait_for(lambda: one(probe("window", WIN_TITLE), "active") == "1", what="minimised window active")
        self.assertEqual(clip(), (0, 0, *SCREEN), "held for a minimised window")
        self.assertEqual({c for c in self.game.clip_calls()[calls:]} - {None, moved}, set(), "held for the icon")
        probe("restore", WIN_TITLE)
        wait_for(lambda: one(probe("window", WIN_TITLE), "iconic") == "0", what="evaluation window restored")
        self.assertEqual(wait_for(lambda: (lambda r: r if r != (0, 0, *SCREEN) else None)(clip()), what="held again"),
                         moved)
        self.assertEqual({c for c in self.game.clip_calls()[calls:]} - {None, moved}, set(), "held for the icon")
        # Hidden with its minimised owner, it holds nothing, also once activated
        # while hidden; shown again (here by the system's restore), it holds again.
        probe("minimize", MAIN_TITLE)
        wait_for(lambda: probe("window", WIN_TITLE).get("visible") == ["0"], what="evaluation window hidden")
        wait_for(lambda: clip() == (0, 0, *SCREEN), what="the cursor freed")
        probe("activate", WIN_TITLE)
        time.sleep(0.5)
        self.assertEqual(clip(), (0, 0, *SCREEN), "held for a hidden window")
        probe("restore", WIN_TITLE)
        wait_for(lambda: probe("window", WIN_TITLE).get("visible") == ["1"], what="evaluation window shown")
        self.assertEqual(wait_for(lambda: (lambda r: r if r != (0, 0, *SCREEN) else None)(clip()), what="held again"),
                         moved)
        probe("restore", MAIN_TITLE)
        probe("activate", WIN_TITLE)
        shot = Shot()
        dx, dy = moved[0] - first[0], moved[1] - first[1]
        for i in range(7):
            x, y = mark_point(i)
            self.assertEqual(shot.pixel((x + dx, y + dy)), GREEN if i in (3, 5) else LIGHT_RED, f"lblBarva({i})")
        key("Return")
        self.check_released_and_ended()


class Keyboard(GameCase):
    SEED = 4242

    def test_all_hits_escape_does_nothing_enter_presses_ok(self):
        self.start(self.SEED)
        self.play_game(self.SEED, hits=set(range(1, 8)))
        shot = Shot()
        for i in range(7):
            self.assertEqual(shot.pixel(mark_point(i)), GREEN, f"lblBarva({i})")
        outer = self.check_confined()
        key("Escape")
        time.sleep(0.5)
        self.assertTrue(self.game.running(), "Escape does nothing")
        self.assertEqual(clip(), outer)
        key("Return")
        self.check_released_and_ended()

    def test_no_hits_space_presses_ok(self):
        self.start(self.SEED + 1)
        self.play_game(self.SEED + 1, hits=set())
        shot = Shot()
        for i in range(7):
            self.assertEqual(shot.pixel(mark_point(i)), LIGHT_RED, f"lblBarva({i})")
        self.check_confined()
        key("space")
        self.check_released_and_ended()


    def test_whole_game_by_keys(self):
        """No number, Enter: the message box, which Enter closes; 3 (after 5 on
        the keypad); six rounds by Enter (one the keypad's), the last by Space;
        Enter presses OK. The draws and results are those of the same clicks."""
        seed = self.SEED + 4  # rounds 3 and 6 draw 3
        game = self.start(seed)
        key("Return")
        wait_for(lambda: one(probe("msgbox"), "found") == "1", what="the message box")
        key("3")  # dropped: the main window is inside its handler
        key("Return")
        wait_for(lambda: one(probe("msgbox"), "found") == "0", what="the message box closed by Enter")
        number = main_box(*LBL_NUMBER)
        self.assertEqual(Shot().count(number, BLUE), 0, "no number chosen while the box was up")
        subprocess.run(["xdotool", "key", "Num_Lock", "KP_5", "Num_Lock"], check=True)
        five = wait_for(lambda: (lambda r: r if Shot().count(number, BLUE) > 10 else None)(Shot().region(number)),
                        what="5 chosen on the keypad")
        key("3")
        wait_for(lambda: Shot().region(number) != five, what="3 chosen")
        draws = {k: seeded_draw(seed, k) for k in range(1, 8)}
        for k in range(1, 8):
            key("space" if k == 7 else "KP_Enter" if k == 4 else "Return")
            point = centre(*score_label(k))
            colour = wait_for(lambda: (lambda c: c if c in (GREEN, RED) else None)(Shot().pixel(point)),
                              what=f"round {k} scored")
            self.assertEqual(colour, GREEN if draws[k] == 3 else RED, f"round {k}: drew {draws[k]}")
        wait_for(lambda: "visible" in probe("window", WIN_TITLE), what="the evaluation window")
        wait_for(lambda: Shot().pixel(on_win(100, 100)) == FACE, what="the evaluation window painted")
        shot = Shot()
        for i in range(7):
            self.assertEqual(shot.pixel(mark_point(i)), GREEN if draws[i + 1] == 3 else LIGHT_RED, f"lblBarva({i})")
        self.assertEqual(clip(), numbers(one(probe("window", WIN_TITLE), "outer")), "the cursor is held")
        key("Return")
        self.check_released_and_ended()
        self.assertEqual(one(probe("msgbox"), "found"), "0")


class Closing(GameCase):
    SEED = 777

    def test_closing_main_window_during_evaluation_frees_cursor(self):
        self.start(self.SEED)
        self.play_game(self.SEED, hits={1})
        self.check_confined()
        # As the taskbar closes a window: the main window's own close command.
        probe("sysclose", MAIN_TITLE)
        self.check_released_and_ended()

    def test_evaluation_close_box_frees_cursor(self):
        self.start(self.SEED + 1)
        self.play_game(self.SEED + 1, hits={7})
        outer = self.check_confined()
        point = numbers(one(probe("closebox", WIN_TITLE), "point"))
        self.assertTrue(outer[0] <= point[0] < outer[2] and outer[1] <= point[1] < outer[3])
        click(point)
        self.check_released_and_ended()

    def test_main_window_destroyed_mid_game(self):
        game = self.start(self.SEED + 2)
        self.choose(3, by_digit=True)
        self.play_round(1)
        # Destroyed without the program: it ends as if closed, no process
        # without windows runs on.
        self.assertEqual(one(probe("destroyed", MAIN_TITLE), "sent"), "1")
        self.assertEqual(game.exit_code(), 0)

    def test_taskbar_close_while_the_window_menu_is_open(self):
        game = self.start()
        key("alt+space")
        wait_for(lambda: one(probe("menu"), "found") == "1", what="the window menu")
        # The menu's own loop runs the close: the program must still end.
        probe("sysclose", MAIN_TITLE)
        self.assertEqual(game.exit_code(), 0)

    def test_session_end_during_the_message_box(self):
        game = self.start()
        click(centre(*ROUND_LABELS[1]))
        wait_for(lambda: one(probe("msgbox"), "found") == "1", what="the message box")
        # Another program refuses the logoff: the game goes on as it was.
        self.end_session("refused")
        time.sleep(0.5)
        self.assertTrue(game.running())
        self.assertEqual(one(probe("msgbox"), "found"), "1")
        self.end_session()
        self.assertEqual(game.exit_code(), 0)


class HighDpi(GameCase):
    """At 144 and 192 dpi the game, per-monitor aware, lays out at 10 and 7.5
    twips per pixel, and the cursor is held to exactly the evaluation window."""

    @staticmethod
    def set_dpi(dpi, desktop=X_SCREEN):
        Desktop.close()
        stop_wine()
        key = r"HKCU\Control Panel\Desktop"
        if dpi:
            command = ["reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"]
        else:
            command = ["reg", "delete", key, "/v", "LogPixels", "/f"]
        subprocess.run([WINE, *command], capture_output=True, timeout=60)
        subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Quintarel", "/d",
                        "%dx%d" % desktop, "/f"], capture_output=True, timeout=60)
        stop_wine()
        global TWIPS_PER_PIXEL, SCREEN
        TWIPS_PER_PIXEL = 1440 / (dpi or 96)
        SCREEN = desktop
        Desktop.ensure()

    @classmethod
    def tearDownClass(cls):
        cls.set_dpi(None)

    def play_at(self, dpi, seed, main_client, win_client):
        self.set_dpi(dpi)
        self.start(seed)
        self.assertEqual(one(probe("screen"), "dpi"), f"{dpi} {dpi}")
        info = probe("window", MAIN_TITLE)
        self.assertTrue(self.game.running(), f"the game ended: {self.game.process.poll()}")
        self.assertEqual(numbers(one(info, "client_origin")), main_client[:2])
        self.assertEqual(numbers(one(info, "client_size")), main_client[2:])
        self.assertEqual(one(info, "outer"), one(info, "adjusted"))
        self.assertEqual(Shot().pixel(centre(*score_label(1))), WHITE)
        self.play_game(seed, hits={3})
        info = probe("window", WIN_TITLE)
        self.assertEqual(numbers(one(info, "client_origin")), win_client[:2])
        self.assertEqual(numbers(one(info, "client_size")), win_client[2:])
        self.check_confined()
        click(on_win(1020 + 555 // 2, 1800 + 345 // 2))
        self.check_released_and_ended()

    def test_144_dpi(self):
        # 3315 / 10 = 331.5 and the like, rounded half up.
        self.play_at(144, 31, (332, 257, 647, 356), (521, 339, 251, 227))

    def test_192_dpi(self):
        # 7.5 twips per pixel: the factor is used as read, not rounded to 8.
        # Designed at x = 442, the main window's frame would end at 1307: both
        # windows open 27 pixels further left, the main window at the edge.
        self.play_at(192, 32, (415, 342, 862, 474), (667, 452, 334, 302))

    def test_192_dpi_on_a_small_screen(self):
        # As designed, the main window would reach below a 768-pixel screen:
        # it opens moved up by just that much, the evaluation window with it,
        # and the cursor is held where the evaluation window really is.
        self.set_dpi(192, (1366, 768))
        self.start(33)
        work = numbers(one(probe("screen"), "work"))

        def inside(info):
            outer = numbers(one(info, "outer"))
            self.assertTrue(work[0] <= outer[0] and work[1] <= outer[1] and outer[2] <= work[2] and
                            outer[3] <= work[3], f"{outer} inside the work area {work}")
            return outer

        info = probe("window", MAIN_TITLE)
        self.assertEqual(inside(info)[3], work[3], "moved up no further than needed")
        self.assertEqual(numbers(one(info, "client_size")), (862, 474))
        moved = numbers(one(info, "client_origin"))
        self.assertEqual(moved[0], 442, "not moved sideways")
        self.assertLess(moved[1], 342)
        self.play_game(33, hits={2, 3})
        info = probe("window", WIN_TITLE)
        inside(info)
        self.assertEqual(numbers(one(info, "client_origin")), (694, 452 + moved[1] - 342),
                         "at its designed place beside the main window")
        self.check_confined()
        # A logoff now ends the game and frees the cursor.
        self.end_session()
        self.check_released_and_ended()


# --- Active Accessibility ---------------------------------------------------
ROLES = {8: "alert", 10: "client", 20: "grouping", 24: "table", 25: "column header", 26: "row header",
         29: "cell", 41: "static text", 43: "push button", 45: "radio button"}
UNAVAILABLE, FOCUSED, CHECKED, READONLY, INVISIBLE, FOCUSABLE = 0x1, 0x4, 0x10, 0x40, 0x8000, 0x100000
STATES = {UNAVAILABLE: "unavailable", FOCUSED: "focused", CHECKED: "checked", READONLY: "read-only",
          INVISIBLE: "invisible", FOCUSABLE: "focusable"}


class ScreenReader:
    """The probe as a screen reader: a client of the game's objects from another
    process, taking the game's WinEvents as they come."""

    def __init__(self):
        self.process = subprocess.Popen([WINE, PROBE, "a11y"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def ask(self, *args):
        self.process.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
        self.process.stdin.flush()
        result = {}
        while True:
            line = self.process.stdout.readline().decode("utf-8", "replace").rstrip("\r\n")
            if not line:
                raise AssertionError(f"the probe ended during {args}")
            key, _, value = line.partition("=")
            if key == "end":
                result["status"] = value
                return result
            result.setdefault(key, []).append(value)

    def tree(self, title):
        answer = self.ask("tree", title)
        nodes = []
        for line in answer.get("node", []):
            depth, role, name, value, state, ident, rect, action, cls = line.split("|")
            nodes.append({"depth": int(depth), "role": int(role), "name": name, "value": value,
                          "state": int(state, 16), "id": int(ident), "rect": numbers(rect), "action": action,
                          "class": cls, "children": []})
        stack = []
        for node in nodes:
            del stack[node["depth"]:]
            if stack:
                stack[-1]["children"].append(node)
            stack.append(node)
        if not nodes:
            raise AssertionError(f"no tree of {title}: {answer}")
        nodes[0]["focused"] = one(answer, "focused")
        return nodes[0]

    def wait(self, kind, text, how=None):
        """The first event of the kind about an object so named (how: "prefix",
        or "window" for the window's title) that came, or comes within 20 s."""
        answer = self.ask("wait", kind, text, *([how] if how else []))
        if answer["status"] != "0":
            raise AssertionError(f"no {kind} event for {text!r}; besides: {self.ask('events').get('seen')}")
        kind, window, name, value, role, child = one(answer, "event").split("|")
        return {"window": window, "name": name, "value": value, "role": int(role), "child": int(child)}

    def close(self):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def walk(node):
    yield node
    for child in node["children"]:
        yield from walk(child)


def named(tree, name):
    found = [node for node in walk(tree) if node["name"] == name]
    if not found:
        raise AssertionError(f"nothing named {name!r}")
    return found[0]


def show(tree, title):
    """The tree as a screen reader's object review reads it."""
    print(f"--- {title}")
    for node in walk(tree):
        states = [text for bit, text in STATES.items() if node["state"] & bit]
        value = f" = {node['value']!r}" if node["value"] else ""
        action = f" <{node['action']}>" if node["action"] else ""
        print(f"{'  ' * node['depth']}{ROLES.get(node['role'], node['role'])} {node['name']!r}{value}{action}"
              f" [{', '.join(states)}] #{node['id']}")
    sys.stdout.flush()


class Accessibility(GameCase):
    SEED = 5151
    HITS = {2, 5}

    def setUp(self):
        super().setUp()
        self.reader = None

    def tearDown(self):
        if self.reader:
            self.reader.close()
        super().tearDown()

    def key(self, name):
        subprocess.run(["xdotool", "key", name], check=True)

    def check_main_window_at_start(self, tree):
        self.assertEqual((tree["role"], tree["name"]), (10, MAIN_TITLE.strip()))
        top = tree["children"]
        group, number, *rounds, percent, alert = top
        self.assertEqual((group["role"], group["name"]), (20, "Vyberte číslo"))
        self.assertEqual([(c["role"], c["name"], c["action"]) for c in group["children"]],
                         [(45, str(k), "Zvolit") for k in range(1, 8)])
        for k, box in enumerate(group["children"], 1):
            self.assertFalse(box["state"] & CHECKED, f"box {k} not chosen yet")
            # Where the design puts it, on the screen.
            x0, y0, x1, y1 = main_box(*select_box(k))
            self.assertEqual(box["rect"], (x0, y0, x1 - x0, y1 - y0), f"box {k}")
        self.assertEqual(group["children"][0]["state"] & (FOCUSED | FOCUSABLE), FOCUSED | FOCUSABLE)
        self.assertEqual(tree["focused"], "1", "the window opens with the focus on the first box")
        self.assertEqual((number["role"], number["name"], number["value"]), (41, "Zvolené číslo:", ""))
        self.assertTrue(number["state"] & READONLY)
        self.assertEqual(len(rounds), 21)
        for k in range(1, 8):
            button, drawn, score = rounds[3 * k - 3:3 * k]
            self.assertEqual((button["role"], button["name"], button["action"]), (43, f"Kolo {k}", "Stisknout"))
            self.assertEqual(bool(button["state"] & UNAVAILABLE), k > 1, f"only round 1 is open")
            self.assertEqual(bool(button["state"] & FOCUSABLE), k == 1)
            self.assertEqual([(drawn["name"], drawn["value"]), (score["name"], score["value"])],
                             [(f"Tažené číslo kola {k}", ""), (f"Výsledek kola {k}", "")])
        self.assertEqual((percent["name"], percent["value"]), ("Úspěšnost:", ""))
        self.assertEqual((alert["role"], alert["name"]), (8, ""))
        self.assertTrue(alert["state"] & INVISIBLE, "nothing announced yet")
        # Child ids: each simple element its own, the alert's after the nodes'.
        ids = [node["id"] for node in walk(tree) if node["id"]]
        self.assertEqual(len(ids), len(set(ids)))
        self.assertEqual(alert["id"], max(ids))
        info = probe("window", MAIN_TITLE)
        cx, cy = numbers(one(info, "client_origin"))
        cw, ch = numbers(one(info, "client_size"))
        self.assertEqual(tree["rect"], (cx, cy, cw, ch))
        for node in walk(tree):
            if node is not alert:
                l, t, w, h = node["rect"]
                self.assertTrue(cx <= l and cy <= t and l + w <= cx + cw and t + h <= cy + ch, node["name"])

    def check_hits_and_navigation(self, tree):
        for name in ("Kolo 3", "5", "Zvolené číslo:"):
            l, t, w, h = named(tree, name)["rect"]
            self.assertEqual(one(self.reader.ask("hit", MAIN_TITLE, str(l + w // 2), str(t + h // 2)), "hit"), name)
        for start, way, reached in (("Kolo 1", "next", "Tažené číslo kola 1"), ("Kolo 2", "previous",
                                    "Výsledek kola 1"), ("Vyberte číslo", "first", "1"),
                                    ("Vyberte číslo", "last", "7"), ("3", "next", "4"),
                                    ("Vyberte číslo", "next", "Zvolené číslo:")):
            answer = self.reader.ask("nav", MAIN_TITLE, start, way)
            self.assertEqual(one(answer, "reached"), reached, f"{way} from {start}")

    def test_a_whole_game_by_screen_reader(self):
        seed = self.SEED
        draws = {k: seeded_draw(seed, k) for k in range(1, 8)}
        self.start(seed)
        reader = self.reader = ScreenReader()
        self.assertEqual(reader.ask("hook", MAIN_TITLE)["status"], "0")
        tree = reader.tree(MAIN_TITLE)
        show(tree, "the main window at the start")
        self.check_main_window_at_start(tree)
        self.check_hits_and_navigation(tree)

        # Tab goes round the boxes and the open round, backwards with Shift;
        # once the keys move it, the focus wears a dotted frame.
        def frame_row(name):
            l, t, w, h = named(tree, name)["rect"]
            return (l - 1, t - 1, l + w + 1, t)

        box, round_one = frame_row("1"), frame_row("Kolo 1")
        shot = Shot()
        plain_box, plain_round = shot.region(box), shot.region(round_one)
        self.key("Tab")
        reader.wait("focus", "Kolo 1")
        wait_for(lambda: Shot().region(round_one) != plain_round, what="the focus frame round Kolo 1")
        self.key("shift+Tab")
        reader.wait("focus", "1")
        wait_for(lambda: (lambda s: s.region(box) != plain_box and s.region(round_one) == plain_round)(Shot()),
                 what="the focus frame moved to box 1")
        self.key("shift+Tab")
        reader.wait("focus", "Kolo 1")
        # Round 1 pressed with no number: the message box, which has the focus;
        # the main window's objects tell no focus meanwhile. (Wine tells the
        # box's focus only now and then: the box is looked for.)
        self.assertEqual(one(reader.ask("do", MAIN_TITLE, "Kolo 1"), "hr"), "00000000")
        box = wait_for(lambda: (lambda b: b if one(b, "found") == "1" else None)(probe("msgbox")),
                       what="the message box")
        self.assertEqual((one(box, "title"), one(box, "text")), ("Chyba!", "Nemáte vybráno číslo!"))
        behind = reader.tree(MAIN_TITLE)
        self.assertEqual([n["name"] for n in walk(behind) if n["state"] & FOCUSED], [])
        self.assertEqual(behind["focused"], "-")
        self.key("Return")
        reader.wait("focus", "Kolo 1")
        # A screen reader's focus request, then the arrows, which choose.
        reader.ask("select", MAIN_TITLE, "1")
        reader.wait("focus", "1")
        self.key("Right")
        reader.wait("focus", "2")
        self.assertEqual(reader.wait("value", "Zvolené číslo:")["value"], "2")
        self.key("Left")
        reader.wait("focus", "1")
        self.assertEqual(reader.wait("value", "Zvolené číslo:")["value"], "1")
        self.assertTrue(named(reader.tree(MAIN_TITLE), "1")["state"] & CHECKED)

        chosen = {}
        number = "1"
        for k in range(1, 8):
            chosen[k] = draws[k] if k in self.HITS else draws[k] % 7 + 1
            if str(chosen[k]) != number:
                self.assertEqual(one(reader.ask("do", MAIN_TITLE, str(chosen[k])), "hr"), "00000000")
                reader.wait("focus", str(chosen[k]))
                number = reader.wait("value", "Zvolené číslo:")["value"]
                self.assertEqual(number, str(chosen[k]))
            self.assertEqual(one(reader.ask("do", MAIN_TITLE, f"Kolo {k}"), "hr"), "00000000")
            said = reader.wait("alert", f"Kolo {k}:", "prefix")
            if k < 7:
                reader.wait("focus", f"Kolo {k + 1}")
            self.assertEqual(said["role"], 8)
            now = reader.tree(MAIN_TITLE)
            result = "zásah" if k in self.HITS else "minutí"
            self.assertEqual(named(now, f"Tažené číslo kola {k}")["value"], str(draws[k]))
            self.assertEqual(named(now, f"Výsledek kola {k}")["value"], result)
            rate = named(now, "Úspěšnost:")["value"]
            self.assertEqual(said["name"], f"Kolo {k}: padlo {draws[k]}, {result}, úspěšnost {rate}.")
            self.assertEqual(now["children"][-1]["name"], said["name"], "the alert reads the last announcement")
            if k < 7:
                self.assertTrue(named(now, f"Kolo {k}")["state"] & UNAVAILABLE)
                self.assertEqual(now["focused"], f"Kolo {k + 1}")
        show(now, "the main window after round 7")

        # The evaluation window tells the whole result and has the focus on OK.
        summary = reader.wait("alert", "Správné odhady:", "prefix")
        self.assertEqual(summary["window"], WIN_TITLE)
        reader.wait("focus", "OK")
        win = reader.tree(WIN_TITLE)
        show(win, "the evaluation window")
        rate = named(win, "Úspěšnost:")["value"]
        self.assertEqual(rate, named(now, "Úspěšnost:")["value"])
        self.assertEqual(named(win, "Správné odhady:")["value"], str(len(self.HITS)))
        self.assertEqual(summary["name"], f"Správné odhady: {len(self.HITS)} ze 7, úspěšnost {rate}.")
        table = named(win, "Kola")
        self.assertEqual(table["role"], 24)
        agree = {k: "shoda" if k in self.HITS else "neshoda" for k in range(1, 8)}
        self.assertEqual([(c["role"], c["name"]) for c in table["children"]],
                         [(25, str(k)) for k in range(1, 8)] + [(26, "Vaše tipy:")] +
                         [(29, f"{chosen[k]}, {agree[k]}") for k in range(1, 8)] + [(26, "Správně:")] +
                         [(29, f"{draws[k]}, {agree[k]}") for k in range(1, 8)])
        ok = named(win, "OK")
        self.assertEqual((ok["role"], ok["action"]), (43, "Stisknout"))
        self.assertTrue(ok["state"] & FOCUSED)
        self.assertEqual(win["focused"], "OK")
        self.assertEqual(win["children"][-1]["name"], summary["name"])
        # Tab reaches the table, whose cells the arrows walk; Tab again is OK,
        # which the button's own window holds.
        cells = [c["name"] for c in table["children"] if c["role"] == 29]
        self.key("Tab")
        reader.wait("focus", cells[0])
        for arrow, cell in (("Down", 7), ("Right", 8), ("Up", 1)):
            self.key(arrow)
            reader.wait("focus", cells[cell])
        self.key("Tab")
        self.assertEqual(reader.wait("focus", "OK")["window"], WIN_TITLE)
        self.assertEqual(one(probe("window", WIN_TITLE), "focus_class").lower(), "button")
        self.assertEqual(one(reader.ask("do", WIN_TITLE, "OK"), "hr"), "00000000")
        self.check_released_and_ended()


if __name__ == "__main__":
    if not os.environ.get("DISPLAY"):
        sys.exit("These tests need an X display of 1280 x 1024 x 24 (tools/test.sh starts an Xvfb).")
    group = sys.argv[1]
    screen = probe("screen")
    if group != "HighDpi" and (one(screen, "dpi"), one(screen, "size")) != ("96 96", "%d %d" % X_SCREEN):
        # An interrupted HighDpi run left its dpi or desktop in the prefix.
        HighDpi.set_dpi(None)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[group])
    try:
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        Desktop.close()
    sys.exit(0 if result.wasSuccessful() else 1)
