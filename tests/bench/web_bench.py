#!/usr/bin/env python3
"""The game's page against a floor page, in the same headless Chromium.

    python3 web_bench.py SITE [--runs N] [--clicks N]     (SITE: build/web)

The floor (floor.html) waits for the same font and draws one label on a canvas
of the main window's size and place; a click repaints it. Both are timed from
inside the page, by a watcher the browser runs before any of the page's own
scripts: navigation -> first frame (the first animation frame in which the
canvas shows its colour at a design point) and click -> repaint (from the
release's time stamp to the first frame in which the watched patch differs).
The site's size is what the game's page fetched, fonts left out, each file
gzipped at level 9 as a server would send it. A third page, the floor drawn by
the least Emscripten program (floor.html?least, least.cpp), loaded as the game
is, shows what any such page costs before its first frame; it has no target.
"""
import argparse
import gzip
import json
import os
import statistics
import sys
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web"))
import web_test  # noqa: E402  (the browser harness: Chromium over CDP, the server, the design)
from web_test import wait_for  # noqa: E402

WATCHER = """
(() => {
  const bench = window.benchWatch = { frame: null, repaints: [], watch: null, pressed: null, base: null };
  const ready = %s;
  function sample(rect) {
    const canvas = document.querySelector(bench.watch.canvas);
    const r = canvas.getBoundingClientRect(), k = canvas.width / r.width;
    const d = canvas.getContext("2d").getImageData(Math.round(rect[0] * k), Math.round(rect[1] * k),
                                                   Math.max(1, Math.round(rect[2] * k)), Math.max(1, Math.round(rect[3] * k))).data;
    let h = 7;
    for (let i = 0; i < d.length; ++i) h = (h * 31 + d[i]) >>> 0;
    return h;
  }
  addEventListener("pointerup", e => {
    if (!bench.watch) return;
    bench.pressed = e.timeStamp;
    bench.base = sample(bench.watch.rect);
  }, true);
  function frame() {
    if (bench.frame === null) {
      const canvas = document.querySelector(ready.canvas);
      if (canvas && canvas.width) {
        // The game's design points lie in its client area, below and right of the frame it draws.
        const [ox, oy] = ready.client ? Quintarel.clientOffset(0) : [0, 0];
        const r = canvas.getBoundingClientRect(), k = canvas.width / r.width;
        const p = canvas.getContext("2d").getImageData(Math.round((ox + ready.x) * k), Math.round((oy + ready.y) * k),
                                                       1, 1).data;
        if (p[0] === ready.rgb[0] && p[1] === ready.rgb[1] && p[2] === ready.rgb[2]) bench.frame = performance.now();
      }
    }
    if (bench.pressed !== null && sample(bench.watch.rect) !== bench.base) {
      bench.repaints.push(performance.now() - bench.pressed);
      bench.pressed = null;
    }
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);
})();
"""

ORANGE = [255, 192, 128]


class Bench:
    def __init__(self, site):
        here = os.path.dirname(os.path.abspath(__file__))
        self.site = site
        least = os.path.join(site, "tests", "bench")
        self.server = web_test.Server(site, {"floor.html": os.path.join(here, "floor.html"),
                                             "least.js": os.path.join(least, "least.js"),
                                             "least.wasm": os.path.join(least, "least.wasm")})
        self.browser = web_test.Browser()
        self.harness = web_test.Game("test_pixels_at_design_points")
        self.harness.browser, self.harness.places = self.browser, web_test.design()
        self.script = None
        # The watched patch: lblNumber in the game, a patch of its size on the floor.
        self.number = [v / 15 for v in self.harness.places[("frmMain", "lblNumber")]]
        left, top, _, _ = self.harness.places[("frmMain", "lblNoSelect1")]
        # The game's first frame shows the first number box's orange.
        self.game_ready = {"canvas": ".window canvas", "client": True, "x": (left + 30) / 15, "y": (top + 30) / 15}
        # The floor opens where the main window's client area is, at its size.
        self.open(self.server.url + "?seed=1", self.game_ready)
        self.client = self.harness.client_origin(0)
        _, _, width, height = self.harness.window_rect(0)
        ox, oy = self.browser.js("Quintarel.clientOffset(0)")
        self.size = (width - ox, height - oy)

    def open(self, url, ready):
        b = self.browser
        if self.script:
            b.send("Page.removeScriptToEvaluateOnNewDocument", identifier=self.script)
        self.script = b.send("Page.addScriptToEvaluateOnNewDocument",
                             source=WATCHER % json.dumps(dict(ready, rgb=ORANGE)))["identifier"]
        b.send("Page.navigate", url=url)
        return wait_for(lambda: b.js("window.benchWatch && window.benchWatch.frame"), f"the first frame of {url}")

    def run_game(self, clicks):
        frame = self.open(self.server.url + "?seed=1", self.game_ready)
        left, top, width, height = self.number
        cx, cy = self.browser.js("Quintarel.clientOffset(0)")
        self.browser.js(f"benchWatch.watch = {{canvas: '.window canvas', rect: [{cx + left}, {cy + top}, {width}, {height}]}}")
        # Number boxes 3 and 5 in turn: each click changes the number shown.
        targets = [self.harness.centre("frmMain", "lblNoSelect3"), self.harness.centre("frmMain", "lblNoSelect5")]
        return frame, self.clicks(clicks, targets)

    def run_floor(self, clicks, least=False):
        (x, y), (w, h) = self.client, self.size
        url = self.server.url + "floor.html?" + urllib.parse.urlencode({"x": x, "y": y, "w": w, "h": h}) + \
            ("&least" if least else "")
        frame = self.open(url, {"canvas": "canvas", "client": False, "x": 3, "y": 3})
        # The same patch size: the watcher's sampling costs both pages the same.
        self.browser.js(f"benchWatch.watch = {{canvas: 'canvas', rect: [3, 3, {self.number[2]}, {self.number[3]}]}}")
        return frame, self.clicks(clicks, [(x + w / 2, y + h / 2)])

    def clicks(self, n, targets):
        b = self.browser
        for i in range(n):
            b.click(*targets[i % len(targets)])
            wait_for(lambda: b.js("benchWatch.repaints.length") > i, f"repaint {i + 1}")
        return b.js("benchWatch.repaints")

    def site_size(self):
        """What the game's page fetched, fonts left out, gzipped (bytes)."""
        self.open(self.server.url + "?seed=1", self.game_ready)
        names = self.browser.js("[location.href].concat(performance.getEntriesByType('resource').map(e => e.name))")
        total = 0
        for name in names:
            path = urllib.parse.urlparse(name).path.lstrip("/") or "index.html"
            if path.startswith("fonts/") or not os.path.isfile(os.path.join(self.site, path)):
                continue
            total += len(gzip.compress(open(os.path.join(self.site, path), "rb").read(), 9))
        return total

    def close(self):
        self.browser.close()
        self.server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("site")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--clicks", type=int, default=10)
    args = parser.parse_args()
    bench = Bench(os.path.abspath(args.site))
    try:
        bench.run_game(1), bench.run_floor(1), bench.run_floor(0, least=True)  # warm-up
        game, floor, least = ({"frame": [], "click": []} for _ in range(3))
        for run in range(args.runs):
            order = [(bench.run_game, game), (bench.run_floor, floor),
                     (lambda clicks: bench.run_floor(0, least=True), least)]
            for measure, into in order if run % 2 == 0 else reversed(order):
                frame, repaints = measure(args.clicks)
                into["frame"].append(frame)
                into["click"] += repaints
            print(f"web run {run + 1} of {args.runs} done", file=sys.stderr)
        size = bench.site_size()
        version = bench.browser.send("Browser.getVersion")["product"]
    finally:
        bench.close()

    print(f"{version}, headless; {args.runs} runs after a warm-up, {args.clicks} clicks each; medians\n")
    print("| build         | measure                   |          game |         floor |  ratio | target  |")
    print("|---------------|---------------------------|--------------:|--------------:|-------:|---------|")
    within = True
    for what, key, target in (("navigation -> first frame", "frame", 1.2), ("click -> repaint", "click", 1.5)):
        g, f = statistics.median(game[key]), statistics.median(floor[key])
        ratio = g / f if f else float("inf")
        within &= ratio <= target
        print(f"| web           | {what:25} | {g:9.2f} ms  | {f:9.2f} ms  | {ratio:5.2f}x | <= {target}x |")
    g, f = statistics.median(least["frame"]), statistics.median(floor["frame"])
    print(f"| web, least    | {'navigation -> first frame':25} | {g:9.2f} ms  | {f:9.2f} ms  | {g / f:5.2f}x | none    |")
    within &= size <= 100 * 1024
    print(f"| web           | {'site, fonts left out, gz':25} | {size / 1024:9.1f} KiB |               |        | <= 100 KiB |")
    print("\nweb: " + ("within the targets" if within else "OUTSIDE the targets"))
    return 0 if within else 1


if __name__ == "__main__":
    sys.exit(main())
