# SPDX-License-Identifier: MIT
"""Checks a trip page as a browser would take it, and prints what it found,
one "label: value" line each, for the page test to compare:

  parse errors: the HTML5 parser's (html5lib) errors, or "none"
  svg: for each svg element, "xml" when it parses as XML on its own
  scripts: the number of script elements in the parsed document
  external: every attribute or style that would fetch or lead outside the
            page (src, href, url(), @import, link and other embedding
            elements), "none" without; the one link to openstreetmap.org
            is reported as "osm link"
  numbers: "finite" when every coordinate of every drawing is a finite
           number, else the first that is not
  tracks: the vertices of each track line on the map
  routes: the vertices of each route line
  waypoints: the waypoint labels
  profiles: the vertices of each profile line
  title, h1: their text

Usage: page_check.py PAGE.  Exit 77 when html5lib is not installed."""
import math
import re
import sys
import xml.etree.ElementTree as ET

try:
    import html5lib
except ImportError:
    print("html5lib is not installed (Debian: python3-html5lib)")
    sys.exit(77)

SVG = "{http://www.w3.org/2000/svg}"
XHTML = "{http://www.w3.org/1999/xhtml}"
NUMERIC = ("x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r", "width",
           "height")


def vertices(points):
    return len(points.split())


def finite(element):
    for name in NUMERIC:
        if name in element.attrib:
            v = float(element.attrib[name])
            if not math.isfinite(v):
                return "%s=%s" % (name, element.attrib[name])
    if "points" in element.attrib:
        for pair in element.attrib["points"].split():
            for v in pair.split(","):
                if not math.isfinite(float(v)):
                    return "points " + pair
    return None


def main():
    data = open(sys.argv[1], "rb").read()
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"))
    doc = parser.parse(data)
    errors = [html5lib.constants.E.get(code, code) % (args or {})
              for _, code, args in parser.errors]
    print("parse errors: " + ("; ".join(errors) if errors else "none"))
    text = data.decode("utf-8")
    for svg in re.findall(r"<svg.*?</svg>", text, re.S):
        try:
            ET.fromstring(svg)
            print("svg: xml")
        except ET.ParseError as e:
            print("svg: not xml: %s" % e)
    print("scripts: %d" % len(doc.findall(".//%sscript" % XHTML)))
    external = []
    for element in doc.iter():
        tag = element.tag.split("}")[-1]
        if tag in ("link", "img", "iframe", "object", "embed", "image",
                   "use", "audio", "video", "source"):
            external.append(tag)
        for name, value in element.attrib.items():
            name = name.split("}")[-1]
            if name in ("src", "srcset", "data", "poster") or \
                    "url(" in value:
                external.append("%s=%s" % (name, value))
            elif name == "href":
                external.append("osm link" if value.startswith(
                    "https://www.openstreetmap.org/#map=") else
                    "href=" + value)
    for style in doc.iter("%sstyle" % XHTML):
        if "url(" in (style.text or "") or "@import" in (style.text or ""):
            external.append("style fetches")
    print("external: " + (", ".join(external) if external else "none"))
    bad = None
    for element in doc.iter():
        if element.tag.startswith(SVG):
            bad = bad or finite(element)
    print("numbers: " + (bad or "finite"))
    lines = {"trk": [], "rte": [], "pline": []}
    for line in doc.iter("%spolyline" % SVG):
        cls = line.attrib.get("class")
        if cls in lines:
            lines[cls].append(str(vertices(line.attrib["points"])))
    print("tracks: " + " ".join(lines["trk"]))
    print("routes: " + " ".join(lines["rte"]))
    labels = [t.text for t in doc.iter("%stext" % SVG)
              if t.attrib.get("class") == "wlabel"]
    print("waypoints: " + " | ".join(labels))
    print("profiles: " + " ".join(lines["pline"]))
    print("title: " + doc.find(".//%stitle" % XHTML).text)
    print("h1: " + doc.find(".//%sh1" % XHTML).text)


main()
