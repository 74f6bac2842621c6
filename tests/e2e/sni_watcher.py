#!/usr/bin/python3
"""A StatusNotifierItem host for tests, on the session bus it is given.

Owns org.kde.StatusNotifierWatcher (with a host registered, so programs see a
notification area), writes READY_FILE once it does, and when an item
registers, looks at it as a host would and writes what it saw to RESULT_FILE
as JSON: the item's title and id, its menu (each item's properties and id),
then asks the item for Activate and records that it did. A menu item id
written to RESULT_FILE.click is then clicked, as the host's menu would.
Runs until killed.

usage: sni_watcher.py READY_FILE RESULT_FILE
"""
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"

INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
</node>
"""


def write_atomically(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.rename(tmp, path)


class Watcher(dbus.service.Object):
    def __init__(self, bus, result_file):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.result_file = result_file
        self.items = []
        self.menu = None

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # Qt passes its own bus name or a well-known name; the item lives at
        # /StatusNotifierItem unless a path is given.
        if service.startswith("/"):
            name, path = sender, service
        else:
            name, path = service, "/StatusNotifierItem"
        self.items.append(name + path)
        self.StatusNotifierItemRegistered(name + path)
        GLib.idle_add(self.inspect, name, path)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    # Qt reads the properties through the introspection data, which
    # dbus-python does not write for properties: it is given whole here.
    @dbus.service.method("org.freedesktop.DBus.Introspectable", in_signature="", out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    def inspect(self, name, path):
        result = {"service": name, "path": path}
        try:
            item = self.bus.get_object(name, path)
            props = dbus.Interface(item, PROPS)
            result["title"] = str(props.Get(ITEM, "Title"))
            result["id"] = str(props.Get(ITEM, "Id"))
            result["item_is_menu"] = bool(props.Get(ITEM, "ItemIsMenu"))
            menu_path = props.Get(ITEM, "Menu")
            menu = dbus.Interface(self.bus.get_object(name, menu_path), MENU)
            _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
            entries = []
            for child in layout[2]:
                _, child_props, _ = child
                entries.append({str(k): (bool(v) if isinstance(v, dbus.Boolean) else str(v))
                                for k, v in child_props.items()})
            result["menu"] = entries
            result["menu_ids"] = [int(child[0]) for child in layout[2]]
            dbus.Interface(item, ITEM).Activate(dbus.Int32(0), dbus.Int32(0))
            result["activated"] = True
            self.menu = menu
        except dbus.DBusException as e:
            result["error"] = str(e)
        write_atomically(self.result_file, json.dumps(result))
        return False

    def click_when_asked(self):
        """Clicks the menu item whose id is written to RESULT_FILE.click."""
        path = self.result_file + ".click"
        if self.menu is None or not os.path.exists(path):
            return True
        with open(path) as f:
            item_id = int(f.read().strip())
        os.remove(path)
        try:
            self.menu.Event(dbus.Int32(item_id), "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
        except dbus.DBusException:
            pass  # the program may end before it answers
        return True


def main():
    ready_file, result_file = sys.argv[1], sys.argv[2]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    watcher = Watcher(bus, result_file)
    GLib.timeout_add(200, watcher.click_when_asked)
    write_atomically(ready_file, "ready\n")
    GLib.MainLoop().run()
    del name, watcher


if __name__ == "__main__":
    main()
