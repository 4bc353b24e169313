#!/usr/bin/python3
"""Local stand-ins for the download sites of the demo catalogue, on 127.0.0.1 only.

One process serves:
  HTTP  form handlers that answer like real sites
        /submit/...  200 and a thank-you page     /get/...     302 Found
        /all/...     200 and a thank-you page     /closed/...  500 (the form is refused)
        /see-other/... 303 See Other              /moved/...   301 Moved Permanently
        /silent/...  reads the request and never answers
        /            a page listing what was received
  FTP   uploads for the users "anonymous" (any password) and "demo" (password "demo");
        the user "refuse" (password "refuse") may log on but not upload
  SMTP  a sink that accepts every message

Everything received is written under the folder given with --received: http/NNN.txt
(request head and body), ftp/ (the uploaded files) with ftp.log (one line per upload,
"STOR path" or "PART path" for one cut short), mail/NNN.eml. On start it prints
one line "PORTS <http> <ftp> <smtp>" (a port given as 0 is chosen free) and runs until
it is ended (SIGTERM or SIGINT).
"""
import argparse
import html
import itertools
import os
import signal
import sys
import threading
import time
import warnings
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from aiosmtpd.controller import Controller
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

HOST = "127.0.0.1"
MAX_BODY = 16 * 1024 * 1024
_counter = itertools.count(1)
_lock = threading.Lock()


def next_name(folder, suffix):
    with _lock:
        n = next(_counter)
    return os.path.join(folder, f"{n:04d}{suffix}")


THANKS = """<html><head><title>Thank you</title>
<script>document.title = 'scripts must not run in a report';</script></head>
<body><h1>Thank you!</h1><p>Your program was received and will be reviewed.</p></body></html>
"""


def make_http_handler(received):
    folder = os.path.join(received, "http")
    os.makedirs(folder, exist_ok=True)

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"
        server_version = "DemoSite/1.0"

        def log_message(self, fmt, *args):
            pass

        def save(self, body):
            with open(next_name(folder, ".txt"), "wb") as f:
                f.write(f"{self.command} {self.path}\r\n".encode("latin-1"))
                f.write(str(self.headers).encode("latin-1", "replace"))
                f.write(body)

        def answer(self, code, reason, body=b"", headers=()):
            self.send_response(code, reason)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def route(self, body):
            path = self.path
            if path == "/" or path.startswith("/?"):
                return self.index()
            self.save(body)
            if path.startswith("/silent/"):
                time.sleep(3600)
                return
            if path.startswith("/closed/"):
                return self.answer(500, "Internal Server Error",
                                   b"<html><body>Submissions are closed.</body></html>")
            if path.startswith("/moved/"):
                return self.answer(301, "Moved Permanently", b"",
                                   [("Location", "/elsewhere/")])
            if path.startswith("/see-other/"):
                return self.answer(303, "See Other", b"", [("Location", "/thanks")])
            if path.startswith("/get/"):
                return self.answer(302, "Found", b"", [("Location", "/thanks")])
            if path.startswith(("/submit/", "/all/", "/thanks")):
                return self.answer(200, "OK", THANKS.encode())
            return self.answer(404, "Not Found", b"<html><body>No form here.</body></html>")

        def index(self):
            rows = []
            for root, _, files in os.walk(received):
                for name in sorted(files):
                    rows.append(html.escape(os.path.relpath(os.path.join(root, name), received)))
            page = "<html><body><h1>Received</h1><ul>%s</ul></body></html>" % "".join(
                f"<li>{r}</li>" for r in rows)
            self.answer(200, "OK", page.encode())

        def do_GET(self):
            self.route(b"")

        def do_POST(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(min(max(length, 0), MAX_BODY))
            self.route(body)

    return Handler


class Sink:
    def __init__(self, received):
        self.folder = os.path.join(received, "mail")
        os.makedirs(self.folder, exist_ok=True)

    async def handle_DATA(self, server, session, envelope):
        with open(next_name(self.folder, ".eml"), "wb") as f:
            f.write(f"X-Envelope-From: {envelope.mail_from}\r\n".encode())
            f.write(f"X-Envelope-To: {', '.join(envelope.rcpt_tos)}\r\n".encode())
            data = envelope.original_content or envelope.content
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))
        return "250 Message accepted for delivery"


def start_ftp(received, port):
    import logging
    logging.basicConfig(level=logging.WARNING)
    warnings.filterwarnings("ignore", message="write permissions assigned to anonymous user")
    root = os.path.join(received, "ftp")
    for sub in ("incoming", "uploads"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    auth = DummyAuthorizer()
    auth.add_anonymous(root, perm="elrwMT")
    auth.add_user("demo", "demo", root, perm="elradfmwMT")
    auth.add_user("refuse", "refuse", root, perm="elr")

    class Handler(FTPHandler):
        banner = "Demo download site FTP ready."
        passive_ports = None

        # One line per upload in ftp.log, so that tests count what each site got.
        def on_file_received(self, file):
            note("STOR", file)

        def on_incomplete_file_received(self, file):
            note("PART", file)

    def note(word, file):
        with _lock, open(os.path.join(received, "ftp.log"), "a") as log:
            log.write(f"{word} {os.path.relpath(file, root)}\n")

    Handler.authorizer = auth
    server = ThreadedFTPServer((HOST, port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.socket.getsockname()[1]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--received", required=True, help="folder for what the sites receive")
    ap.add_argument("--http-port", type=int, default=8080)
    ap.add_argument("--ftp-port", type=int, default=2121)
    ap.add_argument("--smtp-port", type=int, default=2525)
    args = ap.parse_args()
    received = os.path.abspath(args.received)
    os.makedirs(received, exist_ok=True)

    httpd = ThreadingHTTPServer((HOST, args.http_port), make_http_handler(received))
    httpd.daemon_threads = True
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    ftp_port = start_ftp(received, args.ftp_port)
    smtp_port = args.smtp_port
    if smtp_port == 0:
        import socket
        with socket.socket() as s:
            s.bind((HOST, 0))
            smtp_port = s.getsockname()[1]
    controller = Controller(Sink(received), hostname=HOST, port=smtp_port)
    controller.start()

    print(f"PORTS {httpd.server_address[1]} {ftp_port} {smtp_port}", flush=True)
    stop = threading.Event()

    # The sites live as long as whoever started them: a test that crashed or a script
    # that was killed leaves no server behind.
    parent = os.getppid()

    def watch_parent():
        while not stop.wait(1):
            if os.getppid() != parent:
                stop.set()

    threading.Thread(target=watch_parent, daemon=True).start()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    stop.wait()
    controller.stop()
    httpd.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
