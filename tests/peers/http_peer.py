#!/usr/bin/python3
"""A scripted HTTP peer for the tests: every reply, delay and early close is chosen
by the test. Listens on 127.0.0.1 (a free port, printed as "PORT n" on stdout).

Routes come from a JSON file read on every request, keyed by path (query included):
  {"/ok": {"raw": "HTTP/1.0 200 OK\\r\\n\\r\\nbody"},
   "/slow": {"sleep": 30},                 # accept, read, never answer
   "/late": {"wait": 1, "raw": "..."},     # accept, read, answer a second later
   "/close": {"raw": ""},                  # close without a reply
   "/big": {"head": "HTTP/1.0 200 OK", "body_bytes": 1048576},
   "/cut": {"raw": "...", "then": "reset"},     # end with a TCP reset
   "/tls": {"raw": "...", "then": "close_notify"},  # end TLS in order (else no close_notify)
   "/chatty": {"raw": "HTTP/1.0 200 OK\\r\\n", "stream": "X-More: y\\r\\n"},  # for ever
   "/drip": {"raw": "...", "drip": [1000, 0.2]}}  # 1000 bytes, a pause, 1000 more...
A "CONNECT" route, when given, answers every CONNECT instead of the tunnel.
--close-after-handshake closes each connection as soon as it is accepted (after the
TLS handshake with --cert), before reading anything.
Unknown paths get 404. Each request is saved raw as requests/PORT-N.bin in the folder of
the routes file, so tests can check request heads and bodies.
"""
import argparse
import json
import os
import socket
import ssl
import struct
import sys
import threading
import time


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or 0)
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n" + body


def tunnel(conn, target):
    """Answers CONNECT host:port by piping bytes both ways (a proxy for https)."""
    host, _, port = target.rpartition(":")
    try:
        upstream = socket.create_connection((host, int(port)))
    except OSError:
        conn.sendall(b"HTTP/1.0 502 Bad Gateway\r\n\r\n")
        return
    conn.sendall(b"HTTP/1.0 200 Connection established\r\n\r\n")

    def pipe(src, dst):
        try:
            while True:
                chunk = src.recv(65536)
                if not chunk:
                    break
                dst.sendall(chunk)
        except OSError:
            pass
        finally:
            try:
                dst.shutdown(socket.SHUT_WR)
            except OSError:
                pass

    t = threading.Thread(target=pipe, args=(upstream, conn), daemon=True)
    t.start()
    pipe(conn, upstream)
    t.join()
    upstream.close()


def finish(conn, how):
    if how == "reset":
        # An abortive close: the peer sees ECONNRESET, not an orderly end.
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    elif how == "close_notify" and isinstance(conn, ssl.SSLSocket):
        conn = conn.unwrap()
        conn.shutdown(socket.SHUT_WR)
        conn.settimeout(5)
        try:
            while conn.recv(65536):
                pass
        except OSError:
            pass
    conn.close()


def answer(conn, route):
    if "drip" in route:
        size, pause = route["drip"]
        data = route["raw"].encode("latin-1")
        for i in range(0, len(data), size):
            conn.sendall(data[i:i + size])
            time.sleep(pause)
    elif "raw" in route:
        conn.sendall(route["raw"].encode("latin-1"))
    else:
        conn.sendall((route["head"] + "\r\n\r\n").encode("latin-1"))
        left = route["body_bytes"]
        block = b"x" * 262144
        while left > 0:
            piece = block[: min(left, len(block))]
            conn.sendall(piece)
            left -= len(piece)
    if "stream" in route:
        line = route["stream"].encode("latin-1")
        while True:
            conn.sendall(line * 64)
    finish(conn, route.get("then", ""))


def serve(conn, routes_file, counter, port, close_at_once):
    try:
        if close_at_once:
            return
        request = read_request(conn)
        folder = os.path.join(os.path.dirname(routes_file), "requests")
        os.makedirs(folder, exist_ok=True)
        with counter["lock"]:
            counter["n"] += 1
            n = counter["n"]
        with open(os.path.join(folder, f"{port}-{n}.bin"), "wb") as f:
            f.write(request)
        first = request.split(b"\r\n", 1)[0].decode("latin-1")
        parts = first.split(" ")
        target = parts[1] if len(parts) > 1 else "/"
        with open(routes_file) as f:
            routes = json.load(f)
        if parts[0] == "CONNECT":
            if "CONNECT" in routes:
                answer(conn, routes["CONNECT"])
            else:
                tunnel(conn, target)
            return
        if target.startswith("http://") or target.startswith("https://"):
            target = "/" + target.split("/", 3)[3] if target.count("/") >= 3 else "/"
        route = routes.get(target, {"raw": "HTTP/1.0 404 Not Found\r\n\r\nno such page"})
        if "sleep" in route:
            time.sleep(route["sleep"])
            return
        time.sleep(route.get("wait", 0))
        answer(conn, route)
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--routes", required=True)
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--close-after-handshake", action="store_true")
    args = ap.parse_args()
    family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.host, 0))
    listener.listen(16)
    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
    print("PORT", listener.getsockname()[1], flush=True)
    counter = {"n": 0, "lock": threading.Lock()}
    while True:
        conn, _ = listener.accept()
        if context:
            try:
                conn = context.wrap_socket(conn, server_side=True)
            except (OSError, ssl.SSLError):
                conn.close()
                continue
        threading.Thread(target=serve, args=(conn, args.routes, counter, listener.getsockname()[1],
                                             args.close_after_handshake),
                         daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
