#!/usr/bin/python3
"""What a screen reader sees of one window of the program under test, read
through the desktop's accessibility interface (AT-SPI).

usage: a11y.py TITLE [SECONDS]

Waits up to SECONDS (default 20) for a showing top-level window named TITLE
that has controls, then prints one line per control below it, depth first:

    role<TAB>name<TAB>x y width height<TAB>state,state,...

with the extents in screen pixels and the states among showing, focused,
checked, selected, enabled. Exits 1 when no such window turned up in time.
Runs under the system Python, which has the bindings (python3-pyatspi)."""
import sys
import time

import pyatspi

STATES = (
    ("showing", pyatspi.STATE_SHOWING),
    ("focused", pyatspi.STATE_FOCUSED),
    ("checked", pyatspi.STATE_CHECKED),
    ("selected", pyatspi.STATE_SELECTED),
    ("enabled", pyatspi.STATE_ENABLED),
)


def find_window(title):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for window in app:
            if window is None or window.name != title:
                continue
            if window.getState().contains(pyatspi.STATE_SHOWING) and window.childCount > 0:
                return window
    return None


def lines(node):
    for child in node:
        if child is None:
            continue
        try:
            ext = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            box = "%d %d %d %d" % (ext.x, ext.y, ext.width, ext.height)
        except NotImplementedError:
            box = "0 0 0 0"
        state = child.getState()
        flags = ",".join(name for name, value in STATES if state.contains(value))
        yield "%s\t%s\t%s\t%s" % (child.getRoleName(), child.name, box, flags)
        yield from lines(child)


def main():
    title = sys.argv[1]
    limit = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
    end = time.monotonic() + limit
    while True:
        text = None
        try:
            window = find_window(title)
            if window is not None:
                text = "\n".join(lines(window))
        except Exception:  # a window that went while we read it: look again
            pass
        if text is not None:
            print(text)
            return 0
        if time.monotonic() >= end:
            print("no showing window %r" % title, file=sys.stderr)
            return 1
        time.sleep(0.3)


if __name__ == "__main__":
    sys.exit(main())
