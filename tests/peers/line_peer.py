#!/usr/bin/python3
"""A scripted line-protocol peer (for FTP cases no real server shows): sends the
greeting lines, then answers each command by its verb from a JSON map. Commands go
to commands.log beside the script file (so an injected command shows). Prints "PORT n".

A reply is a string of lines separated by "\\n", or one of:
  "SILENT"                                  never answer
  {"lines": [...], "delay": 2}              the lines one at a time, a pause before each
  {"repeat": "150 Wait", "delay": 0.2}      that line for ever
  {"lines": [...], "then": "close"}         then close the control connection
"{dataport}" in a reply is the port of a data listener the peer opens. Its first
connection is recorded in data.log and its bytes in data.bin; "data" in the script
changes that: "take" (default), "ignore" (never accept), "reset" (accept, then reset),
"send" (send the script's "data_send" text, then close), "stream" (send it again and
again until the client goes), "slow" (take the bytes at "data_rate" bytes a second,
never more than 8 KiB at once, through a small receive buffer).
With --cert and --key, "AUTH" switches the control connection to TLS after its reply
and "PROT P" makes the data connection TLS too."""
import argparse
import json
import os
import socket
import ssl
import struct
import sys
import threading
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--script", required=True)
    ap.add_argument("--cert")
    ap.add_argument("--key")
    args = ap.parse_args()
    with open(args.script) as f:
        script = json.load(f)
    folder = os.path.dirname(args.script)
    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if script.get("data") == "slow":
        data.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8192)
    data.bind(("127.0.0.1", 0))
    data.listen(1)
    dataport = data.getsockname()[1]
    state = {"prot": False}

    def accept_data():
        mode = script.get("data", "take")
        if mode == "ignore":
            return
        conn, _ = data.accept()
        with open(os.path.join(folder, "data.log"), "a") as f:
            f.write("connected\n")
        if mode == "stream":
            try:
                block = script.get("data_send", "x").encode("latin-1") * 4096
                while True:
                    conn.sendall(block)
            except OSError:
                pass
            conn.close()
            return
        if mode == "send":
            conn.sendall(script.get("data_send", "").encode("latin-1"))
            conn.close()
            return
        if mode == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            return
        received = b""
        try:
            if state["prot"] and context:
                conn = context.wrap_socket(conn, server_side=True)
            slow = script.get("data_rate") if mode == "slow" else None
            while True:
                chunk = conn.recv(8192 if slow else 65536)
                if not chunk:
                    break
                received += chunk
                if slow:
                    time.sleep(len(chunk) / slow)
            if isinstance(conn, ssl.SSLSocket):
                conn = conn.unwrap()
        except (OSError, ssl.SSLError):
            pass
        with open(os.path.join(folder, "data.bin"), "wb") as f:
            f.write(received)
        conn.close()

    threading.Thread(target=accept_data, daemon=True).start()
    print("PORT", listener.getsockname()[1], flush=True)

    def send(conn, line):
        conn.sendall((line.replace("{dataport}", f"{dataport >> 8},{dataport & 255}")
                      .replace("{epsvport}", str(dataport)) + "\r\n").encode("latin-1"))

    while True:
        conn, _ = listener.accept()
        log = open(os.path.join(folder, "commands.log"), "a")
        try:
            for line in script.get("greeting", ["220 ready"]):
                if line == "SILENT":
                    break
                send(conn, line)
            pending = b""
            closing = False
            while not closing:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                pending += chunk
                while b"\n" in pending and not closing:
                    raw, _, pending = pending.partition(b"\n")
                    command = raw.decode("latin-1").rstrip("\r")
                    log.write(command + "\n")
                    log.flush()
                    verb = command.split(" ")[0].upper()
                    reply = script.get(verb, "502 Not implemented.")
                    if reply == "SILENT":
                        continue
                    if isinstance(reply, str):
                        reply = {"lines": reply.split("\n")}
                    if "repeat" in reply:
                        while True:
                            send(conn, reply["repeat"])
                            time.sleep(reply.get("delay", 0))
                    for line in reply["lines"]:
                        time.sleep(reply.get("delay", 0))
                        send(conn, line)
                    if verb == "PROT":
                        state["prot"] = command.upper().endswith(" P")
                    if verb == "AUTH" and context:
                        conn = context.wrap_socket(conn, server_side=True)
                    if reply.get("then") == "close" or verb == "QUIT":
                        closing = True
        except (OSError, ssl.SSLError):
            pass
        conn.close()


if __name__ == "__main__":
    sys.exit(main())
