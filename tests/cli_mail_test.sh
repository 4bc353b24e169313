#!/usr/bin/env bash
# vendrix-cli net mail against aiosmtpd with STARTTLS and AUTH, and the mail keys of
# the program settings.
# usage: cli_mail_test.sh PATH/TO/vendrix-cli PATH/TO/share/demo PATH/TO/tests/peers
set -u
cli=$1
demo=$2
peers=$3
source "$(dirname "${BASH_SOURCE[0]}")/support/peer_test.sh"

py=/usr/bin/python3

# A test certificate authority and a server certificate for 127.0.0.1.
(
  cd "$work" || exit 1
  ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
  openssl req -x509 $ec -keyout ca.key -out ca.pem -days 2 -subj '/CN=Vendrix Test CA'
  openssl req $ec -keyout server.key -out server.csr -subj '/CN=localhost'
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' >ext.cnf
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem \
    -days 2 -extfile ext.cnf
) >/dev/null 2>&1

start_peer smtp_peer.py aiosmtpd --out "$work/out" --cert "$work/server.pem" \
  --key "$work/server.key" --require-starttls --auth "editor:Tr0ub4dor&3"
printf 'Tr0ub4dor&3\n' >"$work/password"
printf 'Dear editor,\n\nversion 2.1 is out.\n.hidden dot line\n' >"$work/body.txt"
head -c 300000 /dev/urandom >"$work/setup.exe"
printf 'Read me\r\nfirst\n' >"$work/readme.txt"

out=$("$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --name "Jo Dev" \
  --to sites@download.test --subject "Neue Version – Grüße" --body "$work/body.txt" \
  --attach "$work/setup.exe" --attach "$work/readme.txt" --security starttls \
  --user editor --password-file "$work/password" --cafile "$work/ca.pem" \
  --transcript "$work/smtp.log" 2>&1)
check "net mail exit" 0 $?
check "net mail lines" "Opening SMTP Connection
Preparing Message
Sending Message
Mail Sent
Closing Connection
Connection Closed" "$out"
eml="$work/out/msg-1.eml"
check "subject" "Neue Version – Grüße" "$("$py" "$peers/smtp_check.py" "$eml" subject)"
check "body" "Dear editor,

version 2.1 is out.
.hidden dot line" "$("$py" "$peers/smtp_check.py" "$eml" body)"
"$py" "$peers/smtp_check.py" "$eml" --attachment 0 >"$work/a0"
"$py" "$peers/smtp_check.py" "$eml" --attachment 1 >"$work/a1"
check "attachment 1" same "$(cmp -s "$work/a0" "$work/setup.exe" && echo same)"
check "attachment 2" same "$(cmp -s "$work/a1" "$work/readme.txt" && echo same)"
check "tls and auth" '"tls": true, "auth": true' "$(grep -o '"tls": true, "auth": true' "$work/out/msg-1.json")"
check "password nowhere" "" "$(grep -l 'Tr0ub4dor' "$work/smtp.log" <(echo "$out"))"
check "transcript AUTH" "AUTH PLAIN ****" "$(grep -a '^AUTH' "$work/smtp.log" | tr -d '\r')"

# Refusals: STARTTLS required of a server that has none; a wrong password.
: >"$work/peer.out"  # so that the port of the first peer is not read again
start_peer smtp_peer.py aiosmtpd --out "$work/out2"
err=$("$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --to a@b.test \
  --subject x --security starttls 2>&1 >/dev/null)
check "no starttls exit" 1 $?
check "no starttls text" "The mail server does not offer STARTTLS, which the security setting requires; nothing was sent" "$err"
check "nothing sent" "" "$(ls "$work/out2" 2>/dev/null)"
"$cli" net mail --server "127.0.0.1:$port" --from a@b.test --to c@d.test --subject x \
  --password secret >/dev/null 2>&1
check "password on the command line refused" 2 $?

# A display name with a comma is one recipient; a list in one --to is split outside
# quotes and brackets.
"$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --subject x --security none \
  --to '"Doe, John" <john@example.org>' --to 'a@x.test; Ann (the editor) <ann@x.test>' >/dev/null
check "quoted comma sent" 0 $?
eml2="$work/out2/msg-1.eml"
check "quoted comma recipients" "john@example.org
a@x.test
ann@x.test" "$("$py" "$peers/smtp_check.py" "$eml2" to)"
check "quoted comma names" "Doe, John

Ann" "$("$py" "$peers/smtp_check.py" "$eml2" to_names)"
err=$("$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --subject x \
  --security none --to '"Doe, John <john@example.org>' 2>&1 >/dev/null)
check "open quote refused" "1 The recipient list \"\"Doe, John <john@example.org>\" is not valid: a quote is not closed" "$? $err"

# Text that cannot go out as given is refused, not cut or changed: a body character
# Windows-1252 lacks, a name over 255 characters, a subject over 255.
printf 'Dear editor,\nthe new icon is \360\237\230\200 here.\n' >"$work/emoji.txt"
err=$("$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --to a@b.test \
  --subject x --security none --body "$work/emoji.txt" 2>&1 >/dev/null)
check "body beyond Windows-1252 refused" "1 The body holds a character that Windows-1252 cannot hold (line 2, column 17); use others." "$? $err"
"$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --to a@b.test --subject x \
  --security none --name "$(printf 'n%.0s' {1..256})" >/dev/null 2>&1
check "name over 255 refused" 1 $?
"$cli" net mail --server "127.0.0.1:$port" --from jo@example.com --to a@b.test \
  --subject "$(printf 's%.0s' {1..256})" --security none >/dev/null 2>&1
check "subject over 255 refused" 1 $?
check "only the first message sent" "msg-1.eml" "$(ls "$work/out2" | grep eml)"

# Settings: the mail keys, the password masked and its file 0600.
cp -r "$demo/." "$work/d"
v() { "$cli" --data-dir "$work/d" "$@"; }
v settings set SMTPSecurity=starttls SMTPUser=editor "SMTPPassword=@$work/password" >/dev/null
check "settings set" 0 $?
check "settings show" "SMTPSecurity=STARTTLS
SMTPUser=editor
SMTPPassword=****" "$(v settings show | grep '^SMTP[SUP]')"
settings=$(find "$work/d" -name settings.dat)
check "settings file mode" 600 "$(stat -c %a "$settings")"
check "password stored" "SMTPPassword=Tr0ub4dor&3" "$(grep -a '^SMTPPassword' "$settings" | tr -d '\r')"
v settings set SMTPPassword=plain >/dev/null 2>&1
check "literal password refused" 2 $?
v settings set SMTPSecurity=sometimes >/dev/null 2>&1
check "unknown security refused" 2 $?

checks_done
