#!/usr/bin/env python3
"""The game as a screen reader meets it: AT-SPI on a private Xvfb and D-Bus.

    dbus-run-session -- python3 a11y_test.py        (QUINTAREL_PROGRAM: the game)

Turns the screen reader's switch on (org.a11y.Status) as Orca does, starts the
game, finds it through pyatspi and plays a whole seeded game by accessibility
actions alone: the names, roles and states of the controls, the message box of a
round without a number, a choice, the results as their texts, the evaluation
window's table, and OK, which ends the program.
"""
import os
import subprocess
import sys
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
        main = self.window(" Quintarel")
        self.assertEqual(main.getRoleName(), "frame")
        controls = [(c.getRoleName(), c.name) for c in children(main)]
        for n in range(1, 8):
            self.assertIn(("push button", str(n)), controls)
            self.assertIn(("push button", f"Kolo {n}"), controls)
            self.assertIn(("label", f"Výsledek kola {n}"), controls)
        self.assertIn(("label", "Zvolené číslo:"), controls)
        self.assertIn(("label", "Úspěšnost:"), controls)
        rounds = [by_name(main, f"Kolo {k}", "push button") for k in range(1, 8)]
        self.assertEqual([enabled(r) for r in rounds], [True] + [False] * 6)
        chosen = by_name(main, "Zvolené číslo:")
        self.assertEqual(text(chosen), "")
        for k in range(1, 8):
            self.assertEqual(text(by_name(main, f"Výsledek kola {k}")), "")
        # Round 1 without a number: the message box, answered through its own OK.
        press(rounds[0])
        box = self.window("Chyba!")
        ok = next(c for c in self.walk(box) if c.getRoleName() == "push button")
        press(ok)
        wait_for(lambda: not any(w.name == "Chyba!" for w in children(self.app())), "the message box closed")
        self.assertEqual(text(by_name(main, "Tažené číslo kola 1")), "")
        self.assertTrue(enabled(rounds[0]))
        # Choose 3 by pressing its box, then play every round by pressing it.
        press(by_name(main, "3", "push button"))
        wait_for(lambda: text(chosen) == "3", "3 chosen")
        wait_for(lambda: ("object:text-changed:insert", "Zvolené číslo:", "3") in self.events, "the choice told")
        hits = 0
        for k in range(1, 8):
            press(rounds[k - 1])
            result = by_name(main, f"Výsledek kola {k}")
            state = wait_for(lambda: text(result), f"the result of round {k}")
            drawn = text(by_name(main, f"Tažené číslo kola {k}"))
            self.assertIn(drawn, list("1234567"))
            self.assertEqual(state, "zásah" if drawn == "3" else "minutí", f"round {k}: drew {drawn}")
            hits += drawn == "3"
            self.assertFalse(enabled(rounds[k - 1]))
            if k < 7:
                wait_for(lambda: enabled(rounds[k]), f"round {k + 1} open")
                wait_for(lambda: ("object:state-changed:enabled", f"Kolo {k + 1}", 1) in self.events,
                         f"round {k + 1} told open")
            wait_for(lambda: ("object:text-changed:insert", f"Výsledek kola {k}", state) in self.events,
                     f"the result of round {k} told")
        self.assertEqual(text(by_name(main, "Úspěšnost:")), f"{hits * 100 // 7}%")
        # The evaluation window: the summary, the record as a table, and OK.
        win = self.window("Vyhodnocení")
        self.assertEqual(text(by_name(win, "Správné odhady:")), str(hits))
        self.assertEqual(text(by_name(win, "Úspěšnost:")), f"{hits * 100 // 7}%")
        table = by_name(win, "Kola", "table").queryTable()
        self.assertEqual((table.nRows, table.nColumns), (2, 7))
        self.assertEqual([table.getRowDescription(r) for r in range(2)], ["Vaše tipy:", "Správně:"])
        self.assertEqual([table.getColumnDescription(c) for c in range(7)], [str(c) for c in range(1, 8)])
        self.assertEqual([table.getAccessibleAt(0, c).name for c in range(7)], ["3"] * 7)
        drawn = [text(by_name(main, f"Tažené číslo kola {k}")) for k in range(1, 8)]
        self.assertEqual([table.getAccessibleAt(1, c).name for c in range(7)], drawn)
        press(by_name(win, "OK", "push button"))
        self.assertEqual(self.game.wait(timeout=10), 0)

    def walk(self, node):
        for child in children(node):
            yield child
            yield from self.walk(child)


if __name__ == "__main__":
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        sys.exit("Run under dbus-run-session: the test needs a session bus of its own.")
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(ScreenReader))
    sys.exit(0 if result.wasSuccessful() else 1)
