#!/usr/bin/python3
"""Reads a composed message as a strict receiver would and prints every rule it breaks,
one a line, or "ok":
  - a defect that Python's email package (policy default) finds in the message, any
    part, or any header;
  - a line over 998 octets, or a line holding an encoded word over 76 characters;
  - a quoted-printable part with a line over 76 characters;
  - a Content-Transfer-Encoding that is no MIME token, or a "7bit" part holding a NUL,
    an 8-bit byte or a line over 998 octets;
  - a message/rfc822 part in any encoding but 7bit, 8bit or binary.
usage: mail_lint.py FILE
       mail_lint.py FILE --header NAME   prints that header's lines unfolded and decoded
                                         as RFC 2047 reads them"""
import email
import email.policy
from email.header import decode_header, make_header
import re
import sys

ENCODINGS = {"7bit", "8bit", "binary", "base64", "quoted-printable"}


def lint(raw):
    problems = []
    for n, line in enumerate(raw.split(b"\r\n"), 1):
        if len(line) > 998:
            problems.append("line %d has %d octets" % (n, len(line)))
        if b"=?" in line and re.search(rb"=\?[^?]+\?[bBqQ]\?", line) and len(line) > 76:
            problems.append("line %d holds an encoded word and has %d characters" % (n, len(line)))
    if b"\n" in raw.replace(b"\r\n", b""):
        problems.append("a bare LF")
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    for part in msg.walk():
        for d in part.defects:
            problems.append("defect %s in %s" % (type(d).__name__, part.get_content_type()))
        for name, value in part.items():
            for d in getattr(value, "defects", ()):
                problems.append("defect %s in header %s" % (type(d).__name__, name))
        cte = part.get("Content-Transfer-Encoding")
        if cte is None:
            continue
        token = str(cte).strip().lower()
        if token not in ENCODINGS:
            problems.append("Content-Transfer-Encoding %r is no MIME token" % str(cte))
        if part.get_content_maintype() == "message" and token not in {"7bit", "8bit", "binary"}:
            problems.append("a message part encoded %s" % token)
        if part.is_multipart() or part.get_content_maintype() == "message":
            continue
        body = part.get_payload(decode=False)
        data = body.encode("ascii", "surrogateescape") if isinstance(body, str) else b""
        if token == "quoted-printable":
            for line in data.split(b"\n"):
                if len(line.rstrip(b"\r")) > 76:
                    problems.append("a quoted-printable line of %d" % len(line.rstrip(b"\r")))
        if token == "7bit":
            if re.search(rb"[\x00\x80-\xff]", data):
                problems.append("a 7bit part holds a NUL or 8-bit byte")
    return problems


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    if len(sys.argv) > 3 and sys.argv[2] == "--header":
        msg = email.message_from_bytes(raw, policy=email.policy.compat32)
        value = msg.get(sys.argv[3], "").replace("\r\n", "").replace("\n", "")
        print(str(make_header(decode_header(value))))
        return
    problems = lint(raw)
    print("\n".join(problems) if problems else "ok")


if __name__ == "__main__":
    main()
