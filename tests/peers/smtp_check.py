#!/usr/bin/python3
"""Reads a received message with Python's email package and prints what a test
asserts: by default as JSON (the head's addresses and subject, decoded; the text
body; each attachment's file name, content type and bytes in hex);
  smtp_check.py FILE FIELD      prints one field of that JSON (lists one item a line);
  smtp_check.py FILE --attachment N   writes attachment N's decoded bytes to stdout."""
import email
import email.policy
import json
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    out = {
        "subject": str(msg.get("Subject", "")),
        "from": str(msg.get("From", "")),
        "to": [str(a.addr_spec) for a in msg["To"].addresses] if msg["To"] else [],
        "to_names": [str(a.display_name) for a in msg["To"].addresses] if msg["To"] else [],
        "cc": [str(a.addr_spec) for a in msg["Cc"].addresses] if msg["Cc"] else [],
        "bcc_in_head": msg.get("Bcc") is not None,
        "from_name": msg["From"].addresses[0].display_name if msg["From"] else "",
        "date": str(msg.get("Date", "")),
        "date_ok": msg["Date"] is not None and msg["Date"].datetime is not None,
        "message_id": str(msg.get("Message-ID", "")),
        "content_type": msg.get_content_type(),
        "defects": [type(d).__name__ for d in msg.defects],
        "body": None,
        "attachments": [],
    }
    body = msg.get_body(preferencelist=("plain",)) if msg.is_multipart() or \
        msg.get_content_maintype() == "text" else None
    if body is not None and not body.is_attachment():
        out["body"] = body.get_content()
        out["body_charset"] = body.get_content_charset()
        out["body_cte"] = body.get("Content-Transfer-Encoding", "")
    for part in (msg.iter_attachments() if msg.is_multipart() else
                 ([msg] if msg.is_attachment() else [])):
        data = part.get_payload(decode=True)
        out["attachments"].append({"filename": part.get_filename(),
                                   "type": part.get_content_type(),
                                   "hex": data.hex()})
        out["defects"] += [type(d).__name__ for d in part.defects]
    if len(sys.argv) > 3 and sys.argv[2] == "--attachment":
        sys.stdout.buffer.write(bytes.fromhex(out["attachments"][int(sys.argv[3])]["hex"]))
    elif len(sys.argv) > 2:
        value = out[sys.argv[2]]
        if isinstance(value, list):
            value = "\n".join(v if isinstance(v, str) else v.get("filename") or ""
                              for v in value)
        sys.stdout.write(str(value))
    else:
        json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
