"""The user of the About box and of Help Topics in the end-to-end run: moves
and clicks the mouse with xdotool, reads the windows through the
accessibility bus (AT-SPI) and the screen through screenshots, and checks what
the recording xdg-open was handed. Prints one line per check; the exit code is
the number of failed checks.

usage: about_driver.py WORK PREFIX   (from run-about.sh, inside its session)
"""
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import Atspi

WORK, PREFIX = sys.argv[1], sys.argv[2]
SHOTS = os.environ.get("PRODLET_E2E_SHOTS")
MAIL = "prodlet@example.com"
WEB = "https://www.example.com/prodlet"
BLUE, PURPLE = "#0000FF", "#800080"
failures = 0


def check(what, ok):
    global failures
    print(("ok   - " if ok else "FAIL - ") + what, flush=True)
    if not ok:
        failures += 1
        print_windows()
    return ok


def print_windows():
    """The program's windows as the accessibility bus shows them, after a failure."""
    app = application()
    for win in app if app is not None else []:
        try:
            print("       window: %s %r%s" % (win.getRoleName(), win.name, " (shown)" if showing(win) else ""))
        except Exception:
            pass


def wait_for(fn, timeout=20.0):
    """fn's first true value within timeout seconds, else None."""
    end = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() > end:
            return None
        time.sleep(0.2)


def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


# ---- the accessibility tree

def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        # The application's name as the program gives it ("Prodlet"), or the
        # executable's where it gives none: either way, compared without case.
        if app is not None and app.name.lower() == "prodlet":
            # The program's windows come and go: read them afresh each time.
            app.set_cache_mask(Atspi.Cache.NONE)
            app.clear_cache()
            return app
    return None


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:  # the window went while we looked
        return False


def find(root, pred):
    if root is None:
        return None
    try:
        if pred(root):
            return root
        for child in root:
            found = find(child, pred)
            if found is not None:
                return found
    except Exception:
        return None
    return None


def window(role, name=None):
    """A shown top-level window of the program."""
    app = application()
    if app is None:
        return None
    for win in app:
        if win is not None and win.getRoleName() == role and (name is None or win.name == name) and showing(win):
            return win
    return None


def labels(win):
    found = []

    def walk(acc):
        for child in acc:
            if child.getRoleName() == "label":
                found.append(child)
            walk(child)
    walk(win)
    return found


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def click_at(acc, button=1):
    x, y, w, h = extents(acc)
    # Onto it from just above, as a hand would move: the move that enters counts.
    xdo("mousemove", x + w // 2, max(0, y - 6))
    time.sleep(0.2)
    xdo("mousemove", x + w // 2, y + h // 2)
    time.sleep(0.3)
    xdo("click", button)


# ---- the screen

def screenshot(name):
    path = os.path.join(WORK, name)
    subprocess.run(["import", "-window", "root", path], check=False)
    return path


def colours(path, box):
    """How many pixels of each colour (#RRGGBB) lie inside box (x, y, w, h)."""
    x, y, w, h = box
    out = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True).stdout
    counts = {}
    for line in out.splitlines()[1:]:
        m = re.search(r"#([0-9A-Fa-f]{6})", line)
        if m:
            key = "#" + m.group(1).upper()
            counts[key] = counts.get(key, 0) + 1
    return counts


def keep_shot(path, box, name):
    if SHOTS:
        x, y, w, h = box
        subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (w + 20, h + 40, max(0, x - 10), max(0, y - 30)),
                        os.path.join(SHOTS, name)], check=False)


def link_colour(path, link):
    counts = colours(path, extents(link))
    blue, purple = counts.get(BLUE, 0), counts.get(PURPLE, 0)
    # The underline alone is a line of the link's exact colour.
    if blue > 10 and purple == 0:
        return "blue"
    if purple > 10 and blue == 0:
        return "purple"
    return "unclear (blue %d, purple %d)" % (blue, purple)


# ---- the program's windows

def opened():
    try:
        with open(os.path.join(WORK, "opened.log")) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def tray_menu(key, icon):
    x, y, w, h = (int(v) for v in re.findall(r"=(-?\d+)", xdo("getwindowgeometry", "--shell", icon))[1:5])
    xdo("mousemove", x + w // 2, y + h // 2)
    time.sleep(0.3)
    xdo("click", 3)
    # The popup is no window of the accessibility tree; it is one of the screen.
    menu = lambda: [w for w in xdo("search", "--onlyvisible", "--classname", "prodlet").split() if w != icon]
    if not check("the tray menu opens", wait_for(lambda: bool(menu()), 10)):
        return
    xdo("key", key)


def frame_menu(popup, item):
    frame = wait_for(lambda: window("frame", "Prodlet"), 10)
    if not check("the main window is shown", frame is not None):
        return False
    menu = find(frame, lambda a: a.getRoleName() == "menu item" and a.name == popup)
    if not check("the menu bar has " + popup, menu is not None):
        return False
    click_at(menu)
    entry = wait_for(lambda: find(window("frame", "Prodlet"),
                                  lambda a: a.getRoleName() == "menu item" and a.name == item and showing(a)), 10)
    if not check("the %s menu shows %s" % (popup, item), entry is not None):
        return False
    click_at(entry)
    return True


def read_about():
    about = wait_for(lambda: window("dialog", "About Prodlet"), 15)
    if not check("the About box opens", about is not None):
        return None
    # Its texts and links, once laid out.
    wait_for(lambda: any(l.name == WEB and extents(l)[2] > 0 for l in labels(about)), 10)
    box = {"dialog": about}
    for label in labels(about):
        if re.fullmatch(r"\d+\.\d+\.\d+\.\d+|no address yet", label.name):
            box["ip"] = label.name
        elif re.fullmatch(r"\d+ (seconds|minutes)", label.name):
            box["time"] = label.name
        elif label.name == MAIL:
            box["mail"] = label
        elif label.name == WEB:
            box["web"] = label
    check("the About box shows the address, the time and both links",
          all(k in box for k in ("ip", "time", "mail", "web")))
    return box if all(k in box for k in ("ip", "time", "mail", "web")) else None


def close_about(box):
    ok = [a for a in box["dialog"] if a.getRoleName() == "push button" and a.name == "OK"]
    if ok:
        click_at(ok[0])
    check("OK closes the About box", wait_for(lambda: window("dialog", "About Prodlet") is None, 10) is not None)


def seconds(text):
    n, unit = text.split()
    return int(n) * (60 if unit == "minutes" else 1)


def main():
    launched = float(open(os.path.join(WORK, "launched")).read())
    icon = wait_for(lambda: xdo("search", "--onlyvisible", "--classname", "prodlet").split(), 30)
    if not check("the tray icon appears", icon):
        return
    icon = icon[0]
    check("the program is on the accessibility bus", wait_for(application, 30) is not None)
    # The first probe tells the local address; its Host header is that address.
    check("the server receives a probe", wait_for(lambda: os.path.exists(os.path.join(WORK, "requests", "0.req")), 60))
    host = re.search(rb"Host: ([0-9.]+)", open(os.path.join(WORK, "requests", "0.req"), "rb").read() or b"")
    host = host.group(1).decode() if host else "?"

    # ---- About from the tray menu: both links blue, then followed
    tray_menu("a", icon)
    box = read_about()
    if box is None:
        return
    check("the address is the one the probe sent (%s)" % box["ip"], box["ip"] == host)
    first = seconds(box["time"])
    first_at = time.time()
    check("the time since launch (%s) is no longer than the program has run" % box["time"],
          first <= first_at - launched)
    before = screenshot("about-before.png")
    keep_shot(before, extents(box["dialog"]), "about-before.png")
    check("both links are blue before a click",
          (link_colour(before, box["mail"]), link_colour(before, box["web"])) == ("blue", "blue"))

    click_at(box["web"])
    check("the web link hands its address unchanged to the opener", wait_for(lambda: WEB in opened(), 10))
    xdo("mousemove", 5, 760)  # away from the links, so no hand covers them
    time.sleep(0.5)
    after = screenshot("about-after-web.png")
    keep_shot(after, extents(box["dialog"]), "about-after-web.png")
    check("the followed web link is purple, the e-mail link still blue",
          (link_colour(after, box["mail"]), link_colour(after, box["web"])) == ("blue", "purple"))

    click_at(box["mail"])
    check("the e-mail link hands mailto: and the address to the opener",
          wait_for(lambda: "mailto:" + MAIL in opened(), 10))
    xdo("mousemove", 5, 760)
    time.sleep(0.5)
    check("nothing else reached the opener", opened() == [WEB, "mailto:" + MAIL])
    close_about(box)

    # ---- About from the Help menu of the restored window: still followed
    tray_menu("r", icon)
    if frame_menu("Help", "About Prodlet..."):
        box = read_about()
        if box is not None:
            later = seconds(box["time"])
            check("the address is shown again (%s)" % box["ip"], box["ip"] == host)
            check("the time since launch moved on with the clock (%s, then %s)" % (first, later),
                  first <= later <= first + (time.time() - first_at) + 2)
            again = screenshot("about-again.png")
            keep_shot(again, extents(box["dialog"]), "about-again.png")
            check("both links are purple when the box opens again",
                  (link_colour(again, box["mail"]), link_colour(again, box["web"])) == ("purple", "purple"))
            close_about(box)

    # ---- Help Topics opens the installed manual; without it a box says where it is
    manual = os.path.join(PREFIX, "share", "doc", "prodlet", "manual", "index.html")
    if frame_menu("Help", "Help Topics"):
        check("Help Topics hands the manual to the opener",
              wait_for(lambda: "file://" + manual in opened(), 10))
    os.rename(manual, manual + ".gone")
    if frame_menu("Help", "Help Topics"):
        def message():
            for role in ("alert", "dialog"):
                win = window(role)
                if win is not None and any(manual in l.name for l in labels(win)):
                    return win
            return None
        check("without the manual a message box says where it is", wait_for(message, 10) is not None)
        xdo("key", "Return")
        check("the message box closes", wait_for(lambda: message() is None, 10) is not None)
    check("the opener was not asked for the missing manual", opened().count("file://" + manual) == 1)

    # ---- Exit from the tray menu
    tray_menu("x", icon)


if __name__ == "__main__":
    try:
        main()
    except Exception as e:  # a fault of the run itself counts as a failure
        check("the run went through (%r)" % (e,), False)
    sys.exit(min(failures, 100))
