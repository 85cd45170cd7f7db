#!/usr/bin/env python3
"""Listens on port 80 of the given loopback addresses (or on the port given after one:
"::1 20000"), accepts and closes every connection.

Prints "ready" once every socket listens; ends on SIGTERM or after --max-seconds.
"""
import argparse
import selectors
import signal
import socket
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--max-seconds", type=float, default=600)
    parser.add_argument("addresses", nargs="*")
    args = parser.parse_args()
    addresses = args.addresses or [line.strip() for line in sys.stdin if line.strip()]
    pairs = []
    for line in addresses:
        a, _, port = line.partition(" ")
        if not (a.startswith("127.") or a == "::1"):
            sys.exit(f"refusing non-loopback address {a}")
        pairs.append((a, int(port) if port else 80))

    sel = selectors.DefaultSelector()
    socks = []
    for a, port in pairs:
        s = socket.socket(socket.AF_INET6 if ":" in a else socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((a, port))
        s.listen(128)
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ)
        socks.append(s)

    running = True

    def stop(*_):
        nonlocal running
        running = False

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("ready", flush=True)
    deadline = time.monotonic() + args.max_seconds
    while running and time.monotonic() < deadline:
        for key, _ in sel.select(timeout=0.5):
            try:
                conn, _ = key.fileobj.accept()
                conn.close()
            except (BlockingIOError, InterruptedError):
                pass
    for s in socks:
        s.close()


if __name__ == "__main__":
    main()
