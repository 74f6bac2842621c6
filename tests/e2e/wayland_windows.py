#!/usr/bin/python3
"""What a client asked of the compositor for its top-level windows, read
from its WAYLAND_DEBUG=1 log: one line per xdg_toplevel, in order of making,

    title=Prodlet min=268x281 max=268x281 geometry=0,0,268,281 buffer=yes maximize=no

where geometry is the last window geometry of its xdg_surface, buffer says
whether a buffer of exactly that size was made after it (a client-side
decoration draws outside the window geometry, so its buffers are larger),
and maximize whether the client ever asked to maximise it.

usage: wayland_windows.py LOG
"""
import re
import sys

REQUEST = re.compile(r"^\[\s*[\d.]+\]\s+->\s+(\w+)@(\d+)\.(\w+)\((.*)\)\s*$")


def main():
    toplevels = []  # in order of making
    by_id = {}      # live xdg_toplevel id -> its record
    surface_of = {}  # xdg_surface id -> its toplevel's record
    with open(sys.argv[1], errors="replace") as log:
        for line in log:
            m = REQUEST.match(line)
            if not m:
                continue
            iface, obj, request, args = m.group(1), int(m.group(2)), m.group(3), m.group(4)
            if iface == "xdg_surface" and request == "get_toplevel":
                new_id = int(re.search(r"xdg_toplevel@(\d+)", args).group(1))
                record = {"title": "", "min": "0x0", "max": "0x0", "geometry": None, "buffer": False,
                          "maximize": False}
                toplevels.append(record)
                by_id[new_id] = record
                surface_of[obj] = record
            elif iface == "xdg_toplevel" and obj in by_id:
                record = by_id[obj]
                if request == "set_title":
                    record["title"] = args.strip().strip('"')
                elif request in ("set_min_size", "set_max_size"):
                    w, h = (int(v) for v in args.split(","))
                    record[request[4:7]] = "%dx%d" % (w, h)
                elif request == "set_maximized":
                    record["maximize"] = True
                elif request == "destroy":
                    del by_id[obj]
            elif iface == "xdg_surface" and obj in surface_of:
                if request == "set_window_geometry":
                    surface_of[obj]["geometry"] = tuple(int(v) for v in args.split(","))
                elif request == "destroy":
                    del surface_of[obj]
            elif iface == "wl_shm_pool" and request == "create_buffer":
                # (new id, offset, width, height, stride, format)
                parts = [p.strip() for p in args.split(",")]
                size = (int(parts[2]), int(parts[3]))
                for record in surface_of.values():
                    g = record["geometry"]
                    if g and (g[2], g[3]) == size:
                        record["buffer"] = True
    for r in toplevels:
        g = r["geometry"]
        print("title=%s min=%s max=%s geometry=%s buffer=%s maximize=%s" % (
            r["title"], r["min"], r["max"], ",".join(str(v) for v in g) if g else "none",
            "yes" if r["buffer"] else "no", "yes" if r["maximize"] else "no"))


if __name__ == "__main__":
    main()
