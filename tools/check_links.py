#!/usr/bin/env python3
"""Checks every link of an offline copy, as a browser opening the copy from disk would follow it.

    tools/check_links.py DIR [--max-missing N]

Reads every page (by name: .html, .htm, .xhtml, .shtml, or any file that begins like HTML) and
style sheet (.css) under DIR with Python's own HTML tokenizer (which decodes character
references as browsers do), takes every address a browser would load or follow from it (href,
src, srcset candidates, object data, poster, background, meta refresh, url() and @import of
style attributes, style elements and sheets), and sorts each:

  local_ok       a relative address that opens a file of the copy
  local_missing  a relative address whose file is not there (a dead link in the copy)
  local_outside  a relative address that climbs out of DIR
  absolute       an http, https or ftp address (or "//host/..."): it goes to the site
  other          another scheme (javascript:, mailto:, data:, tel:, ...) or only a fragment

Prints one JSON object with the counts (and up to --max-missing examples of missing links) on
standard output; exits 0 when no relative address is missing or outside, 1 otherwise.
"""

import argparse
import html.parser
import json
import os
import re
import sys
import urllib.parse

PAGE_SUFFIXES = (".html", ".htm", ".xhtml", ".shtml")
LINK_ATTRIBUTES = {"href", "src", "data", "poster", "background", "code", "archive"}
LIST_ATTRIBUTES = {"srcset", "imagesrcset"}
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")
CSS_URL = re.compile(r"""url\(\s*(?:"([^"\n]*)"|'([^'\n]*)'|([^)\s"']*))\s*\)""", re.I)
CSS_IMPORT = re.compile(r"""@import\s+(?:"([^"\n]*)"|'([^'\n]*)')""", re.I)
CSS_COMMENT = re.compile(r"/\*.*?\*/", re.S)


def css_addresses(text):
    text = CSS_COMMENT.sub("", text)
    for pattern in (CSS_URL, CSS_IMPORT):
        for match in pattern.finditer(text):
            yield next(group for group in match.groups() if group is not None)


def srcset_addresses(value):
    # The candidate list of the HTML standard: an address runs to a blank; one that ends in
    # commas has no descriptors, otherwise they run to the next comma outside parentheses.
    pos, n = 0, len(value)
    while pos < n:
        while pos < n and (value[pos].isspace() or value[pos] == ","):
            pos += 1
        start = pos
        while pos < n and not value[pos].isspace():
            pos += 1
        address = value[start:pos]
        if address.endswith(","):
            address = address.rstrip(",")
        else:
            in_parentheses = False
            while pos < n and (in_parentheses or value[pos] != ","):
                if value[pos] == "(":
                    in_parentheses = True
                elif value[pos] == ")":
                    in_parentheses = False
                pos += 1
        if address:
            yield address


class PageLinks(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.addresses = []
        self._in_style = False

    def handle_starttag(self, tag, attrs):
        attributes = dict((name.lower(), value or "") for name, value in attrs)
        for name, value in attrs:
            name = name.lower()
            value = value or ""
            if name in LINK_ATTRIBUTES and value.strip():
                self.addresses.append(value.strip())
            elif name in LIST_ATTRIBUTES:
                self.addresses.extend(srcset_addresses(value))
            elif name == "style":
                self.addresses.extend(css_addresses(value))
        if tag == "meta" and attributes.get("http-equiv", "").lower() == "refresh":
            content = attributes.get("content", "")
            if "=" in content:
                self.addresses.append(content.split("=", 1)[1].strip().strip("'\""))
        self._in_style = tag == "style"

    def handle_endtag(self, tag):
        if tag == "style":
            self._in_style = False

    def handle_data(self, data):
        if self._in_style:
            self.addresses.extend(css_addresses(data))


def looks_like_html(path):
    try:
        with open(path, "rb") as f:
            head = f.read(512).lstrip().lower()
    except OSError:
        return False
    return head.startswith(b"<!doctype html") or head.startswith(b"<html")


def read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", errors="replace")


def classify(address, page_path, root, counts, missing):
    address = address.strip()
    if not address or address.startswith("#"):
        counts["other"] += 1
        return
    if address.startswith("//"):
        counts["absolute"] += 1
        return
    scheme = SCHEME.match(address)
    if scheme:
        kind = scheme.group(0)[:-1].lower()
        counts["absolute" if kind in ("http", "https", "ftp") else "other"] += 1
        return
    # A browser reading the copy from disk opens the file that the path names, without its
    # query and fragment, percent-escapes decoded.
    path = urllib.parse.unquote(address.split("#", 1)[0].split("?", 1)[0])
    if path.startswith("/"):
        target = os.path.normpath(path)
    else:
        target = os.path.normpath(os.path.join(os.path.dirname(page_path), path))
    if os.path.commonpath([root, target]) != root:
        counts["local_outside"] += 1
        missing.append(f"{os.path.relpath(page_path, root)} -> {address} (outside)")
        return
    if os.path.isfile(target):
        counts["local_ok"] += 1
    else:
        counts["local_missing"] += 1
        missing.append(f"{os.path.relpath(page_path, root)} -> {address}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("root")
    parser.add_argument("--max-missing", type=int, default=20)
    args = parser.parse_args()
    root = os.path.realpath(args.root)
    counts = dict(pages=0, sheets=0, links=0, local_ok=0, local_missing=0, local_outside=0,
                  absolute=0, other=0)
    missing = []
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            path = os.path.join(folder, name)
            if name.lower().endswith(".css"):
                counts["sheets"] += 1
                addresses = list(css_addresses(read_text(path)))
            elif name.lower().endswith(PAGE_SUFFIXES) or looks_like_html(path):
                counts["pages"] += 1
                page = PageLinks()
                page.feed(read_text(path))
                page.close()
                addresses = page.addresses
            else:
                continue
            for address in addresses:
                counts["links"] += 1
                classify(address, path, root, counts, missing)
    result = dict(counts)
    result["missing_examples"] = missing[: args.max_missing]
    print(json.dumps(result))
    return 0 if counts["local_missing"] == 0 and counts["local_outside"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
