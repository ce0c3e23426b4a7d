#!/usr/bin/env python3
"""A random input storm on the real quintarel.exe under Wine, in its desktop.

Seeded clicks biased to the two windows and their controls, double clicks,
drags, keys, close requests and the desktop's own actions (minimise, restore,
window menu, moving); the game is restarted whenever it ends, and after every
event it is checked that the game runs or ended with status 0, that it always
has a window, that the cursor is held to the evaluation window while that is
active, that it is free once the game has ended, and that OK ends the game.

Environment as for e2e_test.py, and QUINTAREL_STORM_EVENTS (default 500),
QUINTAREL_STORM_SEED (repeats a storm's decisions; the seed is printed).
"""
import os
import random
import subprocess
import sys
import time

import e2e_test as e2e
from e2e_test import MAIN_CLIENT, MAIN_TITLE, SCREEN, WIN_CLIENT, WIN_TITLE, WHITE, numbers

START_TIMEOUT = 60
EXIT_TIMEOUT = 15
WINDOWLESS_GRACE = 5
HOLD_GRACE = 1.5
FREE = (0, 0, *SCREEN)
KEYS = ["Return", "space", "Escape", "Tab", "1", "4", "7", "0", "a", "q", "x"]
OK_BUTTON = (1020, 1800, 555, 345)  # cmdOK in the evaluation window's client twips


def on_screen(rect):
    """The part of a rectangle (left, top, right, bottom) on the screen."""
    return (max(rect[0], 0), max(rect[1], 0), min(rect[2], SCREEN[0]), min(rect[3], SCREEN[1]))


class Probe:
    """quintarel_probe.exe serving one question a line: no Wine start per question."""

    def __init__(self):
        self.process = subprocess.Popen([e2e.WINE, e2e.PROBE, "serve"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, *args):
        self.process.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
        self.process.stdin.flush()
        result = {}
        while True:
            line = self.process.stdout.readline().decode("utf-8", "replace")
            if not line:
                raise RuntimeError("the probe ended")
            key, _, value = line.rstrip("\r\n").partition("=")
            if key == "end":
                return result
            result.setdefault(key, []).append(value)

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            self.process.wait(timeout=30)


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def inside(rect, point):
    return rect[0] <= point[0] < rect[2] and rect[1] <= point[1] < rect[3]


class Storm:
    def __init__(self, seed):
        self.seed = seed
        self.rng = random.Random(seed)
        self.events = self.games = self.evaluations = self.hold_checks = 0
        self.exits = {}
        self.findings = []
        self.game = None
        self.steps = []
        self.kind = "other"
        self.ending = None
        e2e.Desktop.ensure()
        self.probe = Probe()

    # --- what is on the screen ------------------------------------------------
    def window(self, title):
        info = self.probe.ask("window", title)
        return info if info.get("visible") == ["1"] else None

    def observe(self):
        view = {"main": self.window(MAIN_TITLE), "win": self.window(WIN_TITLE),
                "box": self.probe.ask("msgbox").get("found") == ["1"]}
        # A menu shown, or the menu mode a lone Alt+Space can leave without one
        # (the caption's menu button lit): either takes the keys, and a close.
        view["menu"] = self.probe.ask("menu").get("found") == ["1"] or any(
            w and w.get("menumode") == ["1"] for w in (view["main"], view["win"]))
        # Active and in front: with another program in front (the desktop
        # clicked), Wine lets go of the clip and takes it back with the front.
        view["win_active"] = bool(view["win"]) and view["win"].get("active") == ["1"] and view["win"].get(
            "foreground") == ["1"]
        return view

    def delta(self, info, client):
        """How far the window's client area is from where the design opens it."""
        x, y = numbers(info["client_origin"][0])
        ox, oy = e2e.origin(client)
        return x - ox, y - oy

    def point(self, info, client, box):
        """A random point of a control's box (twips of the client area) on the screen."""
        left, top, width, height = box
        dx, dy = self.delta(info, client)
        x, y = e2e.px(left + self.rng.uniform(0.15, 0.85) * width), e2e.px(top + self.rng.uniform(0.15, 0.85) * height)
        ox, oy = e2e.origin(client)
        return ox + x + dx, oy + y + dy

    # --- bookkeeping --------------------------------------------------------------
    def step(self, what, kind="other"):
        self.events += 1
        self.kind = kind
        self.steps = (self.steps + [f"#{self.events} {what}"])[-60:]

    def note(self, what):
        self.steps.append("    " + what)
        print(f"NOTE: Wine storm, seed {self.seed}, event {self.events}: {what}", flush=True)

    def in_move_loop(self, title):
        return self.probe.ask("window", title).get("movesize") == ["1"]

    def finding(self, what):
        text = (f"Wine storm, seed {self.seed}, event {self.events}, game {self.games + 1}: {what}\n"
                "  steps of this game (last 60):\n    " + "\n    ".join(self.steps))
        self.findings.append(text)
        print("FINDING: " + text, flush=True)

    def start(self):
        self.steps = []
        self.held = []
        # Where it last stood before it was seen active: it may be activated
        # there and moved before the storm looks again.
        self.shown_inactive = None
        self.win_seen = False
        self.reached = False
        seed = self.rng.randrange(10 ** 9)
        self.steps.append(f"start, QUINTAREL_TEST_SEED={seed}")
        try:
            self.game = e2e.Game(seed)
        except AssertionError as error:
            self.finding(f"the game did not open its main window: {error}")
            self.abandon()

    def abandon(self):
        """After a finding: the game killed (and Wine with it), the storm goes on."""
        self.exits["killed after a finding"] = self.exits.get("killed after a finding", 0) + 1
        self.games += 1
        self.evaluations += self.reached
        self.probe.close()
        if self.game:
            self.game.kill()
        e2e.stop_wine()
        e2e.Desktop.ensure()
        self.probe = Probe()
        self.game = None

    def ended(self):
        status = self.game.exit_code()
        if status != 0:
            self.finding(f"the game ended with status {status}")
        # Whatever held the cursor went with the game.
        end = time.time() + HOLD_GRACE
        while True:
            clip = numbers(self.probe.ask("clip")["clip"][0])
            pos = numbers(self.probe.ask("setpos", "2", "2")["pos"][0])
            if (clip == FREE and pos == (2, 2)) or time.time() > end:
                break
            time.sleep(0.1)
        if clip != FREE or pos != (2, 2):
            self.finding(f"the game has ended, but the cursor is clipped to {clip} (sent to 2,2: at {pos})")
        kind = ("" if status == 0 else "failed, ") + (self.ending or self.kind)
        self.exits[kind] = self.exits.get(kind, 0) + 1
        self.games += 1
        self.evaluations += self.reached
        self.game = None
        self.ending = None

    def expect_end(self, what):
        self.ending = what
        try:
            self.game.exit_code(timeout=EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.finding(f"{what} (OK of the evaluation window) did not end the game")
            return self.abandon()
        self.ended()

    def check(self):
        if not self.game:
            return
        if not self.game.running():
            return self.ended()
        self.view = view = self.observe()
        if not (view["main"] or view["win"] or view["box"]):
            self.ending = self.kind
            try:
                self.game.exit_code(timeout=WINDOWLESS_GRACE)
            except subprocess.TimeoutExpired:
                self.finding("the game runs without a window")
                return self.abandon()
            return self.ended()
        if view["win"]:
            self.reached = True
            if view["win"].get("iconic") == ["0"]:
                left, top, right, bottom = numbers(view["win"]["outer"][0])
                if not view["win_active"]:
                    self.shown_inactive = (left, top, right, bottom)
                elif not self.win_seen:
                    # First seen already active: it came up, was activated and may
                    # have been dragged by the last event before the storm looked.
                    # It came up where its design puts it.
                    dx, dy = self.delta(view["win"], WIN_CLIENT)
                    dx, dy = dx - e2e.SHIFT[0], dy - e2e.SHIFT[1]
                    self.shown_inactive = (left - dx, top - dy, right - dx, bottom - dy)
            self.win_seen = True
        if view["win_active"] and view["win"].get("iconic") == ["0"]:
            outer = numbers(view["win"]["outer"][0])
            if outer not in self.held:
                self.held.append(outer)
            # Windows keeps a clip rectangle to the screen: a window partly off
            # the screen holds the cursor to the part on it.
            accepted = [on_screen(r) for r in self.held + ([self.shown_inactive] if self.shown_inactive else [])]
            self.hold_checks += 1
            # The rectangle is taken when the window is activated and stays when
            # it is moved: any rectangle the active window had will do, or the
            # one it had when last seen before its activation.
            end = time.time() + HOLD_GRACE
            while (clip := numbers(self.probe.ask("clip")["clip"][0])) not in accepted and time.time() < end:
                time.sleep(0.1)
            if clip not in accepted and self.in_move_loop(WIN_TITLE):
                # The system's move loop lets go of the cursor while it runs (it
                # missed the button's release): a user ends it, and the hold
                # must come back.
                self.note("the system's move loop runs; Escape")
                e2e.key("Escape")
                end = time.time() + HOLD_GRACE
                while (clip := numbers(self.probe.ask("clip")["clip"][0])) not in accepted and time.time() < end:
                    time.sleep(0.1)
            if clip not in accepted and self.game.running() and self.observe()["win_active"]:
                self.finding(f"the evaluation window is active, but the cursor is clipped to {clip},"
                             f" not to its rectangles {accepted} (in a move loop: {self.in_move_loop(WIN_TITLE)};"
                             f" the last ClipCursor calls in the game's thread: {self.game.clip_calls()[-4:]})")
                return self.abandon()

    # --- events -----------------------------------------------------------------
    def click(self, point, clicks, what, kind="click"):
        point = (min(max(point[0], 0), SCREEN[0] - 1), min(max(point[1], 0), SCREEN[1] - 1))
        view = self.view
        win = view["win"]
        on_ok = False
        if win and not view["menu"] and not view["box"] and win.get("iconic") == ["0"]:
            dx, dy = self.delta(win, WIN_CLIENT)
            x0, y0 = e2e.on_win(OK_BUTTON[0], OK_BUTTON[1])
            x1, y1 = e2e.on_win(OK_BUTTON[0] + OK_BUTTON[2], OK_BUTTON[1] + OK_BUTTON[3])
            # Where the cursor really lands, held or not, decides whether OK is pressed.
            where = numbers(self.probe.ask("setpos", str(point[0]), str(point[1]))["pos"][0])
            on_ok = view["win_active"] and inside((x0 + dx, y0 + dy, x1 + dx, y1 + dy), where)
        self.step(f"{'double click' if clicks == 2 else 'click'} {what} at {point[0]},{point[1]}",
                  "OK clicked" if on_ok else kind)
        xdotool("mousemove", point[0], point[1], "click", "--repeat", clicks, "--delay", 80, 1)
        time.sleep(0.1)
        if on_ok:
            self.expect_end("OK clicked")

    def event(self):
        view, rng = self.view, self.rng
        main, win = view["main"], view["win"]
        pick = rng.randrange(100)
        if pick < 20 and main:
            # The next round: the first one whose score label is still white.
            shot = e2e.Shot()
            dx, dy = self.delta(main, MAIN_CLIENT)
            nxt = next((k for k in range(1, 8)
                        if (lambda p: shot.pixel((p[0] + dx, p[1] + dy)))(e2e.centre(*e2e.score_label(k))) == WHITE), 7)
            k = nxt if rng.random() < 0.8 else rng.randint(1, 7)
            self.click(self.point(main, MAIN_CLIENT, e2e.ROUND_LABELS[k]), 1, f"round label {k}")
        elif pick < 28 and main:
            n = rng.randint(1, 7)
            box = e2e.select_digit(n) if rng.random() < 0.5 else e2e.select_box(n)
            self.click(self.point(main, MAIN_CLIENT, box), 1, f"number {n}")
        elif pick < 46:
            clicks = 2 if rng.random() < 0.2 else 1
            if win and rng.random() < 0.6:
                box = OK_BUTTON if rng.random() < 0.25 else (0, 0, WIN_CLIENT[2], WIN_CLIENT[3])
                self.click(self.point(win, WIN_CLIENT, box), clicks, "on the evaluation window")
            elif main:
                boxes = (list(e2e.ROUND_LABELS.values()) + list(e2e.DRAW_LABELS.values()) +
                         [f(k) for f in (e2e.select_box, e2e.select_digit, e2e.score_label) for k in range(1, 8)] +
                         [e2e.LBL_NUMBER, e2e.LBL_PERCENT, (0, 0, MAIN_CLIENT[2], MAIN_CLIENT[3])])
                self.click(self.point(main, MAIN_CLIENT, rng.choice(boxes)), clicks, "on the main window")
            else:
                self.step("nothing to click")
        elif pick < 51:
            self.click((rng.randrange(SCREEN[0]), rng.randrange(SCREEN[1])), 2 if rng.random() < 0.2 else 1,
                       "anywhere")
        elif pick < 56:
            # A drag: from a caption (the desktop moves the window) or a control.
            info = win if win and rng.random() < 0.5 else main
            if not info:
                return self.step("nothing to drag")
            outer = numbers(info["outer"][0])
            x0 = min(max(rng.randrange(outer[0] + 5, outer[2] - 40), 0), SCREEN[0] - 1)
            y0 = min(max(outer[1] + 8 if rng.random() < 0.5 else rng.randrange(outer[1], outer[3]), 0), SCREEN[1] - 1)
            x1 = min(max(x0 + rng.randint(-300, 300), 0), SCREEN[0] - 1)
            y1 = min(max(y0 + rng.randint(-300, 300), 0), SCREEN[1] - 1)
            self.step(f"drag {x0},{y0} to {x1},{y1}", "drag")
            args = ["mousemove", x0, y0, "mousedown", 1]
            for i in range(1, 4):
                args += ["mousemove", x0 + (x1 - x0) * i // 3, y0 + (y1 - y0) * i // 3]
            xdotool(*args, "mouseup", 1)
        elif pick < 72:
            key = rng.choice(KEYS)
            # A minimised window, active or not, gets keys as system keys: no OK.
            presses_ok = (view["win_active"] and view["win"].get("iconic") == ["0"] and not view["menu"]
                          and key in ("Return", "space"))
            self.step(f"key {key}", f"OK by {key}" if presses_ok else "key")
            e2e.key(key)
            if presses_ok:
                self.expect_end(f"OK by {key}")
        elif pick < 73:
            self.step("Alt+F4", "Alt+F4")
            e2e.key("alt+F4")
        elif pick < 75:
            which, title = rng.choice([("main window", MAIN_TITLE), ("evaluation window", WIN_TITLE)])
            if rng.random() < 0.5:
                self.step(f"close request to the {which}", f"close {which}")
                self.probe.ask("sysclose", title)
            else:
                box = self.probe.ask("closebox", title)
                if "point" not in box:
                    return self.step("no close box to click")
                self.click(numbers(box["point"][0]), 1, f"the close box of the {which}", f"close box of the {which}")
        elif pick < 84:
            r = rng.random()
            if r < 0.4:
                x, y = rng.randrange(SCREEN[0]), rng.randrange(SCREEN[1])
                self.step(f"pointer to {x},{y}")
                xdotool("mousemove", x, y)
            elif r < 0.7:
                dx, dy = rng.randint(-1500, 1500), rng.randint(-1500, 1500)
                self.step(f"pointer by {dx},{dy}")
                xdotool("mousemove_relative", "--", dx, dy)
            else:
                x, y = rng.randrange(SCREEN[0]), rng.randrange(SCREEN[1])
                self.step(f"SetCursorPos {x},{y}")
                self.probe.ask("setpos", str(x), str(y))
        elif pick < 88:
            which, title = rng.choice([("main", MAIN_TITLE), ("evaluation", WIN_TITLE)])
            self.step(f"switch to the {which} window")
            self.probe.ask("switchto", title)
        elif pick < 91:
            which, info, title = rng.choice([("main", main, MAIN_TITLE), ("evaluation", win, WIN_TITLE)])
            if not info:
                return self.step("nothing to move")
            outer = numbers(info["outer"][0])
            x = min(max(outer[0] + rng.randint(-200, 200), 0), 800)
            y = min(max(outer[1] + rng.randint(-200, 200), 0), 750)
            self.step(f"move the {which} window to {x},{y}")
            self.probe.ask("move", title, str(x), str(y))
        elif pick < 96:
            which, title = rng.choice([("main", MAIN_TITLE), ("evaluation", WIN_TITLE)])
            action = rng.choice(["minimize", "restore"])
            self.step(f"{action} the {which} window", action)
            self.probe.ask(action, title)
        else:
            self.step("window menu (Alt+space)", "window menu")
            e2e.key("alt+space")

    def run(self, events):
        end = self.events + events
        while self.events < end:
            if not self.game:
                self.start()
                continue
            self.check()
            if not self.game:
                continue
            self.event()
            self.check()
        self.stop()

    def stop(self):
        """Ends a game left running, as a user would: the windows restored, menus
        closed, the message box answered (closing is not for a window whose
        message box is up), the main window closed."""
        if not self.game or not self.game.running():
            return
        self.ending = "end of storm"
        for _ in range(5):
            # A message box hides with its minimised owner: the windows back first.
            for title in (WIN_TITLE, MAIN_TITLE):
                self.probe.ask("switchto", title)
            time.sleep(0.3)
            view = self.observe()
            if view["menu"]:
                e2e.key("Escape")
            if view["box"]:
                # Its button clicked: the box need not be the active window (Wine
                # may leave its disabled owner active), and a key goes to that.
                buttons = self.probe.ask("msgbox").get("button", [])
                if buttons:
                    left, top, right, bottom = numbers(buttons[0].split("|")[1])
                    e2e.click(((left + right) // 2, (top + bottom) // 2))
                else:
                    self.probe.ask("switchto", MAIN_TITLE)  # the box, as main is disabled
                    e2e.key("Return")
            self.probe.ask("sysclose", MAIN_TITLE)
            try:
                self.game.exit_code(timeout=EXIT_TIMEOUT / 5)
                return self.ended()
            except subprocess.TimeoutExpired:
                pass
        state = []
        for title in (MAIN_TITLE, WIN_TITLE):
            info = self.probe.ask("window", title)
            state.append(f"{title!r}: " + (", ".join(f"{k} {' '.join(info.get(k, ['?']))}" for k in (
                "visible", "iconic", "enabled", "last_popup_class", "active", "movesize", "menumode", "capture_class", "focus_class"))
                if info else "none"))
        self.finding("closing the main window did not end the game; " + "; ".join(state)
                     + f"; message box {self.probe.ask('msgbox')}")
        self.abandon()

    def summary(self):
        exits = "; ".join(f"{kind} {count}" for kind, count in sorted(self.exits.items()))
        return (f"Wine storm, seed {self.seed}: {self.events} events, {self.games} games ({self.evaluations} reached"
                f" the evaluation window, {self.hold_checks} checks of the held cursor); exits: {exits};"
                f" findings: {len(self.findings)}")

    def close(self):
        if self.game:
            self.game.kill()
        self.probe.close()
        e2e.Desktop.close()


def main():
    if not os.environ.get("DISPLAY"):
        sys.exit("The storm needs an X display of 1280 x 1024 x 24 (tools/test.sh starts an Xvfb).")
    seed = int(os.environ.get("QUINTAREL_STORM_SEED") or time.time_ns() % 10 ** 9)
    print(f"QUINTAREL_STORM_SEED={seed} repeats this storm", flush=True)
    # The test before may have left its Wine desktop on its way out, which a
    # new program's windows cannot join (its first probe hung there): this run
    # starts from a stopped server and a desktop of its own.
    e2e.Desktop.ensure()
    if e2e.one(e2e.probe("screen"), "dpi") != "96 96":
        e2e.HighDpi.set_dpi(None)  # an interrupted HighDpi run left its dpi in the prefix
    storm = Storm(seed)
    try:
        storm.run(int(os.environ.get("QUINTAREL_STORM_EVENTS") or 500))
    finally:
        storm.close()
    print(storm.summary())
    for text in storm.findings:
        print("FAILED: " + text)
    sys.exit(1 if storm.findings else 0)


if __name__ == "__main__":
    main()
