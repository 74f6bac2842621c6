#!/usr/bin/env python3
"""A misbehaving HTTP server for the end-to-end fault runs: listens on
ADDRESS:80 and records each connection's arrival as <dir>/<n>.conn (its
content: the time, in seconds since the epoch). Each connection is handled
in its own thread, so a server that holds one never delays the next.

usage: fault_server.py MODE ADDRESS DIR
  silent    reads the request and never answers; holds the connection open
  close     closes the connection as soon as it is accepted
  megabyte  answers with a megabyte of body, then closes
  slow      answers one byte every 0.2 seconds (a short reply), then closes
"""
import os
import socket
import sys
import threading
import time

sys.dont_write_bytecode = True  # no cache of the module below in the source tree
from http_recorder import read_request  # noqa: E402

mode, address, out_dir = sys.argv[1:4]
held = []  # the silent server's connections, never closed while it runs


def serve(conn):
    try:
        if mode == "silent":
            read_request(conn)
            held.append(conn)
            return
        if mode == "megabyte":
            read_request(conn)
            body = b"x" * (1 << 20)
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        elif mode == "slow":
            read_request(conn)
            for byte in b"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok":
                conn.sendall(bytes([byte]))
                time.sleep(0.2)
    except OSError:
        pass
    conn.close()


srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind((address, 80))
srv.listen(16)
open(os.path.join(out_dir, "listening"), "w").close()
for n in range(1000):
    conn, _ = srv.accept()
    with open(os.path.join(out_dir, "%d.conn" % n), "w") as f:
        f.write("%.3f\n" % time.time())
    if mode == "close":
        conn.close()
        continue
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
