#!/usr/bin/python3
"""Reads a report page (Windows-1252) with html.parser and prints what it says, one
item a line, fields separated by TAB, with backslash, TAB, CR and LF escaped:
  title T / p TEXT / link LABEL HREF / frame SANDBOX SRCDOC / cell TEXT / script"""
import sys
from html.parser import HTMLParser


def esc(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out = []
        self.stack = []
        self.text = {}
        self.href = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "script":
            self.out.append("script")
        if tag == "iframe":
            self.out.append("frame\t%s\t%s" % (esc(a.get("sandbox") or "" if "sandbox" in a else "-"),
                                               esc(a.get("srcdoc", ""))))
        if tag == "a":
            self.href = a.get("href", "")
        if tag in ("title", "p", "a", "td"):
            self.stack.append(tag)
            self.text[len(self.stack)] = ""

    def handle_endtag(self, tag):
        if tag not in ("title", "p", "a", "td") or not self.stack:
            return
        while self.stack:
            t = self.stack.pop()
            s = " ".join(self.text.pop(len(self.stack) + 1, "").split())
            if t == "title":
                self.out.append("title\t" + esc(s))
            elif t == "p":
                self.out.append("p\t" + esc(s))
            elif t == "a":
                self.out.append("link\t%s\t%s" % (esc(s), esc(self.href or "")))
            elif t == "td":
                self.out.append("cell\t" + esc(s))
            if t == tag:
                break

    def handle_data(self, data):
        for depth in self.text:
            self.text[depth] += data


with open(sys.argv[1], "rb") as f:
    page = Page()
    page.feed(f.read().decode("cp1252", "replace"))
    page.close()
print("\n".join(page.out))
