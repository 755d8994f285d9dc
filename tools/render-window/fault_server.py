#!/usr/bin/env python3
"""A small update server that misbehaves on purpose, for pictures of the
updater in the middle of a transfer and after a broken one.

fault_server.py PORT MODE BLOCKS PACKAGE [MARK_FILE]

It answers the update request like the project's server, then sends the
package in BLOCKS blocks of at most 1000 bytes with a pause after each, so
every block is one receive for the updater (one pixel of its bar), and then:
  hold   keeps the connection open and idle until the server is ended;
  reset  breaks the connection with a reset (RST), as a failing network does.
Once the blocks are out it writes "sent" to MARK_FILE (if given). Connections
that close without a request (the updater's probe) are simply dropped.
Standard library only; IPv4 loopback only.
"""
import socket
import struct
import sys
import time

REQUEST = b"down_load_update_browser\r\n"
REPLY = b"ok_down_load_update_browser\r\n"
BLOCK = 1000
# Well beyond the time the updater takes to paint one step of its bar, so
# each block arrives on its own and is one receive.
PAUSE = 0.05


def read_request(conn):
    conn.settimeout(10)
    data = b""
    while not data.endswith(b"\n"):
        piece = conn.recv(64)
        if not piece:
            return None
        data += piece
    return data


def serve_one(conn, mode, blocks, package, mark):
    if read_request(conn) != REQUEST:
        conn.close()
        return False
    conn.sendall(REPLY)
    time.sleep(PAUSE)  # the reply line is a receive of its own, too
    for i in range(blocks):
        chunk = package[i * BLOCK:(i + 1) * BLOCK] or b"\0" * BLOCK
        conn.sendall(chunk)
        time.sleep(PAUSE)
    if mark:
        with open(mark, "w") as f:
            f.write("sent\n")
    if mode == "reset":
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()
        return True
    while True:
        time.sleep(1)


def main():
    if len(sys.argv) not in (5, 6) or sys.argv[2] not in ("hold", "reset"):
        sys.stderr.write(__doc__)
        return 2
    port, mode, blocks = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    with open(sys.argv[4], "rb") as f:
        package = f.read()
    mark = sys.argv[5] if len(sys.argv) == 6 else None
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(4)
    while True:
        conn, _ = listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if serve_one(conn, mode, blocks, package, mark):
            break
    return 0


if __name__ == "__main__":
    sys.exit(main())
