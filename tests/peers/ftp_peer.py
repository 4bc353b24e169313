#!/usr/bin/python3
"""An FTP server for the tests (pyftpdlib) on 127.0.0.1, a free port printed as
"PORT n". Options: a user with a password and a home folder, a multi-line greeting,
a refused STOR (of every file or of names ending so), a SIZE that answers one byte less than the file holds, and explicit FTPS
with a given certificate."""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", default="demo")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--anonymous", action="store_true")
    ap.add_argument("--banner", default="Vendrix test server ready.")
    ap.add_argument("--refuse-stor", action="store_true")
    ap.add_argument("--refuse-stor-of", help="refuse the STOR of names ending so")
    ap.add_argument("--short-size", action="store_true")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--host", default="127.0.0.1")
    args = ap.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root, perm="elradfmwMT")

    base = FTPHandler
    if args.cert:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        base = TLS_FTPHandler

        class DataHandler(TLS_DTPHandler):
            # A client may begin the data connection's TLS handshake before it sends
            # STOR (curl does). pyftpdlib closes a data connection that has something
            # to read before a transfer starts; let the handshake go on instead.
            def readable(self):
                if self._ssl_accepting:
                    return True
                return super().readable()

    class Handler(base):
        def ftp_STOR(self, file, mode="w"):
            if args.refuse_stor or (args.refuse_stor_of and file.endswith(args.refuse_stor_of)):
                self.respond("550 Uploads are not allowed here.")
                return
            return super().ftp_STOR(file, mode)

        def ftp_SIZE(self, path):
            if args.short_size and self._current_type != "a":
                self.respond("213 %d" % (self.fs.getsize(path) - 1))
                return
            return super().ftp_SIZE(path)

    Handler.authorizer = authorizer
    if args.cert:
        Handler.dtp_handler = DataHandler
    Handler.auth_failed_timeout = 0.1
    lines = args.banner.split("\\n")
    if len(lines) > 1:
        # pyftpdlib sends a banner longer than 75 characters as "220-" + banner and a
        # final "220 ": the lines in between make a multi-line greeting.
        Handler.banner = "\r\n".join(lines).ljust(80)
    else:
        Handler.banner = args.banner
    Handler.permit_foreign_addresses = False
    if args.cert:
        Handler.certfile = args.cert
        Handler.keyfile = args.key
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    server = FTPServer((args.host, 0), Handler)
    server.max_cons = 32
    print("PORT", server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    import logging
    logging.basicConfig(level=logging.CRITICAL)
    sys.exit(main())
