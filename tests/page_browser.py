# SPDX-License-Identifier: MIT
"""Opens a trip page in a real browser, headless Chromium, offline: the
page is served from a server of its own on the loopback address and every
host name resolves to nothing.  Takes a screenshot and prints, one
"label: value" line each:

  requests: every path the page's server was asked for and every URL in
            the browser's network log, sorted, without repeats
  map: the pixels of the track's colour inside the map's box (the box of
       the map's background colour)
  profile: the same inside the first profile's box

With --measure, instead opens a copy of the page with a measuring script
of its own added (the page itself has none), which takes the box of every
text of every svg as the browser lays it out (getBoundingClientRect, so
that transforms count), and prints:

  svg CLASS: the number of texts in each svg, in order
  overlaps: every two texts of the same svg whose boxes overlap, "none"
            without
  past edges: every text whose box reaches past its svg's drawing area,
              "none" without

Usage: page_browser.py PAGE SCREENSHOT, or page_browser.py --measure PAGE.
Exit 77 when no headless Chromium (Debian: chromium-headless-shell) or
Pillow (python3-pil) is installed."""
import html
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

try:
    from PIL import Image
except ImportError:
    print("Pillow is not installed (Debian: python3-pil)")
    sys.exit(77)

MAP_BACKGROUND = (0xF3, 0xF1, 0xEA)
PROFILE_BACKGROUND = (0xEE, 0xF2, 0xF7)
TRACK = (0xD7, 0x30, 0x1F)


def browser():
    for name in ("chromium-headless-shell", "chromium"):
        path = shutil.which(name)
        if path:
            return path
    print("no headless Chromium (Debian: chromium-headless-shell)")
    sys.exit(77)


def serve(directory, requested):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=directory, **kwargs)

        def do_GET(self):
            requested.add(self.path)
            super().do_GET()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def box_of(image, colour):
    """The bounding box of the pixels of colour."""
    mask = Image.new("1", image.size)
    mask.putdata([p[:3] == colour for p in image.getdata()])
    return mask.getbbox()


def count_in(image, box, colour):
    if box is None:
        return 0
    return sum(1 for p in image.crop(box).getdata() if p[:3] == colour)



# Runs in the copy of the page once it is laid out: the drawing area of
# each svg (inside its border) and the box of each of its texts, as JSON in
# an element of its own, which --dump-dom then shows.
MEASURE = """
addEventListener("load", () => {
  const svgs = [];
  for (const svg of document.querySelectorAll("svg")) {
    const r = svg.getBoundingClientRect(), css = getComputedStyle(svg);
    const px = (name) => parseFloat(css.getPropertyValue(name)) || 0;
    const texts = [];
    for (const t of svg.querySelectorAll("text")) {
      const b = t.getBoundingClientRect();
      texts.push({text: t.textContent, left: b.left, top: b.top,
                  right: b.right, bottom: b.bottom});
    }
    svgs.push({cls: svg.getAttribute("class") || "",
               left: r.left + px("border-left-width"),
               top: r.top + px("border-top-width"),
               right: r.right - px("border-right-width"),
               bottom: r.bottom - px("border-bottom-width"), texts});
  }
  const out = document.createElement("pre");
  out.id = "wexlar-measured";
  out.textContent = JSON.stringify(svgs);
  document.body.appendChild(out);
});
"""

# Boxes closer than this (CSS pixels) are taken as touching, not
# overlapping: the browser's own rounding.
TOUCH = 0.01


def overlap(a, b):
    return (min(a["right"], b["right"]) - max(a["left"], b["left"]) > TOUCH
            and min(a["bottom"], b["bottom"]) - max(a["top"], b["top"])
            > TOUCH)


def past_edge(t, svg):
    return (t["left"] < svg["left"] - TOUCH or t["top"] < svg["top"] - TOUCH
            or t["right"] > svg["right"] + TOUCH
            or t["bottom"] > svg["bottom"] + TOUCH)


def overlapping(texts):
    """Every two texts whose boxes overlap: sorted by left edge, each
    checked against those that start before it ends."""
    order = sorted(range(len(texts)), key=lambda i: texts[i]["left"])
    pairs = []
    for n, i in enumerate(order):
        for j in order[n + 1:]:
            if texts[j]["left"] >= texts[i]["right"]:
                break
            if overlap(texts[i], texts[j]):
                pairs.append((min(i, j), max(i, j)))
    return sorted(pairs)


def measure(page, chromium):
    with tempfile.TemporaryDirectory() as work:
        copy = os.path.join(work, "measured.html")
        text = open(page, "rb").read().decode("utf-8")
        at = text.rfind("</body>")
        at = len(text) if at < 0 else at
        with open(copy, "w", encoding="utf-8") as f:
            f.write(text[:at] + "<script>" + MEASURE + "</script>" +
                    text[at:])
        dom = subprocess.run(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu",
             "--hide-scrollbars", "--no-first-run",
             "--force-device-scale-factor=1", "--window-size=1100,1900",
             "--host-resolver-rules=MAP * ~NOTFOUND",
             "--user-data-dir=" + os.path.join(work, "profile"),
             "--virtual-time-budget=5000", "--dump-dom",
             "file://" + copy],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            timeout=120, check=True).stdout.decode("utf-8")
    found = re.search(r'<pre id="wexlar-measured">(.*?)</pre>', dom, re.S)
    if not found:
        print("measured: nothing (the script did not run)")
        sys.exit(1)
    svgs = json.loads(html.unescape(found.group(1)))
    overlaps, past = [], []
    for svg in svgs:
        print("svg %s: %d texts" % (svg["cls"], len(svg["texts"])))
        texts = svg["texts"]
        for i, j in overlapping(texts):
            overlaps.append("%s: %r over %r" % (svg["cls"], texts[i]["text"],
                                                texts[j]["text"]))
        for t in texts:
            if past_edge(t, svg):
                past.append("%s: %r" % (svg["cls"], t["text"]))
    print("overlaps: " + ("; ".join(overlaps) if overlaps else "none"))
    print("past edges: " + ("; ".join(past) if past else "none"))


def main():
    if sys.argv[1] == "--measure":
        measure(os.path.abspath(sys.argv[2]), browser())
        return
    page, shot = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    chromium = browser()
    requested = set()
    server = serve(os.path.dirname(page), requested)
    url = "http://127.0.0.1:%d/%s" % (server.server_address[1],
                                      os.path.basename(page))
    with tempfile.TemporaryDirectory() as work:
        netlog = os.path.join(work, "net.json")
        subprocess.run(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu",
             "--hide-scrollbars", "--no-first-run",
             "--force-device-scale-factor=1", "--window-size=1100,1900",
             "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
             "--user-data-dir=" + os.path.join(work, "profile"),
             "--log-net-log=" + netlog, "--screenshot=" + shot, url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            timeout=120, check=True)
        events = json.load(open(netlog)).get("events", [])
    server.shutdown()
    urls = {e["params"]["url"] for e in events
            if isinstance(e.get("params"), dict) and "url" in e["params"]}
    base = "http://127.0.0.1:%d" % server.server_address[1]
    seen = sorted(requested | {u[len(base):] if u.startswith(base) else u
                               for u in urls})
    print("requests: " + " ".join(seen))
    image = Image.open(shot).convert("RGB")
    print("map: %d" % count_in(image, box_of(image, MAP_BACKGROUND), TRACK))
    print("profile: %d" % count_in(image, box_of(image, PROFILE_BACKGROUND),
                                   TRACK))


main()
