#!/usr/bin/python3
"""An HTTP peer that misbehaves on purpose, for the run's retries and its sites in
flight. Listens on 127.0.0.1 (a free port, printed as "PORT n") and on each further
loopback address given with --also (127.0.0.2 ...), on the same port when it is free
there, printing "PORT host n" for each.

--reset-first N   the first N connections are reset at once, before reading a byte
--answer A        what every other connection gets after its request was read:
                  "ok" (200 and a thank-you page), "500", "reset" (a TCP reset),
                  "busy" (503 with Retry-After --retry-after, then ok for later ones)
--delay S         seconds to wait before answering
Each connection adds a line to connections.log in --folder ("<host> <n>"); the most
connections open at once to one address go to most.log ("<host> <count>")."""
import argparse
import os
import socket
import struct
import sys
import threading
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--folder", required=True)
    ap.add_argument("--reset-first", type=int, default=0)
    ap.add_argument("--answer", default="ok")
    ap.add_argument("--retry-after", default="1")
    ap.add_argument("--delay", type=float, default=0)
    ap.add_argument("--also", nargs="*", default=[])
    args = ap.parse_args()
    lock = threading.Lock()
    state = {"count": 0, "open": {}, "most": {}}

    def log():
        with open(os.path.join(args.folder, "most.log"), "w") as f:
            for host, n in sorted(state["most"].items()):
                f.write("%s %d\n" % (host, n))

    def reset(conn):
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()

    def read_request(conn):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                return
            body += chunk

    def serve(conn, host, number):
        try:
            if number <= args.reset_first:
                reset(conn)
                return
            read_request(conn)
            if args.delay:
                time.sleep(args.delay)
            answer = args.answer
            if answer == "busy" and number > args.reset_first + 1:
                answer = "ok"
            if answer == "reset":
                reset(conn)
                return
            if answer == "500":
                conn.sendall(b"HTTP/1.0 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n")
            elif answer == "busy":
                conn.sendall(b"HTTP/1.0 503 Service Unavailable\r\nRetry-After: " +
                             args.retry_after.encode() + b"\r\nContent-Length: 0\r\n\r\n")
            else:
                page = b"<html><body>Thank you!</body></html>"
                conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             str(len(page)).encode() + b"\r\n\r\n" + page)
            conn.close()
        except OSError:
            pass
        finally:
            with lock:
                state["open"][host] -= 1

    def accept_loop(listener, host):
        while True:
            conn, _ = listener.accept()
            with lock:
                state["count"] += 1
                number = state["count"]
                state["open"][host] = state["open"].get(host, 0) + 1
                state["most"][host] = max(state["most"].get(host, 0), state["open"][host])
                with open(os.path.join(args.folder, "connections.log"), "a") as f:
                    f.write("%s %d\n" % (host, number))
                log()
            threading.Thread(target=serve, args=(conn, host, number), daemon=True).start()

    def listen(host, port):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((host, port))
        s.listen(64)
        return s

    first = listen("127.0.0.1", 0)
    port = first.getsockname()[1]
    listeners = [(first, "127.0.0.1")]
    for host in args.also:
        try:
            listeners.append((listen(host, port), host))
        except OSError:
            listeners.append((listen(host, 0), host))
    print("PORT", port, flush=True)
    for s, host in listeners:
        print("PORT", host, s.getsockname()[1], flush=True)
    for s, host in listeners[1:]:
        threading.Thread(target=accept_loop, args=(s, host), daemon=True).start()
    accept_loop(first, "127.0.0.1")


if __name__ == "__main__":
    sys.exit(main())
