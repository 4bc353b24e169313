#!/usr/bin/python3
"""A scripted line-protocol peer (for FTP cases no real server shows): sends the
greeting lines, then answers each command by its verb from a JSON map. A reply of
"SILENT" never answers; "{dataport}" in a reply is the port of a data listener the
peer opens, whose first connection is recorded. Commands go to commands.log beside
the script file. Prints "PORT n"."""
import argparse
import json
import os
import socket
import sys
import threading


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--script", required=True)
    args = ap.parse_args()
    with open(args.script) as f:
        script = json.load(f)
    folder = os.path.dirname(args.script)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    data.bind(("127.0.0.1", 0))
    data.listen(1)
    dataport = data.getsockname()[1]

    def accept_data():
        conn, _ = data.accept()
        with open(os.path.join(folder, "data.log"), "a") as f:
            f.write("connected\n")
        received = b""
        while True:
            chunk = conn.recv(65536)
            if not chunk:
                break
            received += chunk
        with open(os.path.join(folder, "data.bin"), "wb") as f:
            f.write(received)
        conn.close()

    threading.Thread(target=accept_data, daemon=True).start()
    print("PORT", listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        out = conn.makefile("rwb", buffering=0)
        for line in script.get("greeting", ["220 ready"]):
            if line == "SILENT":
                break
            out.write((line + "\r\n").encode("latin-1"))
        log = open(os.path.join(folder, "commands.log"), "a")
        for raw in out:
            command = raw.decode("latin-1").rstrip("\r\n")
            log.write(command + "\n")
            log.flush()
            verb = command.split(" ")[0].upper()
            reply = script.get(verb, "502 Not implemented.")
            if reply == "SILENT":
                continue
            for line in reply.split("\n"):
                out.write((line.replace("{dataport}", f"{dataport >> 8},{dataport & 255}") + "\r\n")
                          .encode("latin-1"))
            if verb == "QUIT":
                break
        conn.close()


if __name__ == "__main__":
    sys.exit(main())
