#!/usr/bin/env python3
"""A tiny HTTP server for the end-to-end test: listens on 127.0.0.1:80, stores
each request's bytes as <dir>/<n>.req, answers with a short reply and closes.
Serves at most 200 connections, then stops."""
import os
import socket
import sys


def read_request(conn):
    """The request's bytes up to the blank line that ends its head (or what
    came within 10 s, or the first 64 KiB)."""
    data = b""
    conn.settimeout(10)
    try:
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    return data


def main(out_dir):
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 80))
    srv.listen(8)
    open(os.path.join(out_dir, "listening"), "w").close()
    for n in range(200):
        conn, _ = srv.accept()
        data = read_request(conn)
        tmp = os.path.join(out_dir, "%d.tmp" % n)
        with open(tmp, "wb") as f:
            f.write(data)
        os.rename(tmp, os.path.join(out_dir, "%d.req" % n))
        try:
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok")
        except OSError:
            pass
        conn.close()


if __name__ == "__main__":
    main(sys.argv[1])
