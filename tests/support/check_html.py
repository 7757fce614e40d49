#!/usr/bin/env python3
"""Checks that an HTML page is well formed and self-contained.

Every element that is not void is closed in order, the page is one html element,
nothing refers to a resource outside it (src, href, url(...), @import), and each
inline SVG parses as XML with plain numbers for its coordinates. Prints how many svg and table elements there are;
exits 1 with the first fault found."""
import re
import sys
import xml.etree.ElementTree as ET
from html.parser import HTMLParser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
        "source", "track", "wbr"}
COORDS = ("x", "y", "width", "height", "x1", "y1", "x2", "y2", "cx", "cy", "r", "points")
NUMBER = re.compile(r"-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$")
SVG_EMPTY = {"rect", "line", "circle", "polyline", "path", "ellipse", "polygon"}


class Checker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.counts, self.roots = [], {}, 0

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("src", "href", "xlink:href", "srcset") and value is not None:
                if not value.startswith("#"):
                    fail(f"<{tag}> refers to {value!r}")
            if value and re.search(r"url\(\s*['\"]?(?!#)", value):
                fail(f"<{tag}> {name} refers to an outside resource")
        self.counts[tag] = self.counts.get(tag, 0) + 1
        if not self.stack and tag == "html":
            self.roots += 1
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        if tag not in VOID and tag not in SVG_EMPTY:
            fail(f"<{tag}/> is not an empty element")
        self.counts[tag] = self.counts.get(tag, 0) + 1

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            fail(f"</{tag}> closes {self.stack[-1] if self.stack else 'nothing'}")
        self.stack.pop()

    def handle_data(self, data):
        if not self.stack and data.strip():
            fail(f"text outside the page: {data.strip()[:40]!r}")


def fail(why):
    print(why)
    sys.exit(1)


def main():
    page = open(sys.argv[1], encoding="utf-8").read()
    if not page.startswith("<!DOCTYPE html>"):
        fail("no doctype")
    for style in re.findall(r"<style>(.*?)</style>", page, re.S):
        if "@import" in style or re.search(r"url\(", style):
            fail("the style refers to an outside resource")
    checker = Checker()
    checker.feed(page)
    checker.close()
    if checker.stack:
        fail(f"not closed: {checker.stack}")
    if checker.roots != 1:
        fail(f"{checker.roots} html elements")
    for svg in re.findall(r"<svg.*?</svg>", page, re.S):
        try:
            ET.fromstring(svg)
        except ET.ParseError as e:
            fail(f"an svg is not well-formed XML: {e}")
        for element in ET.fromstring(svg).iter():
            for name in COORDS:
                value = element.get(name)
                if value is None:
                    continue
                for item in re.split(r"[\s,]+", value.strip()) if name == "points" else [value]:
                    if not NUMBER.match(item):
                        fail(f"<{element.tag.split('}')[-1]}> {name}={value!r} is not a number")
    print(f"svg {checker.counts.get('svg', 0)}")
    print(f"table {checker.counts.get('table', 0)}")


main()
