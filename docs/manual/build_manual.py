#!/usr/bin/python3
"""Builds the user manual: Markdown pages to HTML with pandoc.

The command reference and the variable table come from vendrix-cli (which prints them
from the program's own tables); the screenshots come from the GUI tests' screenshot run.
Writes contents.tsv (page, level, anchor, title) for the help window's contents list,
and fails when a page links to a page, anchor or image that does not exist.

The manual is also checked against the program: every menu path (**File → Settings**),
every other name in bold (a window, page, tab, column or control) and every --option it
names must be one the program has. The program's names come from vendrix-cli (the
options, the site table's columns) and from the GUI tests' screenshot run, which
writes them beside the screenshots (facts-*.tsv); without that file only the options
are checked.

usage: build_manual.py SOURCE_DIR OUT_DIR VENDRIX_CLI SCREENSHOT_DIR
       build_manual.py --check OUT_DIR      (only the link check of a built manual)
       build_manual.py --check-facts SOURCE_DIR VENDRIX_CLI FACTS_TSV
"""
import html
import os
import re
import shutil
import struct
import subprocess
import sys

# The pages in reading order: the contents list and the Previous/Next links follow it.
PAGES = [
    "index", "getting-started", "company", "application", "sites", "submit",
    "site-builder", "scripts", "reports", "settings", "tools", "services", "package-managers", "data",
    "command-line", "troubleshooting", "safety",
]

MAX_IMAGE_WIDTH = 560

# Words the manual sets in bold that are not names on the screen.
PROSE = {
    "data tree", "main report", "log", "variables", "Sizes", "Categories", "Dates and times",
    "The long description", "Platform, status, submitter and installer", "Sites in flight",
    "New", "Update", "Auto", "STARTTLS", "TLS", "None", "Send again", "Post anyway",
}
# Options of both programs that are not a command's.
GLOBAL_OPTIONS = {"--data-dir", "--version", "--help", "--exit-when-shown"}

TEMPLATE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>$title$ - Vendrix</title>
<link rel="stylesheet" href="manual.css">
</head>
<body>
$nav$
<h1>$title$</h1>
$body$
$nav$
</body>
</html>
"""


def generated(cli, *args):
    return subprocess.run([cli, "help", *args], check=True, capture_output=True,
                          text=True).stdout


def title_of(markdown):
    m = re.search(r"^title:\s*(.+)$", markdown, re.M)
    return m.group(1).strip() if m else "Vendrix"


def nav(i, titles):
    parts = ['<a href="index.html">Contents</a>']
    if i > 0:
        parts.append('<a href="%s.html">&larr; %s</a>' % (PAGES[i - 1], html.escape(titles[i - 1])))
    if i + 1 < len(PAGES):
        parts.append('<a href="%s.html">%s &rarr;</a>' % (PAGES[i + 1], html.escape(titles[i + 1])))
    return '<p class="nav">' + " &middot; ".join(parts) + "</p>"


def png_width(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">I", head[16:20])[0] if head[:8] == b"\x89PNG\r\n\x1a\n" else 0


def place_images(markdown, shots, page, warnings):
    """Screenshots at most 560 pixels wide; those the screenshot run did not make are left
    out with a warning."""
    def keep(m):
        name = os.path.basename(m.group(2))
        path = os.path.join(shots, name)
        if os.path.isfile(path):
            width = min(png_width(path) or MAX_IMAGE_WIDTH, MAX_IMAGE_WIDTH)
            return "%s{width=%d}" % (m.group(0), width)
        warnings.append("%s: no screenshot %s (run the GUI tests under Xvfb first)" % (page, name))
        return ""
    return re.sub(r"!\[([^\]]*)\]\((screenshots/[^)]+)\)", keep, markdown)


def check_links(out):
    """Every local href and src must name an existing file (and anchor)."""
    anchors, refs = {}, []
    for name in os.listdir(out):
        if not name.endswith(".html"):
            continue
        text = open(os.path.join(out, name), encoding="utf-8").read()
        anchors[name] = set(re.findall(r'\sid="([^"]+)"', text))
        refs += [(name, r) for r in re.findall(r'(?:href|src)="([^"]+)"', text)]
    broken = []
    for page, ref in refs:
        if re.match(r"^[a-z]+:", ref):
            continue
        target, _, anchor = ref.partition("#")
        target = target or page
        if not os.path.isfile(os.path.join(out, target)):
            broken.append("%s: %s (no such file)" % (page, ref))
        elif anchor and target.endswith(".html") and anchor not in anchors.get(target, ()):
            broken.append("%s: %s (no such anchor)" % (page, ref))
    return broken


def program_facts(cli, facts_file):
    """The names the program has, by kind: menu paths, screen names, options."""
    menus, names = set(), set()
    if facts_file and os.path.isfile(facts_file):
        for line in open(facts_file, encoding="utf-8"):
            kind, _, text = line.rstrip("\n").partition("\t")
            text = text.removesuffix("...")  # "Build a Site..." is named without the dots
            if kind == "menu":
                menus.add(text)
                names.add(text.rsplit(" > ", 1)[-1])
            elif text:
                names.add(text)
    options = set(GLOBAL_OPTIONS)
    for line in generated(cli, "--completion-words").splitlines():
        for flag in line.split("\t")[2].split() if line.count("\t") >= 2 else []:
            options.add(flag.split(":")[0])
    for line in generated(cli, "columns").splitlines():
        names.add(line[:12].strip())
    return menus, names, options


def check_facts(sources, cli, facts_file):
    """What the manual names that the program lacks."""
    menus, names, options = program_facts(cli, facts_file)
    have_screens = bool(menus)
    wrong = []
    for page, text in sources.items():
        text = re.sub(r"^    .*$", "", text, flags=re.M)  # code blocks show commands, not screens
        for bold in re.findall(r"\*\*(.+?)\*\*", text, re.S):
            term = " ".join(bold.split()).removesuffix("...")
            if "→" in term:
                path = " > ".join(part.strip() for part in term.split("→"))
                if have_screens and path not in menus:
                    wrong.append("%s: no menu item %s" % (page, term))
            elif have_screens and term and not (term.endswith(".") or "`" in term or term in PROSE
                                       or term in names):
                wrong.append("%s: no window, page, tab, column or control named %s" % (page, term))
        for option in re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", text):
            if option not in options:
                wrong.append("%s: vendrix-cli has no option %s" % (page, option))
    return wrong


def report_facts(wrong):
    if wrong:
        print("manual: names the program does not have:\n  " + "\n  ".join(wrong),
              file=sys.stderr)
        return 1
    return 0


def report(broken):
    if broken:
        print("manual: broken links:\n  " + "\n  ".join(broken), file=sys.stderr)
        return 1
    return 0


def main():
    if sys.argv[1] == "--check":
        return report(check_links(sys.argv[2]))
    if sys.argv[1] == "--check-facts":
        source, cli, facts = sys.argv[2:5]
        sources = {p: open(os.path.join(source, p + ".md"), encoding="utf-8").read()
                   for p in PAGES}
        return report_facts(check_facts(sources, cli, facts))
    source, out, cli, shots = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    inserts = {
        "{{variables}}": generated(cli, "variables", "--markdown"),
        "{{commands}}": generated(cli, "--markdown"),
        "{{columns}}": generated(cli, "columns", "--markdown"),
    }
    sources = {p: open(os.path.join(source, p + ".md"), encoding="utf-8").read() for p in PAGES}
    # The manual names only what the program has. Shown here; the tests (shipping_test)
    # and scripts/package fail on it, once the GUI tests have written the screens' names
    # anew (the names of an earlier run may be stale, and the GUI tests need this build).
    report_facts(check_facts(sources, cli, os.path.join(shots, "facts-xcb.tsv")))
    titles = [title_of(sources[p]) for p in PAGES]
    template = os.path.join(out, ".template.html")
    warnings, contents = [], []
    for i, page in enumerate(PAGES):
        text = sources[page]
        for mark, value in inserts.items():
            text = text.replace(mark, value)
        text = place_images(text, shots, page, warnings)
        with open(template, "w", encoding="utf-8") as f:
            f.write(TEMPLATE.replace("$nav$", nav(i, titles)))
        subprocess.run(
            ["pandoc", "--from", "markdown-implicit_figures", "--to", "html5", "--standalone",
             "--template", template, "--output", os.path.join(out, page + ".html")],
            input=text, text=True, check=True)
        contents.append("%s.html\t1\t\t%s" % (page, titles[i]))
        produced = open(os.path.join(out, page + ".html"), encoding="utf-8").read()
        for anchor, heading in re.findall(r'<h2 id="([^"]+)"[^>]*>(.*?)</h2>', produced, re.S):
            plain = " ".join(html.unescape(re.sub(r"<[^>]+>", "", heading)).split())
            contents.append("%s.html\t2\t%s\t%s" % (page, anchor, plain))
    os.remove(template)
    shutil.copy(os.path.join(source, "manual.css"), out)
    if os.path.isdir(shots):
        os.makedirs(os.path.join(out, "screenshots"), exist_ok=True)
        for name in os.listdir(shots):
            if name.endswith(".png"):
                shutil.copy(os.path.join(shots, name), os.path.join(out, "screenshots", name))
    with open(os.path.join(out, "contents.tsv"), "w", encoding="utf-8") as f:
        f.write("\n".join(contents) + "\n")
    for w in sorted(set(warnings)):
        print("manual: " + w, file=sys.stderr)
    return report(check_links(out))


if __name__ == "__main__":
    sys.exit(main())
