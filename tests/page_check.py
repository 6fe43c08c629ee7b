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
  track colours: the colour of each track line on the map
  others: the paths of the tracks drawn together (class "others") and
          their colour in the style sheet
  routes: the vertices of each route line
  waypoints: the waypoint labels
  profiles: the vertices of each profile's lines ("a+b" for a profile of
            two lines)
  axis labels: each profile's axis texts in order, " | " between profiles
  extremes: each profile's labels of its lowest and highest points
  extremes inside: "yes" when every such label lies inside its plot (the
                   box of its axes) and clear of the other, by a lenient
                   estimate of its size (at least half an em a character),
                   else the first that does not
  rows: each row of the first numbers table, its swatch's colour (if any)
        and its track's name
  legend: the same of each entry of the legend
  title, h1: their text

With --atlas, checks the atlas of a folder of pages (index.html) instead:
parse errors, svg, scripts and numbers as above, then

  external: as above, but a relative link to a file beside the atlas is
            no external one
  missing: every link that names no file beside the atlas (its path
           percent-decoded), "none" without
  tracks: the vertices of each track line on the map and, after "->", the
          link around it
  rows: each row of the table: its cells, " ; " between them, and after
        "->" its link; " | " between rows
  title, h1: their text

Usage: page_check.py [--atlas] PAGE.  Exit 77 when html5lib is not
installed; exit 1, with a message, when the page is not UTF-8."""
import math
import os
import re
import sys
import urllib.parse
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


def is_finite(text):
    try:
        return math.isfinite(float(text))
    except ValueError:
        return False


def finite(element):
    for name in NUMERIC:
        if name in element.attrib and not is_finite(element.attrib[name]):
            return "%s=%s" % (name, element.attrib[name])
    if "points" in element.attrib:
        for pair in element.attrib["points"].split():
            if not all(is_finite(v) for v in pair.split(",")) or \
                    pair.count(",") != 1:
                return "points " + pair
    return None


# A lenient estimate of a text's box: no font lays it out smaller.
EM_PER_CHAR, ASCENT, DESCENT = 0.5, 0.7, 0.2


def text_box(text, size):
    x, y = float(text.attrib["x"]), float(text.attrib["y"])
    width = EM_PER_CHAR * size * len(text.text or "")
    anchor = text.attrib.get("text-anchor", "start")
    left = x - {"start": 0, "middle": width / 2, "end": width}[anchor]
    return (left, y - ASCENT * size, left + width, y + DESCENT * size)


def extremes_inside(svg):
    """None when the extremes' labels of a profile lie inside its plot and
    clear of each other, else the first label that does not."""
    lines = svg.findall("./%sg/%sline" % (SVG, SVG))
    across = [l for l in lines if l.attrib["y1"] == l.attrib["y2"]]
    up = [l for l in lines if l.attrib["x1"] == l.attrib["x2"]]
    if not across or not up:
        return "no axes"
    left, bottom = float(up[0].attrib["x1"]), float(across[0].attrib["y1"])
    right, top = float(across[0].attrib["x2"]), float(up[0].attrib["y1"])
    boxes = []
    for text in svg.iter("%stext" % SVG):
        if text.attrib.get("class") != "extreme":
            continue
        b = text_box(text, 13)
        if not (left < b[0] and b[2] < right and top < b[1] and
                b[3] < bottom):
            return text.text
        if any(b[0] < o[2] and o[0] < b[2] and b[1] < o[3] and o[1] < b[3]
               for o in boxes):
            return text.text
        boxes.append(b)
    return None


def swatched(element):
    """ "COLOUR NAME" of a legend entry or table row, "NAME" without a
    swatch."""
    swatch = element.find(".//%sspan" % XHTML)
    name = "".join(element.itertext()).strip()
    if swatch is None:
        return name
    return swatch.attrib.get("style", "").replace("background:", "") + \
        " " + name


def parsed(path):
    """The document at path, parsed, after the lines of what every page is
    checked for: parse errors, svg, scripts."""
    data = open(path, "rb").read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        sys.stderr.write("page_check: %s: not UTF-8: byte 0x%02x at %d\n" %
                         (path, data[e.start], e.start))
        sys.exit(1)
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"))
    doc = parser.parse(data)
    errors = [html5lib.constants.E.get(code, code) % (args or {})
              for _, code, args in parser.errors]
    print("parse errors: " + ("; ".join(errors) if errors else "none"))
    for svg in re.findall(r"<svg.*?</svg>", text, re.S):
        try:
            ET.fromstring(svg)
            print("svg: xml")
        except ET.ParseError as e:
            print("svg: not xml: %s" % e)
    print("scripts: %d" % len(doc.findall(".//%sscript" % XHTML)))
    return doc


def numbers(doc):
    bad = None
    for element in doc.iter():
        if element.tag.startswith(SVG):
            bad = bad or finite(element)
    print("numbers: " + (bad or "finite"))


def beside(path, href):
    """The file that a relative link names beside the page at path, or None
    for a link that is no relative path."""
    url = urllib.parse.urlsplit(href)
    if url.scheme or url.netloc or url.query or url.fragment or \
            not url.path or url.path.startswith("/") or "/" in url.path:
        return None
    return os.path.join(os.path.dirname(os.path.abspath(path)),
                        urllib.parse.unquote_to_bytes(url.path).decode(
                            "utf-8", "surrogateescape"))


def atlas(path):
    doc = parsed(path)
    external, missing = [], []
    for element in doc.iter():
        tag = element.tag.split("}")[-1]
        if tag in ("link", "img", "iframe", "object", "embed", "image",
                   "use", "audio", "video", "source", "script"):
            external.append(tag)
        for name, value in element.attrib.items():
            name = name.split("}")[-1]
            if name in ("src", "srcset", "data", "poster") or \
                    "url(" in value:
                external.append("%s=%s" % (name, value))
            elif name == "href":
                target = beside(path, value)
                if target is None:
                    external.append("href=" + value)
                elif not os.path.isfile(target):
                    missing.append(value)
    print("external: " + (", ".join(external) if external else "none"))
    print("missing: " + (", ".join(missing) if missing else "none"))
    numbers(doc)
    tracks = []
    for a in doc.iter("%sa" % SVG):
        for line in a.iter("%spolyline" % SVG):
            if line.attrib.get("class") == "trk":
                tracks.append("%d->%s" % (
                    vertices(line.attrib.get("points", "")),
                    a.attrib.get("href")))
    print("tracks: " + " ".join(tracks))
    table = doc.find(".//%stable" % XHTML)
    rows = []
    for row in ([] if table is None else table.iter("%str" % XHTML)):
        cells = row.findall("%std" % XHTML)
        if not cells:
            continue
        link = row.find(".//%sa" % XHTML)
        rows.append(" ; ".join("".join(c.itertext()) for c in cells) +
                    ("" if link is None else " ->" + link.attrib["href"]))
    print("rows: " + " | ".join(rows))
    for tag in ("title", "h1"):
        element = doc.find(".//%s%s" % (XHTML, tag))
        print("%s: %s" % (tag, "" if element is None else element.text))


def main():
    if sys.argv[1] == "--atlas":
        atlas(sys.argv[2])
        return
    doc = parsed(sys.argv[1])
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
    numbers(doc)
    lines = {"trk": [], "rte": []}
    colours = []
    for line in doc.iter("%spolyline" % SVG):
        cls = line.attrib.get("class")
        if cls in lines:
            lines[cls].append(str(vertices(line.attrib.get("points", ""))))
        if cls == "trk":
            colours.append(line.attrib.get("stroke", "none"))
    print("tracks: " + " ".join(lines["trk"]))
    print("track colours: " + " ".join(colours))
    others = [p for p in doc.iter("%spath" % SVG)
              if p.attrib.get("class") == "others"]
    style = "".join(e.text or "" for e in doc.iter("%sstyle" % XHTML))
    grey = re.search(r"\.others\{[^}]*stroke:(#[0-9a-fA-F]+)", style)
    print("others: %d %s" % (len(others), grey.group(1) if grey else "none"))
    print("routes: " + " ".join(lines["rte"]))
    labels = [t.text for t in doc.iter("%stext" % SVG)
              if t.attrib.get("class") == "wlabel"]
    print("waypoints: " + " | ".join(labels))
    profiles = [svg for svg in doc.iter("%ssvg" % SVG)
                if svg.attrib.get("class") == "profile"]
    print("profiles: " + " ".join(
        "+".join(str(vertices(l.attrib.get("points", "")))
                 for l in svg.iter("%spolyline" % SVG)
                 if l.attrib.get("class") == "pline")
        for svg in profiles))
    print("axis labels: " + " | ".join(
        " ".join(t.text or "" for t in svg.iter("%stext" % SVG)
                 if t.attrib.get("class") != "extreme")
        for svg in profiles))
    print("extremes: " + " | ".join(
        ", ".join(t.text or "" for t in svg.iter("%stext" % SVG)
                  if t.attrib.get("class") == "extreme")
        for svg in profiles))
    outside = [o for o in map(extremes_inside, profiles) if o]
    print("extremes inside: " + (outside[0] if outside else "yes"))
    table = doc.find(".//%stable" % XHTML)
    rows = [] if table is None else [
        swatched(row.find("%std" % XHTML)) for row in table.iter(
            "%str" % XHTML) if row.find("%std" % XHTML) is not None]
    print("rows: " + " | ".join(rows))
    legend = doc.find(".//%sul" % XHTML)
    print("legend: " + ("" if legend is None else " | ".join(
        swatched(li) for li in legend.iter("%sli" % XHTML))))
    for tag in ("title", "h1"):
        element = doc.find(".//%s%s" % (XHTML, tag))
        print("%s: %s" % (tag, "" if element is None else element.text))


main()
