#!/usr/bin/python3
"""Looks at the program's StatusNotifierItem as a desktop's host sees it, on
the session bus of $DBUS_SESSION_BUS_ADDRESS, through the host's own watcher
(org.kde.StatusNotifierWatcher, owned by the panel under test).

usage:
  sni_probe.py wait SECONDS     waits for the watcher, then for an item titled
                                Prodlet in RegisteredStatusNotifierItems;
                                prints "watcher=S item=S" (seconds from the
                                start of the wait); fails if none came
  sni_probe.py watcher SECONDS  waits for the watcher alone
  sni_probe.py inspect          prints JSON: the item's Id, Title, Status,
                                ToolTip, icon sizes, ItemIsMenu and the menu
                                layout (GetLayout) as labels and types
  sni_probe.py activate         calls Activate(0, 0)
  sni_probe.py click LABEL      sends dbusmenu Event "clicked" to that item
"""
import json
import sys
import time

import dbus

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"


def registered(bus):
    watcher = bus.get_object(WATCHER, "/StatusNotifierWatcher")
    items = dbus.Interface(watcher, PROPS).Get(WATCHER, "RegisteredStatusNotifierItems")
    return [str(i) for i in items]


def split(entry):
    # Hosts keep "service/path" or "service" alone (then the path is fixed).
    slash = entry.find("/")
    if slash < 0:
        return entry, "/StatusNotifierItem"
    return entry[:slash], entry[slash:]


def find_item(bus):
    for entry in registered(bus):
        name, path = split(entry)
        try:
            obj = bus.get_object(name, path)
            if str(dbus.Interface(obj, PROPS).Get(ITEM, "Title")) == "Prodlet":
                return obj
        except dbus.DBusException:
            continue
    return None


def wait(bus, limit):
    start = time.monotonic()
    t_watcher = None
    while time.monotonic() - start < limit:
        try:
            if t_watcher is None and bus.name_has_owner(WATCHER):
                t_watcher = time.monotonic() - start
            if t_watcher is not None and find_item(bus) is not None:
                print("watcher=%.2f item=%.2f" % (t_watcher, time.monotonic() - start))
                return 0
        except dbus.DBusException:
            pass  # the host is still setting up its watcher
        time.sleep(0.05)
    print("watcher=%s item=none" % ("none" if t_watcher is None else "%.2f" % t_watcher))
    return 1


def menu_of(bus, item):
    props = dbus.Interface(item, PROPS)
    menu_path = props.Get(ITEM, "Menu")
    return dbus.Interface(bus.get_object(item.bus_name, menu_path), MENU)


def inspect(bus, item):
    props = dbus.Interface(item, PROPS)
    tip = props.Get(ITEM, "ToolTip")
    result = {
        "id": str(props.Get(ITEM, "Id")),
        "title": str(props.Get(ITEM, "Title")),
        "status": str(props.Get(ITEM, "Status")),
        "category": str(props.Get(ITEM, "Category")),
        "tooltip": str(tip[2]),
        "icon_sizes": ["%dx%d" % (int(p[0]), int(p[1])) for p in props.Get(ITEM, "IconPixmap")],
        "item_is_menu": bool(props.Get(ITEM, "ItemIsMenu")),
    }
    _, layout = menu_of(bus, item).GetLayout(0, -1, dbus.Array([], signature="s"))
    result["menu"] = [str(c[1].get("label", c[1].get("type", "?"))) for c in layout[2]]
    return result


def click(bus, item, label):
    menu = menu_of(bus, item)
    _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
    for child in layout[2]:
        if str(child[1].get("label", "")) == label:
            try:
                menu.Event(dbus.Int32(int(child[0])), "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
            except dbus.DBusException:
                pass  # the program may end before it answers
            return 0
    return 1


def main():
    bus = dbus.SessionBus()
    what = sys.argv[1]
    if what == "wait":
        return wait(bus, float(sys.argv[2]))
    if what == "watcher":
        end = time.monotonic() + float(sys.argv[2])
        while not bus.name_has_owner(WATCHER):
            if time.monotonic() > end:
                return 1
            time.sleep(0.05)
        return 0
    item = find_item(bus)
    if item is None:
        print("no item titled Prodlet among %s" % registered(bus))
        return 1
    if what == "inspect":
        print(json.dumps(inspect(bus, item)))
        return 0
    if what == "activate":
        dbus.Interface(item, ITEM).Activate(dbus.Int32(0), dbus.Int32(0))
        return 0
    if what == "click":
        return click(bus, item, sys.argv[2])
    return 2


if __name__ == "__main__":
    sys.exit(main())
