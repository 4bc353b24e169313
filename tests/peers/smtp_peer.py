#!/usr/bin/python3
"""Mail peers for the tests, on loopback with a free port; prints "PORT n".

  smtp_peer.py aiosmtpd --out DIR [--cert PEM --key KEY] [--implicit-tls]
               [--require-starttls] [--auth USER:PASSWORD] [--auth-in-clear]
      A real SMTP server (Debian's aiosmtpd). Every accepted message is written to
      DIR/msg-N.eml (the content as received, transparency undone) and DIR/msg-N.json
      (envelope sender and recipients, whether TLS and AUTH were in use).

  smtp_peer.py script --script JSON [--host ADDRESS]
      A scripted line peer for what no real server does. The JSON object holds:
        "greeting": reply text ("\n" between lines), or "SILENT" / "CLOSE";
        "replies": {VERB: reply or [reply, reply, ...]}: a list is used in order,
                   its last entry repeating; VERB "." is the reply to the content;
        "delay": {VERB: seconds before the reply};
        "data_rate": bytes a second at which the content is read (8 KiB at a time,
                     through a small receive buffer), for a slow but steady server;
        "data_stall_after": bytes of the content after which nothing more is read;
        "tls": {"cert": PEM, "key": KEY} for STARTTLS replies that start TLS.
      Replies may be "SILENT" (no answer), "CLOSE" (close the connection), "ENDLESS"
      (250- lines without end), "TRICKLE" (a 250- line every 0.2 s without end), or "TLS:<reply>[\n<injected>]" (sends the reply and
      the injected lines in one write, or in two "inject_delay" seconds apart, then
      TLS as the server).
      Commands go to commands.log beside the script; each content to data-N.eml.
      Unknown verbs get "250 OK".
"""
import argparse
import asyncio
import json
import logging
import os
import socket
import ssl
import sys
import threading
import time
import warnings


def tls_context(cert, key):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    return ctx


def run_aiosmtpd(args):
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL + 1)
    from aiosmtpd.smtp import SMTP, AuthResult

    out = args.out
    os.makedirs(out, exist_ok=True)
    counter = [0]

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            counter[0] += 1
            n = counter[0]
            with open(os.path.join(out, f"msg-{n}.eml"), "wb") as f:
                f.write(envelope.content)
            with open(os.path.join(out, f"msg-{n}.json"), "w") as f:
                json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                           "tls": args.implicit_tls or session.ssl is not None,
                           "auth": bool(session.authenticated)}, f)
            return "250 OK queued as %d" % n

    def authenticator(server, session, envelope, mechanism, auth_data):
        user, password = args.auth.split(":", 1)
        ok = (auth_data.login.decode() == user and auth_data.password.decode() == password)
        return AuthResult(success=ok, handled=False)

    kwargs = {"data_size_limit": None, "hostname": "peer.test"}
    if args.cert and not args.implicit_tls:
        kwargs["tls_context"] = tls_context(args.cert, args.key)
        kwargs["require_starttls"] = args.require_starttls
    if args.auth:
        kwargs["authenticator"] = authenticator
        kwargs["auth_required"] = True
        kwargs["auth_require_tls"] = not args.auth_in_clear

    async def main():
        loop = asyncio.get_running_loop()
        implicit = tls_context(args.cert, args.key) if args.implicit_tls else None
        server = await loop.create_server(lambda: SMTP(Handler(), loop=loop, **kwargs),
                                          "127.0.0.1", 0, ssl=implicit)
        print("PORT", server.sockets[0].getsockname()[1], flush=True)
        await server.serve_forever()

    asyncio.run(main())


def run_script(args):
    with open(args.script) as f:
        script = json.load(f)
    folder = os.path.dirname(os.path.abspath(args.script))
    family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    rate = script.get("data_rate")
    stall_after = script.get("data_stall_after")
    if rate or stall_after is not None:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8192)
    listener.bind((args.host, 0))
    listener.listen(4)
    print("PORT", listener.getsockname()[1], flush=True)
    replies = script.get("replies", {})
    delays = script.get("delay", {})
    used = {}
    log = open(os.path.join(folder, "commands.log"), "a")
    contents = [0]

    def next_reply(verb):
        r = replies.get(verb, "250 OK")
        if isinstance(r, list):
            i = used.get(verb, 0)
            used[verb] = i + 1
            return r[min(i, len(r) - 1)]
        return r

    def serve(conn):
        sock = conn
        buf = b""

        def send(text):
            sock.sendall(b"".join(l.encode("latin-1") + b"\r\n" for l in text.split("\n")))

        content_read = 0

        def readline(slow=False):
            nonlocal buf, content_read
            while b"\n" not in buf:
                if slow and stall_after is not None and content_read >= stall_after:
                    time.sleep(3600)
                chunk = sock.recv(8192 if slow and (rate or stall_after) else 65536)
                if not chunk:
                    return None
                buf += chunk
                if slow:
                    content_read += len(chunk)
                if slow and rate:
                    time.sleep(len(chunk) / rate)
            line, buf = buf.split(b"\n", 1)
            return line.rstrip(b"\r")

        greeting = script.get("greeting", "220 peer.test ESMTP")
        if greeting == "CLOSE":
            return
        if greeting != "SILENT":
            send(greeting)
        while True:
            line = readline()
            if line is None:
                return
            command = line.decode("latin-1")
            log.write(command + "\n")
            log.flush()
            verb = command.split(" ")[0].upper()
            if verb.startswith("MAIL") or verb.startswith("RCPT"):
                verb = verb[:4]
            reply = next_reply(verb)
            if verb in delays:
                time.sleep(delays[verb])
            if reply == "SILENT":
                continue
            if reply == "CLOSE":
                return
            if reply == "TRICKLE":
                try:
                    while True:
                        sock.sendall(b"250-still thinking\r\n")
                        time.sleep(0.2)
                except OSError:
                    return
            if reply == "ENDLESS":
                try:
                    while True:
                        sock.sendall(b"250-" + b"x" * 60 + b"\r\n")
                except OSError:
                    return
            if reply.startswith("TLS:"):
                lines = [l.encode("latin-1") + b"\r\n" for l in reply[4:].split("\n")]
                if "inject_delay" in script:
                    # The injected lines in a packet of their own, a moment later.
                    sock.sendall(lines[0])
                    time.sleep(script["inject_delay"])
                    lines = lines[1:]
                sock.sendall(b"".join(lines))
                ctx = tls_context(script["tls"]["cert"], script["tls"]["key"])
                try:
                    sock = ctx.wrap_socket(sock, server_side=True)
                except (ssl.SSLError, OSError) as e:
                    log.write("TLS failed: %s\n" % e)
                    log.flush()
                    return
                buf = b""
                continue
            send(reply)
            if verb == "DATA" and reply.startswith("3"):
                content = []
                while True:
                    l = readline(slow=True)
                    if l is None:
                        return
                    if l == b".":
                        break
                    content.append(l[1:] if l.startswith(b".") else l)
                contents[0] += 1
                with open(os.path.join(folder, "data-%d.eml" % contents[0]), "wb") as f:
                    f.write(b"".join(c + b"\r\n" for c in content))
                if "." in delays:
                    time.sleep(delays["."])
                r = next_reply(".")
                if r == "CLOSE":
                    return
                if r != "SILENT":
                    send(r)
            if verb == "QUIT":
                return

    while True:
        conn, _ = listener.accept()

        def run(c=conn):
            try:
                serve(c)
            except OSError:
                pass
            finally:
                try:
                    c.close()
                except OSError:
                    pass

        threading.Thread(target=run, daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    sub = ap.add_subparsers(dest="mode", required=True)
    a = sub.add_parser("aiosmtpd")
    a.add_argument("--out", required=True)
    a.add_argument("--cert")
    a.add_argument("--key")
    a.add_argument("--implicit-tls", action="store_true")
    a.add_argument("--require-starttls", action="store_true")
    a.add_argument("--auth")
    a.add_argument("--auth-in-clear", action="store_true")
    s = sub.add_parser("script")
    s.add_argument("--script", required=True)
    s.add_argument("--host", default="127.0.0.1")
    args = ap.parse_args()
    if args.mode == "aiosmtpd":
        run_aiosmtpd(args)
    else:
        run_script(args)


if __name__ == "__main__":
    sys.exit(main())
