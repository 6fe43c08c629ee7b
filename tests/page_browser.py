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

Usage: page_browser.py PAGE SCREENSHOT.  Exit 77 when no headless Chromium
(Debian: chromium-headless-shell) or Pillow (python3-pil) is installed."""
import http.server
import json
import os
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


def main():
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
