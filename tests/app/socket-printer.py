#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# socket-printer.py DIR: a printer on a loopback port (printed). A connection reads
# DIR/next, "MODE BYTES NAME", and keeps what it takes in DIR/NAME.prn. MODE: reads
# (all), close or reset (RST) after BYTES, never (reads nothing).
import os, socket, struct, sys, threading


def serve(conn, mode, limit, path):
    with conn, open(path, "wb") as out:
        if mode == "never":
            threading.Event().wait()
        while mode == "reads" or out.tell() < limit:
            data = conn.recv(65536 if mode == "reads" else min(65536, limit - out.tell()))
            if not data:
                break
            out.write(data)
        if mode == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
while True:
    conn, _ = listener.accept()
    with open(os.path.join(sys.argv[1], "next")) as f:
        mode, limit, name = f.read().split()
    threading.Thread(target=serve, args=(conn, mode, int(limit), os.path.join(sys.argv[1], name + ".prn")),
                     daemon=True).start()
