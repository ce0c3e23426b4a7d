#!/usr/bin/env python3
"""The game as a screen reader meets it: AT-SPI on a private Xvfb and D-Bus.

    dbus-run-session -- python3 a11y_test.py        (QUINTAREL_PROGRAM: the game)

ScreenReader turns the screen reader's switch on (org.a11y.Status) as Orca does,
starts the game, finds it through pyatspi and plays a whole seeded game by
accessibility actions alone: the names, roles and states of the controls, the
message box of a round without a number, a choice, the results as their texts,
the evaluation window's table, and OK, which ends the program.

Orca plays a whole game by keys under openbox with Orca itself listening, and
reads what Orca spoke from its debug log: the windows, the message box, the
choice, every round's outcome, the evaluation window's summary and its table
walked cell by cell with the headers Orca finds.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Gio, GLib  # noqa: E402
import pyatspi  # noqa: E402

PROGRAM = os.environ["QUINTAREL_PROGRAM"]


def pump():
    """Delivers the accessibility events that have arrived."""
    while GLib.MainContext.default().iteration(False):
        pass


def wait_for(condition, what, timeout=10.0):
    end = time.time() + timeout
    while True:
        pump()
        value = condition()
        if value:
            return value
        if time.time() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.1)


def start_xvfb():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number


def screen_reader_on():
    """What a screen reader does at start: the accessibility bus says it is there."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 5000, None)


def registered_events():
    """The events the accessibility registry knows someone listens to, in its spelling: Object:StateChanged."""
    session = Gio.bus_get_sync(Gio.BusType.SESSION)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
    bus = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    try:
        listeners = bus.call_sync("org.a11y.atspi.Registry", "/org/a11y/atspi/registry", "org.a11y.atspi.Registry",
                                  "GetRegisteredEvents", None, GLib.VariantType("(a(ss))"), Gio.DBusCallFlags.NONE,
                                  5000, None).unpack()[0]
    finally:
        bus.close_sync(None)
    return {event.rstrip(":") for _, event in listeners}


def children(node):
    """The children there are: one going away (a closed window) may read as None."""
    return [c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None]


def by_name(node, name, role=None):
    for child in children(node):
        if child.name == name and (role is None or child.getRoleName() == role):
            return child
    raise AssertionError(f"no {role or 'control'} named {name!r} in {[c.name for c in children(node)]}")


def by_prefix(node, prefix):
    """A text control, whose name is its label and its value together."""
    for child in children(node):
        if child.name.startswith(prefix) and child.getRoleName() == "label":
            return child
    raise AssertionError(f"no label starting {prefix!r} in {[c.name for c in children(node)]}")


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def text(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    start = time.time()
    action.doAction(names.index("press") if "press" in names else 0)
    # The press is answered at once, whatever the click then does.
    assert time.time() - start < 2, f"pressing {node.name!r} blocked"


class ScreenReader(unittest.TestCase):
    def setUp(self):
        self.xvfb, display = start_xvfb()
        screen_reader_on()
        env = dict(os.environ, DISPLAY=display, QUINTAREL_TEST_SEED="4242")
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        # What the game tells a screen reader of its changes, as (event, source's name, text or new state).
        self.events = []
        self.listener = lambda e: self.events.append((e.type, e.source.name, e.any_data if "text" in e.type else e.detail1))
        pyatspi.Registry.registerEventListener(self.listener, "object:text-changed",
                                               "object:state-changed")
        # The registry hears of the listeners asynchronously, and an application
        # asks it which events anyone listens to when it starts: the game starts
        # once the registry knows both, or it may never send them.
        wait_for(lambda: {"Object:TextChanged", "Object:StateChanged"} <= registered_events(),
                 "the registry to know the listeners")
        self.game = subprocess.Popen([PROGRAM], env=env, stderr=subprocess.DEVNULL)

    def tearDown(self):
        pyatspi.Registry.deregisterEventListener(self.listener, "object:text-changed",
                                                 "object:state-changed")
        if self.game.poll() is None:
            self.game.kill()
            self.game.wait()
        self.xvfb.kill()
        self.xvfb.wait()

    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        return next((a for a in children(desktop) if a and a.name == "quintarel"), None)

    def window(self, title):
        return wait_for(lambda: next((w for w in children(self.app()) if w.name == title), None), f"window {title!r}")

    def test_a_whole_game_by_accessibility_actions(self):
        wait_for(self.app, "the game on the accessibility bus")
        main = self.window("Quintarel")
        self.assertEqual(main.getRoleName(), "frame")
        controls = [(c.getRoleName(), c.name) for c in children(main)]
        boxes = by_name(main, "Vyberte číslo", "panel")
        self.assertEqual([(c.getRoleName(), c.name) for c in children(boxes)],
                         [("radio button", str(n)) for n in range(1, 8)])
        for n in range(1, 8):
            self.assertIn(("push button", f"Kolo {n}"), controls)
            self.assertIn(("label", f"Výsledek kola {n}"), controls)
        self.assertIn(("label", "Zvolené číslo:"), controls)
        self.assertIn(("label", "Úspěšnost:"), controls)
        rounds = [by_name(main, f"Kolo {k}", "push button") for k in range(1, 8)]
        self.assertEqual([enabled(r) for r in rounds], [True] + [False] * 6)
        chosen = by_prefix(main, "Zvolené číslo:")
        self.assertEqual(text(chosen), "Zvolené číslo:")
        # Round 1 without a number: the message box, answered through its own OK.
        press(rounds[0])
        box = self.window("Chyba!")
        ok = next(c for c in self.walk(box) if c.getRoleName() == "push button")
        press(ok)
        wait_for(lambda: not any(w.name == "Chyba!" for w in children(self.app())), "the message box closed")
        self.assertEqual(text(by_prefix(main, "Tažené číslo kola 1")), "Tažené číslo kola 1")
        self.assertTrue(enabled(rounds[0]))
        # Choose 3 by pressing its box, then play every round by pressing it.
        three = by_name(boxes, "3", "radio button")
        press(three)
        wait_for(lambda: text(chosen) == "Zvolené číslo: 3", "3 chosen")
        wait_for(lambda: ("object:text-changed:insert", "Zvolené číslo: 3", "Zvolené číslo: 3") in self.events,
                 "the choice told")
        self.assertTrue(three.getState().contains(pyatspi.STATE_CHECKED))
        hits = 0
        for k in range(1, 8):
            press(rounds[k - 1])
            result = by_prefix(main, f"Výsledek kola {k}")
            state = wait_for(lambda: text(result).removeprefix(f"Výsledek kola {k}").strip(), f"the result of round {k}")
            drawn = text(by_prefix(main, f"Tažené číslo kola {k}")).split()[-1]
            self.assertIn(drawn, list("1234567"))
            self.assertEqual(state, "zásah" if drawn == "3" else "minutí", f"round {k}: drew {drawn}")
            hits += drawn == "3"
            self.assertFalse(enabled(rounds[k - 1]))
            if k < 7:
                wait_for(lambda: enabled(rounds[k]), f"round {k + 1} open")
                wait_for(lambda: ("object:state-changed:enabled", f"Kolo {k + 1}", 1) in self.events,
                         f"round {k + 1} told open")
            reading = f"Výsledek kola {k} {state}"
            wait_for(lambda: ("object:text-changed:insert", reading, reading) in self.events,
                     f"the result of round {k} told")
        self.assertEqual(text(by_prefix(main, "Úspěšnost:")), f"Úspěšnost: {hits * 100 // 7}%")
        # The evaluation window: the summary, the record as a table, and OK.
        win = self.window("Vyhodnocení")
        self.assertEqual(text(by_prefix(win, "Správné odhady:")), f"Správné odhady: {hits}")
        self.assertEqual(text(by_prefix(win, "Úspěšnost:")), f"Úspěšnost: {hits * 100 // 7}%")
        table = by_name(win, "Kola", "table").queryTable()
        self.assertEqual((table.nRows, table.nColumns), (2, 7))
        self.assertEqual([table.getRowDescription(r) for r in range(2)], ["Vaše tipy:", "Správně:"])
        self.assertEqual([table.getColumnDescription(c) for c in range(7)], [str(c) for c in range(1, 8)])
        self.assertEqual([table.getColumnHeader(c).name for c in range(7)], [str(c) for c in range(1, 8)])
        self.assertEqual([table.getRowHeader(r).name for r in range(2)], ["Vaše tipy:", "Správně:"])
        drawn = [text(by_prefix(main, f"Tažené číslo kola {k}")).split()[-1] for k in range(1, 8)]
        agree = [", shoda" if d == "3" else ", neshoda" for d in drawn]
        self.assertEqual([table.getAccessibleAt(0, c).name for c in range(7)], [f"3{a}" for a in agree])
        self.assertEqual([table.getAccessibleAt(1, c).name for c in range(7)],
                         [f"{d}{a}" for d, a in zip(drawn, agree)])
        press(by_name(win, "OK", "push button"))
        self.assertEqual(self.game.wait(timeout=10), 0)

    def walk(self, node):
        for child in children(node):
            yield child
            yield from self.walk(child)


# Orca writes its debug log fully buffered: the launcher opens it line-buffered
# and runs the unchanged Orca.
ORCA_LAUNCHER = """
import builtins, runpy, sys
log = sys.argv[1]
plain_open = builtins.open
def line_buffered(file, mode="r", *args, **kwargs):
    if file == log and "w" in mode:
        return plain_open(file, mode, buffering=1, encoding="utf-8")
    return plain_open(file, mode, *args, **kwargs)
builtins.open = line_buffered
sys.argv = ["/usr/bin/orca", "--debug-file", log, "--user-prefs", sys.argv[2]]
runpy.run_path("/usr/bin/orca", run_name="__main__")
"""

SPEECHD_CONF = """AudioOutputMethod "alsa"
AudioALSADevice "null"
DefaultModule dummy
AddModule "dummy" "sd_dummy" ""
"""


class Orca(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="quintarel-orca-")
        self.log = os.path.join(self.home, "orca.log")
        prefs = os.path.join(self.home, "orca-prefs")
        os.makedirs(os.path.join(self.home, ".config", "speech-dispatcher"))
        os.makedirs(prefs)
        with open(os.path.join(self.home, ".config", "speech-dispatcher", "speechd.conf"), "w") as conf:
            conf.write(SPEECHD_CONF)
        self.xvfb, display = start_xvfb()
        self.env = dict(os.environ, DISPLAY=display, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"), QUINTAREL_TEST_SEED="4242")
        for name in ("WAYLAND_DISPLAY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "XDG_SESSION_TYPE"):
            self.env.pop(name, None)
        self.processes = []
        self.said_from = 0
        # Without a window manager the focus would go to the root once the message box closes.
        self.spawn(["openbox", "--sm-disable"])
        screen_reader_on()
        self.spawn(["/usr/bin/python3", "-c", ORCA_LAUNCHER, self.log, prefs])
        self.heard(r"ORCA: Starting registry", "Orca's start")
        wait_for(lambda: {"Object:StateChanged", "Focus"} <= registered_events() or
                 {"Object:StateChanged:Focused"} <= registered_events(), "Orca's listeners", timeout=20)
        env = dict(self.env)
        if "ASAN_OPTIONS" in env:
            # Qt's leak under a listening screen reader is known by a caller
            # below frames without frame pointers (tests/lsan.supp).
            env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
        self.game = subprocess.Popen([PROGRAM], env=env, stderr=subprocess.PIPE)

    def spawn(self, command):
        self.processes.append(subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL, start_new_session=True))

    def tearDown(self):
        if self.game.poll() is None:
            self.game.kill()
        self.game.wait()
        # Orca ignores SIGTERM.
        for process in reversed(self.processes):
            os.killpg(process.pid, 9)
            process.wait()
        self.xvfb.kill()
        self.xvfb.wait()
        if os.environ.get("QUINTAREL_KEEP_ORCA_LOG"):
            shutil.copy(self.log, os.environ["QUINTAREL_KEEP_ORCA_LOG"])
        shutil.rmtree(self.home, ignore_errors=True)

    def spoken(self):
        """What Orca has spoken since the last key, in order."""
        with open(self.log, encoding="utf-8", errors="replace") as log:
            lines = log.read().splitlines()
        return [m.group(1) for m in (re.search(r"SPEECH OUTPUT: '(.*?)'(?:\{|$)", line) for line in lines[self.said_from:]) if m]

    def heard(self, pattern, what, timeout=20.0):
        """Waits until Orca's log has a line matching the pattern after the last key, and returns its match."""
        def find():
            if not os.path.exists(self.log):
                return None
            with open(self.log, encoding="utf-8", errors="replace") as log:
                lines = log.read().splitlines()[self.said_from:]
            for line in lines:
                m = re.search(pattern, line)
                if m:
                    return m
            return None
        try:
            return wait_for(find, what, timeout)
        except AssertionError:
            raise AssertionError(f"Orca did not say {what}; it said {self.spoken()}") from None

    def key(self, *keys):
        with open(self.log, encoding="utf-8", errors="replace") as log:
            self.said_from = len(log.read().splitlines())
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], env=self.env, check=True)

    def test_a_whole_game_heard(self):
        self.heard(r"SPEECH OUTPUT: 'Quintarel frame", "the main window")
        self.heard(r"SPEECH OUTPUT: 'Vyberte číslo", "the boxes, where the focus is")
        # Round 1 without a number: the message box, read whole; Return answers it.
        self.key("Return")
        self.heard(r"SPEECH OUTPUT: 'Nemáte vybráno číslo!", "the message box")
        self.key("Return")
        self.heard(r"SPEECH OUTPUT: 'Quintarel frame", "the main window again")
        # The focus goes on to the open round; a digit typed there chooses and is told.
        self.key("Tab")
        self.heard(r"SPEECH OUTPUT: 'Kolo 1 push button", "the open round, focused")
        self.key("3")
        self.heard(r"SPEECH OUTPUT: 'notification 3\.?'", "the choice")
        outcomes = []
        for k in range(1, 8):
            self.key("Return")
            m = self.heard(rf"SPEECH OUTPUT: '(?:notification )?(Kolo {k}: padlo ([1-7]), (zásah|minutí), úspěšnost (\d+)%\.)'",
                           f"the outcome of round {k}")
            outcomes.append(m.group(1))
            self.assertEqual(m.group(3), "zásah" if m.group(2) == "3" else "minutí")
            hits = sum(1 for o in outcomes if "zásah" in o)
            self.assertEqual(int(m.group(4)), hits * 100 // k)
            if k < 7:
                self.heard(rf"SPEECH OUTPUT: 'Kolo {k + 1} push button", f"round {k + 1} focused")
        print("outcomes:", outcomes, file=sys.stderr)
        self.assertGreater(hits, 0, "a seed with a hit hears both outcomes")
        self.assertLess(hits, 7)
        # The evaluation window: its summary, then the table walked with its headers.
        self.heard(r"SPEECH OUTPUT: 'Vyhodnocení", "the evaluation window")
        self.heard(r"SPEECH OUTPUT: 'OK push button", "OK focused")
        self.heard(rf"SPEECH OUTPUT: '(?:notification )?Správné odhady: {hits} ze 7, úspěšnost {hits * 100 // 7}%\.'", "the summary")
        self.key("Tab")
        self.heard(r"SPEECH OUTPUT: 'table with 2 rows 7 columns", "the table entered")
        self.heard(r"SPEECH OUTPUT: '[1-7], (ne)?shoda", "the first row")
        print("first cell:", self.spoken(), file=sys.stderr)
        self.key("Right")
        self.heard(r"SPEECH OUTPUT: '2 column header [1-7], (ne)?shoda", "the next cell with its column")
        print("next cell:", self.spoken(), file=sys.stderr)
        self.key("Down")
        self.heard(r"SPEECH OUTPUT: '.*[1-7], (ne)?shoda", "the row below")
        self.heard(r"BRAILLE LINE: .*Kola table Správně: row header 2 column header", "the row below's header")
        print("row below:", self.spoken(), file=sys.stderr)
        self.key("Tab")
        self.heard(r"SPEECH OUTPUT: 'OK push button", "OK focused again")
        self.key("Return")
        self.assertEqual(self.game.wait(timeout=30), 0, self.game.stderr.read().decode("utf-8", "replace")[-3000:])


if __name__ == "__main__":
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("Run under dbus-run-session: the test needs a session bus of its own.")
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromNames(
        sys.argv[1:] or ["ScreenReader", "Orca"], sys.modules[__name__]))
    sys.exit(0 if result.wasSuccessful() else 1)
