#!/usr/bin/env bash
# vendrix-cli net against hostile or unusual peers: exit codes, files left behind,
# commands the server received, and the password kept out of the process list.
# usage: cli_net_test.sh PATH/TO/vendrix-cli PATH/TO/tests/peers
set -u
cli=$1
peers=$2
source "$(dirname "${BASH_SOURCE[0]}")/support/peer_test.sh"

# A scripted FTP peer in its own folder: scripted NAME JSON (sets $port and $dir).
scripted() {
  dir="$work/$1"
  mkdir -p "$dir"
  printf '%s' "$2" >"$dir/script.json"
  start_peer line_peer.py --script "$dir/script.json"
}
logon='"USER": "331 Password", "PASS": "230 OK", "TYPE": "200 OK", "EPSV": "500 No",
  "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})"'
printf 'payload' >"$work/up.txt"
up() { "$cli" net ftp-upload --host "127.0.0.1:$port" --user demo --local "$work/up.txt" --passive "$@"; }

# The password from a file or standard input; never both ways at once.
mkdir -p "$work/root"
start_peer ftp_peer.py --root "$work/root"
printf 'secret\n' >"$work/pw.txt"
up --password-file "$work/pw.txt" --remote a.txt >/dev/null
check "password file" "0:payload" "$?:$(cat "$work/root/a.txt")"
printf 'secret\r\n' | up --password-file - --remote b.txt >/dev/null
check "password on stdin" "0:payload" "$?:$(cat "$work/root/b.txt")"
up --password-file "$work/pw.txt" --password secret --remote c.txt >/dev/null 2>&1
check "both password options" 2 $?
up --password-file "$work/none.txt" --remote c.txt >/dev/null 2>&1
check "missing password file" 1 $?

# A password on the command line is blanked in the process's own arguments.
scripted blank '{"USER": "331 Password", "PASS": "SILENT"}'
"$cli" net ftp-upload --host "127.0.0.1:$port" --user demo --password topsecret \
  --local "$work/up.txt" --remote x.txt --timeout 20 >/dev/null 2>&1 &
client=$!
pids+=($client)
for _ in $(seq 100); do
  grep -q '^PASS' "$dir/commands.log" 2>/dev/null && break
  sleep 0.1
done
args=$(tr '\0' ' ' </proc/$client/cmdline)
check "password blanked" "running:0" "$(echo "$args" | grep -c -- --remote | sed 's/1/running/'):$(echo "$args" | grep -c topsecret)"
# Whatever the command, a closed pipe or the file size limit cannot end the process:
# SIGPIPE (13) and SIGXFSZ (25) are ignored.
ignored=$(awk '/^SigIgn:/ {print $2}' /proc/$client/status)
check "signals ignored" 1001000 "$(printf '%x' $((0x$ignored & 0x1001000)))"
kill $client 2>/dev/null

# An injected command never reaches the server.
scripted inject "{$logon, \"DELE\": \"250 Deleted\"}"
err=$(up --password secret --remote $'x.txt\r\nDELE victim.txt' 2>&1 >/dev/null); rc=$?
check "injection refused" "1:162: RemoteFile holds a CR, LF or NUL character." "$rc:$err"
check "nothing sent" "" "$(cat "$dir/commands.log" 2>/dev/null)"

# A server that claims "226" before taking any data.
scripted early "{$logon, \"STOR\": \"226 Done\"}"
up --password secret --remote x.txt >/dev/null 2>&1
check "226 at once fails" 1 $?

# The upload decides: a server that closes after "226", or never answers QUIT.
scripted closes "{$logon, \"STOR\": {\"lines\": [\"150 Go\", \"226 Done\"], \"then\": \"close\"}}"
out=$(up --password secret --remote x.txt); rc=$?
check "close after 226" "0:payload" "$rc:$(cat "$dir/data.bin")"
# Noted when the size check after the upload (or else the log-off) finds it closed.
check "close after 226 noted" 1 \
  "$(echo "$out" | grep -cE '^INFO: (Log-off failed|The size of x.txt could not be checked)')"
scripted mute "{$logon, \"STOR\": \"150 Go\n226 Done\", \"QUIT\": \"SILENT\"}"
up --password secret --remote x.txt --timeout 1 >/dev/null
check "unanswered QUIT" "0:payload" "$?:$(cat "$dir/data.bin")"

# net http: a file that cannot be written fails the command and leaves nothing.
printf '%s' '{"/ok": {"raw": "HTTP/1.0 200 OK\r\n\r\nhello"}, "/close": {"raw": ""},
  "/big": {"head": "HTTP/1.0 200 OK", "body_bytes": 1048576}}' >"$work/routes.json"
start_peer http_peer.py --routes "$work/routes.json"
"$cli" net http get "http://127.0.0.1:$port/ok" --out "$work/no/such/folder/x.txt" >/dev/null 2>&1
check "out into a missing folder" 1 $?
(ulimit -f 64; "$cli" net http get "http://127.0.0.1:$port/big" --out "$work/big.bin" >/dev/null 2>&1)
check "file size limit" "1:0" "$?:$(ls "$work" | grep -c big.bin)"
# A server that closes without a reply has not taken the request.
err=$("$cli" net http get "http://127.0.0.1:$port/close" 2>&1 >/dev/null)
check "closed without a reply" "1:The server closed the connection without an answer" "$?:$err"

checks_done
