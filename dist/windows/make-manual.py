#!/usr/bin/env python3
"""Writes the Windows edition of the manual:

    make-manual.py dist/manual/index.html dist/manual/windows.html OUT

The sections of windows.html take the place of index.html's sections with
the same id, or join it after the section its data-after names; the
sections that windows.html's body lists in data-drop are left out. The
sections and the contents are numbered again. Everything else is index.html's
own text, so the two editions cannot drift apart."""
import re
import sys

SECTION = re.compile(r'(?=<h2 id=")')
H2 = re.compile(r'<h2 id="([^"]+)"([^>]*)>(?:\d+\. )?(.*?)</h2>', re.S)


def sections(body):
    """[(id, attributes, title, text)] of the <h2 id> sections in body."""
    out = []
    for part in SECTION.split(body):
        m = H2.match(part)
        if m:
            out.append([m.group(1), m.group(2), m.group(3), part[m.end():]])
    return out


def main(linux_path, windows_path, out_path):
    linux = open(linux_path, encoding="utf-8").read()
    windows = open(windows_path, encoding="utf-8").read()

    head, rest = linux.split('<h2 id="', 1)
    rest = '<h2 id="' + rest
    body, tail = rest.rsplit("</body>", 1)
    page = sections(body)

    wbody = windows.split("<body", 1)[1]
    drop = re.search(r'data-drop="([^"]*)"', wbody.split(">", 1)[0])
    dropped = set(drop.group(1).split()) if drop else set()
    wbody = wbody.split(">", 1)[1].rsplit("</body>", 1)[0]

    ids = [s[0] for s in page]
    for sid in dropped:
        if sid not in ids:
            sys.exit("no section %s to drop" % sid)
    page = [s for s in page if s[0] not in dropped]
    for sid, attrs, title, text in sections(wbody):
        after = re.search(r'data-after="([^"]+)"', attrs)
        new = [sid, "", title, text]
        at = [i for i, s in enumerate(page) if s[0] == sid]
        if at:
            page[at[0]] = new
        elif after:
            place = [i for i, s in enumerate(page) if s[0] == after.group(1)]
            if not place:
                sys.exit("no section %s to put %s after" % (after.group(1), sid))
            page.insert(place[0] + 1, new)
        else:
            sys.exit("section %s replaces nothing and has no data-after" % sid)

    nav = "<nav>\n<ol>\n" + "".join(
        '  <li><a href="#%s">%s</a></li>\n' % (s[0], s[2]) for s in page) + "</ol>\n</nav>\n\n"
    head = re.sub(r"<nav>.*?</nav>\s*", nav, head, flags=re.S)
    text = head + "".join(
        '<h2 id="%s">%d. %s</h2>%s' % (s[0], n, s[2], s[3]) for n, s in enumerate(page, 1))
    if not text.endswith("\n"):
        text += "\n"
    with open(out_path, "w", encoding="utf-8") as f:
        f.write(text + "</body>" + tail)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
