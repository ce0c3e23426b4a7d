#!/usr/bin/env python3
"""The game in a browser: headless Chromium over the DevTools protocol.

    python3 web_test.py SITE [GAME]   (SITE: build/web, the built site; GAME: a
                                       folder whose quintarel.js and .wasm replace
                                       the site's, a build with Emscripten's checks)

Serves the site on 127.0.0.1, starts Chromium with a fresh profile and plays:
the windows' pixels at design points, a whole game by mouse and one by keys
(each with the "Chyba!" box once), the hold on the evaluation window (the drawn
cursor kept inside it whatever the motion, a click aimed at the main window
changing nothing, Escape freeing it, a click holding it again) and OK, which
ends the game and frees the pointer; and a game as a screen reader plays it,
through the browser's accessibility tree.
"""
import functools
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request

import websocket

SITE = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/web")
GAME = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
SEED = 4242


def wait_for(condition, what, timeout=10.0):
    end = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() > end:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.02)


class Browser:
    """Chromium with a profile of its own, one page, driven over CDP."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="quintarel-chromium-")
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-port=0", "--window-size=1280,1024", f"--user-data-dir={self.profile}",
             "about:blank"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        wait_for(lambda: os.path.exists(port_file) and open(port_file).read().count("\n") >= 1, "Chromium")
        port = open(port_file).read().split()[0]
        pages = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(p for p in pages if p["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], suppress_origin=True)
        self.next_id = 0
        self.events = []
        self.at = (0, 0)  # where the last mouse event was, in CSS pixels
        self.send("Page.enable")
        self.send("Runtime.enable")

    def send(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise AssertionError(f"{method}: {message['error']}")
                return message.get("result", {})
            self.events.append(message)

    def js(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise AssertionError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def close(self):
        self.socket.close()
        self.process.kill()
        self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    # Input, in CSS pixels of the page.
    def mouse(self, kind, x, y, buttons=0):
        self.at = (x, y)
        self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left" if kind != "mouseMoved" else "none",
                  buttons=buttons, clickCount=1 if kind != "mouseMoved" else 0)

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        self.mouse("mousePressed", x, y, 1)
        self.mouse("mouseReleased", x, y)

    KEYS = {"Enter": ("Enter", 13, "\r"), "Space": (" ", 32, " "), "Tab": ("Tab", 9, ""), "Escape": ("Escape", 27, ""),
            "ArrowRight": ("ArrowRight", 39, "")}

    def key(self, code):
        if code.startswith("Digit"):
            key, vk, text = code[-1], ord(code[-1]), code[-1]
        else:
            key, vk, text = self.KEYS[code]
        # The browser frees a held pointer on an Escape with its native key code.
        self.send("Input.dispatchKeyEvent", type="keyDown", code=code, key=key, windowsVirtualKeyCode=vk,
                  nativeVirtualKeyCode=vk, text=text)
        self.send("Input.dispatchKeyEvent", type="keyUp", code=code, key=key, windowsVirtualKeyCode=vk)


class Server:
    """A static server on 127.0.0.1 for the site; `files` serves other files under given names."""

    def __init__(self, site=SITE, files=None):
        files = dict(files or {})

        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def translate_path(self, path):
                name = path.split("?")[0].lstrip("/")
                return files[name] if name in files else super().translate_path(path)

        handler = functools.partial(Quiet, directory=site)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def design():
    """The designed places, in twips of the form's client area, read off the forms' sources as the program has them."""
    places = {}
    for form in ("frmMain", "frmWin"):
        text = open(os.path.join(os.path.dirname(__file__), "..", "..", "src", "forms", form + ".cpp")).read()
        for m in re.finditer(r'\{\.name = "(\w+)",(?: \.kind = K::\w+,)?(?: \.index = (\d+),)?'
                             r'(?: \.container = "(\w+)",)? \.left = (\d+), \.top = (\d+), \.width = (\d+), '
                             r'\.height = (\d+)', text):
            name = m.group(1) + (f"({m.group(2)})" if m.group(2) else "")
            left, top, width, height = (int(v) for v in m.group(4, 5, 6, 7))
            if m.group(3):
                # Containers come before what they hold in the design.
                left, top = left + places[(form, m.group(3))][0], top + places[(form, m.group(3))][1]
            places[(form, name)] = (left, top, width, height)
    return places


class Game(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server(files={name: os.path.join(GAME, name) for name in ("quintarel.js", "quintarel.wasm")}
                            if GAME else None)
        cls.places = design()

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def setUp(self):
        self.browser = Browser()
        self.browser.send("Page.navigate", url=f"{self.server.url}?seed={SEED}")
        wait_for(lambda: self.browser.js("document.querySelectorAll('.window').length") == 1, "the main window")

    def tearDown(self):
        self.browser.close()

    # Where a control's centre is on the page, in CSS pixels.
    def window_rect(self, index):
        return self.browser.js(f"(() => {{ const r = document.querySelectorAll('.window canvas')[{index}]"
                               f".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; }})()")

    def client_origin(self, index):
        # The frame's border and title bar lie above and left of the client area.
        left, top, _, _ = self.window_rect(index)
        offset = self.browser.js(f"Quintarel.clientOffset({index})")
        return left + offset[0], top + offset[1]

    def centre(self, form, name):
        index = 0 if form == "frmMain" else 1
        x, y = self.client_origin(index)
        left, top, width, height = self.places[(form, name)]
        return x + (left + width / 2) / 15, y + (top + height / 2) / 15

    def pixel(self, index, x, y):
        left, top, _, _ = self.window_rect(index)
        return tuple(self.browser.js(
            f"Array.from(document.querySelectorAll('.window canvas')[{index}].getContext('2d')"
            f".getImageData({round(x - left)}, {round(y - top)}, 1, 1).data.slice(0, 3))"))

    def dialog_open(self):
        return self.browser.js("document.getElementById('message').open")

    def held(self):
        """The browser holds the pointer and the page draws its cursor: the page has heard of the lock."""
        return self.browser.js("document.pointerLockElement !== null && !document.getElementById('cursor').hidden")

    def free(self):
        return self.browser.js("document.pointerLockElement === null && document.getElementById('cursor').hidden")

    def answer_box(self):
        b = self.browser
        wait_for(self.dialog_open, "the Chyba! box")
        self.assertEqual(b.js("document.querySelector('#message .prompt').textContent"), "Nemáte vybráno číslo!")
        self.assertEqual(b.js("document.querySelector('#message .title').textContent"), "Chyba!")
        return b

    def main_pixels(self):
        return self.browser.js("(() => { const c = document.querySelectorAll('.window canvas')[0];"
                               " return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data)"
                               ".reduce((h, v) => (h * 31 + v) >>> 0, 7); })()")

    def cursor(self):
        return tuple(self.browser.js("(() => { const c = document.getElementById('cursor'); "
                                     "return c.hidden ? null : [parseFloat(c.style.left), parseFloat(c.style.top)]; })()")
                     or ())

    def move_by(self, dx, dy, steps=10):
        """Relative motion, as a mouse gives it to a held pointer."""
        x, y = self.browser.at
        for i in range(1, steps + 1):
            self.browser.mouse("mouseMoved", x + dx * i / steps, y + dy * i / steps)

    def move_cursor_to(self, x, y):
        cx, cy = self.cursor()
        self.move_by(x - cx, y - cy, steps=1)
        wait_for(lambda: abs(self.cursor()[0] - x) < 1 and abs(self.cursor()[1] - y) < 1, f"the cursor at {x},{y}")

    def button_centre(self, selector):
        return self.browser.js(f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
                               ".getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()")

    def evaluation_and_ok(self):
        """The evaluation window holds the pointer inside it until OK ends the game."""
        b = self.browser
        wait_for(lambda: b.js("document.querySelectorAll('.window').length") == 2, "the evaluation window")
        wait_for(self.held, "the hold on the evaluation window's activation")
        left, top, width, height = self.window_rect(1)
        # Toward every edge: the drawn cursor stops at the window's outer rectangle.
        ratio = b.js("devicePixelRatio")
        for dx, dy, edge in ((-3000, 0, "left"), (0, -3000, "top"), (3000, 0, "right"), (0, 3000, "bottom")):
            self.move_by(dx, dy)
            cx, cy = self.cursor()
            self.assertTrue(left <= cx < left + width and top <= cy < top + height, f"cursor {cx},{cy} past {edge}")
            at_edge = {"left": cx == left, "top": cy == top, "right": abs(cx - (left + width - 1 / ratio)) < 0.01,
                       "bottom": abs(cy - (top + height - 1 / ratio)) < 0.01}[edge]
            self.assertTrue(at_edge, f"cursor {cx},{cy} short of the {edge} edge")
        # A click aimed at the main window lands in the evaluation window.
        before = self.main_pixels()
        self.move_cursor_to(left, top + height / 2)
        self.move_by(-200, 0)
        b.mouse("mousePressed", *b.at, 1)
        b.mouse("mouseReleased", *b.at)
        self.assertEqual(self.main_pixels(), before)
        self.assertEqual(b.js("document.querySelectorAll('.window').length"), 2)
        # Escape frees the pointer, and the page says how to hold it again.
        b.key("Escape")
        wait_for(self.free, "Escape to free the pointer")
        self.assertIn("Esc", b.js("document.getElementById('status').textContent"))
        self.assertEqual(self.cursor(), ())
        # At once: the browser refuses a new lock for a while after an Escape,
        # and this press still holds the pointer when that time is up.
        b.click(left + width / 2, top + height / 2)
        wait_for(self.held, "a click on the evaluation window to hold again")
        self.assertEqual(b.js("document.getElementById('status').hidden"), True)
        ok = self.button_centre(".window:nth-of-type(2) button")
        self.move_cursor_to(*ok)
        b.mouse("mousePressed", *b.at, 1)
        b.mouse("mouseReleased", *b.at)
        wait_for(lambda: not b.js("document.getElementById('ended').hidden"), "the ended page")
        wait_for(self.free, "the pointer freed at the end")
        self.assertEqual(b.js("document.querySelectorAll('.window').length"), 0)

    def test_pixels_at_design_points(self):
        pink, orange, yellow = (255, 192, 192), (255, 192, 128), (255, 255, 192)
        for name, colour in (("lblNoSelect1", orange), ("lblNoSelect7", orange)):
            left, top, width, height = self.places[("frmMain", name)]
            x, y = self.client_origin(0)
            self.assertEqual(self.pixel(0, x + (left + 30) / 15, y + (top + 30) / 15), colour, name)
        x, y = self.client_origin(0)
        self.assertEqual(self.pixel(0, x + 3, y + 3), pink)
        self.assertEqual(self.pixel(0, x + 3000 / 15, y + 2800 / 15), pink)
        del yellow

    def test_a_whole_game_by_mouse(self):
        b = self.browser
        b.click(*self.centre("frmMain", "lblClick1"))
        self.answer_box()
        b.click(*self.button_centre("#message button"))
        wait_for(lambda: not self.dialog_open(), "the box answered")
        b.click(*self.centre("frmMain", "lblNoSelect3"))
        for k in range(1, 8):
            b.click(*self.centre("frmMain", f"lblClick{k}"))
        self.evaluation_and_ok()

    def test_a_whole_game_by_keys(self):
        b = self.browser
        b.key("Enter")
        self.answer_box()
        b.key("Enter")
        wait_for(lambda: not self.dialog_open(), "the box answered")
        b.key("Digit5")
        for k in range(1, 8):
            b.key("Enter" if k % 2 else "Space")
        wait_for(lambda: b.js("document.querySelectorAll('.window').length") == 2, "the evaluation window")
        # Here the browser refuses a lock asked for on a key (its page has had no
        # click yet): the game says so, and plays on unheld.
        status = wait_for(lambda: self.held() or b.js("document.getElementById('status').textContent"), "the hold")
        if status is not True:
            self.assertEqual(status, "Prohlížeč nedovolil podržet ukazatel myši: hra pokračuje bez toho.")
            self.assertEqual(self.cursor(), ())
        b.key("Enter")
        wait_for(lambda: not b.js("document.getElementById('ended').hidden"), "the ended page")
        self.assertTrue(self.free())

    def problem(self):
        return self.browser.js("(() => { const p = document.getElementById('problem');"
                               " return !p || p.hidden ? null : p.textContent; })()")

    def test_what_the_page_cannot_do_it_says(self):
        b = self.browser
        # Opened as a file, where the wasm can't be fetched: how to serve it.
        b.send("Page.navigate", url=f"file://{SITE}/index.html")
        self.assertIn("http.server", wait_for(self.problem, "the line on a file:// page"))
        self.assertEqual(b.js("document.querySelectorAll('.window').length"), 0)
        # A browser without WebAssembly.
        script = b.send("Page.addScriptToEvaluateOnNewDocument", source="delete window.WebAssembly;")["identifier"]
        b.send("Page.navigate", url=self.server.url)
        self.assertIn("WebAssembly", wait_for(self.problem, "the line without WebAssembly"))
        b.send("Page.removeScriptToEvaluateOnNewDocument", identifier=script)
        # Scripts off: the page's own text, not a blank canvas.
        b.send("Emulation.setScriptExecutionDisabled", value=True)
        b.send("Page.navigate", url=self.server.url)
        shown = lambda: [n["named"][1] for n in self.ax().values() if "se zapnutým JavaScriptem" in (n["named"][1] or "")]
        wait_for(shown, "the line without scripts")

    def test_a_font_that_fails_to_load(self):
        fontless = Server(files={f"fonts/{name}.woff2": os.path.join(SITE, "no-such-font")
                                 for name in ("QuintarelSans", "QuintarelSans-Bold")})
        try:
            b = self.browser
            b.send("Page.navigate", url=f"{fontless.url}?seed={SEED}")
            wait_for(lambda: b.js("document.querySelectorAll('.window').length") == 1, "the main window")
            self.assertTrue(b.js("!document.getElementById('status').hidden"))
            self.assertIn("Písmo", b.js("document.getElementById('status').textContent"))
            # The named fallbacks draw, and the game plays.
            b.click(*self.centre("frmMain", "lblNoSelect3"))
            b.click(*self.centre("frmMain", "lblClick1"))
            said = wait_for(lambda: b.js("Array.from(document.querySelectorAll('#announce p'), p => p.textContent)"),
                            "round 1 told")
            self.assertTrue(said[0].startswith("Kolo 1: padlo "), said)
        finally:
            fontless.close()

    def test_a_page_too_small_for_the_windows_scrolls_to_them(self):
        b = self.browser
        b.send("Emulation.setDeviceMetricsOverride", width=320, height=240, deviceScaleFactor=1, mobile=False)
        b.send("Page.navigate", url=f"{self.server.url}?seed={SEED}")
        wait_for(lambda: b.js("document.querySelectorAll('.window').length") == 1, "the main window")
        b.key("Digit3")
        for _ in range(7):
            b.key("Enter")
        wait_for(lambda: b.js("document.querySelectorAll('.window').length") == 2, "the evaluation window")
        for index in range(2):
            # Scrolled to, each window lies whole in the page, none of it cut off.
            corners = b.js(f"""(() => {{
                const c = document.querySelectorAll('.window canvas')[{index}];
                const r = c.getBoundingClientRect();
                const x = r.left + scrollX, y = r.top + scrollY;
                const seen = [];
                for (const [px, py] of [[x + 1, y + 1], [x + r.width - 2, y + 1], [x + 1, y + r.height - 2],
                                        [x + r.width - 2, y + r.height - 2]]) {{
                    scrollTo(px - 10, py - 10);
                    const hit = document.elementFromPoint(px - scrollX, py - scrollY);
                    seen.push(hit === c || c.parentElement.contains(hit));
                }}
                return [x >= 0 && y >= 0, seen];
            }})()""")
            self.assertEqual(corners, [True, [True] * 4], f"window {index}")

    def ax(self):
        """The page's accessibility tree as a screen reader gets it: role, name, states, children."""
        nodes = {n["nodeId"]: n for n in self.browser.send("Accessibility.getFullAXTree")["nodes"]}
        for n in nodes.values():
            n["props"] = {p["name"]: p["value"].get("value") for p in n.get("properties", [])}
            n["named"] = (n["role"].get("value"), n.get("name", {}).get("value"))
        return nodes

    def focused(self):
        return next(n["named"] for n in self.ax().values() if n["props"].get("focused") and n["named"][0] != "RootWebArea")

    def children(self, nodes, role, name):
        found = next(n for n in nodes.values() if n["named"] == (role, name))
        return [nodes[c] for c in found.get("childIds", []) if not nodes[c].get("ignored")]

    def test_a_whole_game_by_screen_reader(self):
        b = self.browser
        b.send("Accessibility.enable")
        nodes = self.ax()
        radios = self.children(nodes, "radiogroup", "Vyberte číslo")
        self.assertEqual([r["named"] for r in radios], [("radio", str(k)) for k in range(1, 8)])
        self.assertEqual({r["props"].get("checked") for r in radios}, {"false"})
        rounds = {n["named"][1]: n["props"].get("disabled", False) for n in nodes.values() if n["named"][0] == "button"}
        self.assertEqual(rounds, {f"Kolo {k}": k > 1 for k in range(1, 8)})
        self.assertEqual(self.focused(), ("radio", "1"))
        b.key("Digit3")
        wait_for(lambda: self.focused() == ("radio", "3"), "the focus on the choice")
        self.assertEqual([r["props"].get("checked") for r in self.children(self.ax(), "radiogroup", "Vyberte číslo")],
                         ["true" if k == 3 else "false" for k in range(1, 8)])
        b.key("Tab")
        wait_for(lambda: self.focused() == ("button", "Kolo 1"), "Tab to the open round")
        # A screen reader's press is a click on the focused element.
        told = lambda: b.js("Array.from(document.querySelectorAll('#announce p'), p => p.textContent)")
        hits = 0
        for k in range(1, 8):
            b.js("document.activeElement.click()")
            said = wait_for(lambda: told()[k - 1:k], f"round {k} told")[0]
            m = re.fullmatch(rf"Kolo {k}: padlo ([1-7]), (zásah|minutí), úspěšnost (\d+)%\.", said)
            self.assertTrue(m, said)
            hits += m.group(2) == "zásah"
            self.assertEqual((m.group(1) == "3", int(m.group(3))), (m.group(2) == "zásah", hits * 100 // k), said)
            if k < 7:
                self.assertEqual(self.focused(), ("button", f"Kolo {k + 1}"))
        self.assertEqual(wait_for(lambda: told()[7:], "the summary"),
                         [f"Správné odhady: {hits} ze 7, úspěšnost {hits * 100 // 7}%."])
        self.assertEqual(self.focused(), ("button", "OK"))
        nodes = self.ax()
        rows = self.children(nodes, "grid", "Kola")
        cells = [[nodes[c]["named"] for c in row.get("childIds", []) if not nodes[c].get("ignored")] for row in rows]
        self.assertEqual(cells[0], [("columnheader", str(k)) for k in range(1, 8)])
        self.assertEqual([row[0] for row in cells[1:]], [("rowheader", "Vaše tipy:"), ("rowheader", "Správně:")])
        guesses = [name for _, name in cells[1][1:]]
        self.assertEqual([n.split(", ")[0] for n in guesses], ["3"] * 7)
        self.assertEqual(sum(n.endswith(", shoda") for n in guesses), hits)
        b.key("Tab")
        wait_for(lambda: self.focused()[0] == "gridcell", "Tab to the table")
        column = lambda: b.js("document.activeElement.getAttribute('aria-colindex')")
        first = column()
        b.key("ArrowRight")
        wait_for(lambda: self.focused()[0] == "gridcell" and column() == str(int(first) + 1), "the next cell")
        b.js("Array.from(document.querySelectorAll('button')).find(e => e.textContent === 'OK').click()")
        wait_for(lambda: not b.js("document.getElementById('ended').hidden"), "the ended page")


if __name__ == "__main__":
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(Game))
    sys.exit(0 if result.wasSuccessful() else 1)
