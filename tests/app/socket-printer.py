#!/usr/bin/env python3
"""A raw socket printer on a loopback port, for the application's fault tests.

    socket-printer.py DIR

Listens on 127.0.0.1 at a port the system picks and prints the port. Each
connection reads DIR/next when it is accepted, a line "MODE BYTES NAME",
and keeps the bytes it takes in DIR/NAME.prn. MODE is what the printer does:

  reads    takes every byte until the other side closes
  close    takes BYTES bytes, then closes the connection
  never    never reads
  reset    takes BYTES bytes, then resets the connection (RST)

Runs until it is killed.
"""
import os
import socket
import struct
import sys
import threading


def serve(conn, mode, limit, path):
    with conn, open(path, "wb") as out:
        if mode == "never":
            threading.Event().wait()
        taken = 0
        while mode == "reads" or taken < limit:
            data = conn.recv(65536 if mode == "reads" else min(65536, limit - taken))
            if not data:
                break
            out.write(data)
            taken += len(data)
        if mode == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


def main():
    folder = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        with open(os.path.join(folder, "next")) as f:
            mode, limit, name = f.read().split()
        threading.Thread(target=serve, args=(conn, mode, int(limit), os.path.join(folder, name + ".prn")),
                         daemon=True).start()


if __name__ == "__main__":
    main()
