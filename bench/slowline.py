#!/usr/bin/env python3
"""A slow line on loopback: a relay that holds every chunk for a one-way
delay and paces the bytes to a rate, in each direction, like a dial-up line.

    slowline.py LISTEN_PORT TARGET_PORT [--delay-ms 100] [--rate 8000]

Clients connect to 127.0.0.1:LISTEN_PORT; each connection is relayed to
127.0.0.1:TARGET_PORT. On SIGTERM it prints the bytes it carried each way
(to stderr) and ends.
"""
import argparse
import collections
import signal
import socket
import sys
import threading
import time

carried = {"down": 0, "up": 0}
lock = threading.Lock()


def pipe(source, target, delay, rate, direction):
    """Reads `source` as it comes; each chunk leaves `target` no earlier than
    its arrival plus the delay, and never faster than the rate."""
    queue = collections.deque()
    ready = threading.Condition()
    done = [False]

    def reader():
        while True:
            try:
                chunk = source.recv(65536)
            except OSError:
                chunk = b""
            with ready:
                queue.append((time.monotonic(), chunk))
                ready.notify()
            if not chunk:
                return

    threading.Thread(target=reader, daemon=True).start()
    line_free = time.monotonic()   # when the line has sent all before
    piece = max(1, int(rate / 100))  # about 10 ms of line time per send
    while True:
        with ready:
            while not queue:
                ready.wait()
            arrived, chunk = queue.popleft()
        if not chunk:
            break
        start = max(arrived + delay, line_free)
        for at in range(0, len(chunk), piece):
            part = chunk[at:at + piece]
            line_free = max(start, line_free) + len(part) / rate
            wait = line_free - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                target.sendall(part)
            except OSError:
                done[0] = True
                break
            with lock:
                carried[direction] += len(part)
        if done[0]:
            break
    try:
        target.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def serve(client, target_port, delay, rate):
    server = socket.create_connection(("127.0.0.1", target_port))
    for s in (client, server):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    up = threading.Thread(target=pipe, args=(client, server, delay, rate, "up"), daemon=True)
    down = threading.Thread(target=pipe, args=(server, client, delay, rate, "down"), daemon=True)
    up.start()
    down.start()
    up.join()
    down.join()
    client.close()
    server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("listen_port", type=int)
    parser.add_argument("target_port", type=int)
    parser.add_argument("--delay-ms", type=float, default=100)
    parser.add_argument("--rate", type=float, default=8000, help="bytes per second, each way")
    args = parser.parse_args()

    def report(*_):
        print("slowline: carried %d bytes down, %d up" % (carried["down"], carried["up"]),
              file=sys.stderr, flush=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, report)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.listen_port))
    listener.listen(8)
    print("slowline: 127.0.0.1:%d -> 127.0.0.1:%d, %g ms each way, %g bytes/s" %
          (args.listen_port, args.target_port, args.delay_ms, args.rate), file=sys.stderr, flush=True)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, args.target_port, args.delay_ms / 1000.0, args.rate),
                         daemon=True).start()


if __name__ == "__main__":
    main()
