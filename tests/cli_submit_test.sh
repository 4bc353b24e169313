#!/usr/bin/env bash
# vendrix-cli submit and reports against the demo download sites, on a copy of the
# demo data tree.
# usage: cli_submit_test.sh PATH/TO/vendrix-cli PATH/TO/share
set -u
cli=$1
share=$2
work=$(mktemp -d)
source "$share/demo-sites/demo-sites.sh"
trap 'demo_sites_stop; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

d="$work/d"
cp -r "$share/demo/." "$d/"
v() { "$cli" --data-dir "$d" "$@"; }
row() { v table show --app "Tidy Notes" | grep "^$1	" | cut -f3,10,11; }
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" GIFPATH="$d/dist/icon.gif"
demo_sites_start "$work/received" || exit 1
demo_sites_point "$d" "$cli"
today=$(v expand '%CURDATE%' 2>/dev/null)

# Refused: no confirmation on a pipe without --yes, and a site the table does not hold.
echo y | v submit --app "Tidy Notes" >"$work/out" 2>"$work/err"
check "no terminal to confirm refuses" "2:Total Sites: 5:no terminal to confirm; add --yes" \
  "$?:$(grep -o 'Total Sites: [0-9]*' "$work/out"):$(cat "$work/err")"
v submit --app "Tidy Notes" --only "Nowhere" --yes >/dev/null 2>&1
check "unknown --only refused" 1 $?
v site set "Demo Form Get" SITE_TYPE=1
err=$(v submit --app "Tidy Notes" --only "Demo Form Get" --yes 2>&1 >/dev/null)
check "--only a site that does not fit says so" "1:does not take" "$?:$(echo "$err" | grep -o 'does not take')"
v site set "Demo Form Get" SITE_TYPE=2
# --parallel takes 1 to 16 sites at once; anything else is a usage error before a run.
for n in 0 17 -1 4x 0x4 ""; do
  err=$(v submit --app "Tidy Notes" --yes --parallel "$n" 2>&1 >/dev/null)
  check "--parallel '$n' refused" "2:--parallel takes a whole number from 1 to 16" \
    "$?:$(echo "$err" | grep -o -- '--parallel takes.*16')"
done
check "nothing sent when refused" "" "$(ls "$work/received/http" 2>/dev/null)"
check "no report when refused" "" "$(ls "$d/reports" | grep -v '^\.keep$')"

# --only: one row, its P marks untouched elsewhere.
v table set --app "Tidy Notes" --site "Demo Form Get" post=N
v submit --app "Tidy Notes" --only "Demo Form Get" --yes >"$work/out" 2>"$work/err"
check "only one site succeeds" 0 $?
check "only: row marked" "Update	$today	N" "$(row "Demo Form Get")"
check "only: other rows untouched" "New	Unknown	Y" "$(row "Demo All Three")"
v table set --app "Tidy Notes" --site "Demo Form Get" post=Y submit=New lastpost=Unknown

# The whole demo run: the refusing site fails, the others are marked. (--again: the
# --only run above already sent this version to one of them.)
v submit --app "Tidy Notes" --yes --again >"$work/out" 2>"$work/err"
rc=$?
check "some failed" 3 $rc
check "log line printed" "Posting Error - 151: 500 Internal Server Error(Demo All Three)" \
  "$(grep 'Posting Error' "$work/out")"
check "failed row unchanged" "New	Unknown	Y" "$(row "Demo All Three")"
check "accepted row marked" "Update	$today	Y" "$(row "Demo Form Post")"
check "ftp row marked" "Update	$today	Y" "$(row "Demo FTP Upload")"
main=$(sed -n 's/^Main report: //p' "$work/err")
check "main report exists" yes "$([ -f "$main" ] && echo yes)"
links=$(/usr/bin/python3 - "$main" <<'PY'
import sys, urllib.parse
from html.parser import HTMLParser
class P(HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs = []
    def handle_starttag(self, tag, attrs):
        if tag == "a":
            self.hrefs.append(dict(attrs)["href"])
p = P()
p.feed(open(sys.argv[1], encoding="cp1252").read())
import os
here = os.path.dirname(sys.argv[1])
print(sum(1 for h in p.hrefs if ":" not in h and
          os.path.exists(os.path.join(here, urllib.parse.unquote(h)))), len(p.hrefs))
PY
)
check "every link of the main report leads to a page" "8 8" "$links"
check "uploads received" "tidynote.zip" "$(ls "$work/received/ftp/incoming")"
check "no password on the terminal" "" "$(grep -h 'PASS [^*]' "$work/out" "$work/err")"

# The reports commands.
check "reports list" "Tidy Notes
  2" "$(v reports list | sed 's/^  [0-9-]*$/  RUN/' | uniq -c | awk '{print ($2 == "RUN") ? "  " $1 : $2 " " $3}')"
shown=$(v reports show --app "Tidy Notes")
check "reports show path" "$main" "$(echo "$shown" | head -n1)"
counts=$(sed -n 's/^Succeeded: \([0-9]*\)  Failed: \([0-9]*\)$/Successful: \1|Failed: \2/p' "$work/err")
check "reports show figures" "Application: Tidy Notes|$counts" \
  "$(echo "$shown" | grep -E '^(Application|Successful|Failed):' | tr '\n' '|' | sed 's/|$//')"
first=$(v reports list --app "Tidy Notes" | head -n1)
v reports delete --app "Tidy Notes" --run "$first"
check "reports delete run" 1 "$(v reports list --app "Tidy Notes" | wc -l)"
v reports delete --app "Tidy Notes" --run nope 2>/dev/null
check "unknown run refused" 1 $?
err=$(v reports delete --app Unknown 2>&1)
check "unknown application: no reports" "1:No Reports Found" "$?:$err"
mkdir -p "$work/outside/sub" && echo keep >"$work/outside/sub/keep.txt"
ln -s "$work/outside" "$d/reports/Linked"
v reports delete --app Linked 2>/dev/null
check "a linked report folder is refused" "1:keep" "$?:$(cat "$work/outside/sub/keep.txt")"
rm "$d/reports/Linked"
mkdir -p "$d/reports/Tidy Notes/2000-01-01-00-00-00-01"
err=$(v reports show --app "Tidy Notes" --run 2000-01-01-00-00-00-01 2>&1)
check "a run without a main report" "1:The run 2000-01-01-00-00-00-01 of Tidy Notes has no main report." "$?:$err"
rmdir "$d/reports/Tidy Notes/2000-01-01-00-00-00-01"

# Ctrl-C cancels the run at once; the reports are still written.
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:$DEMO_HTTP_PORT/silent/x"
"$cli" --data-dir "$d" submit --app "Tidy Notes" --only "Demo Form Post" --yes --again \
  >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  grep -q '^POST /silent/' "$work"/received/http/* 2>/dev/null && break
  sleep 0.1
done
# One writer per data tree: while the run goes on, a second run and every writing
# command are refused at once, naming the run; reading commands still work.
before=$(v table show --app "Tidy Notes")
v submit --app "Tidy Notes" --yes >"$work/out2" 2>"$work/err2"
rc=$?
check "second run refused" "1:The data tree is in use by a submission run (process $pid), started at" \
  "$rc:$(grep -o '^The data tree is in use by a submission run (process [0-9]*), started at' "$work/err2")"
# At once: the refusal came while the first run still waits on its silent server.
check "second run refused at once" yes "$(kill -0 $pid 2>/dev/null && echo yes)"
v table set --app "Tidy Notes" --site "Demo Form Get" post=N 2>"$work/err2"
check "table set refused during a run" "1:a submission run" "$?:$(grep -o 'a submission run' "$work/err2")"
v reports delete --app "Tidy Notes" 2>/dev/null
check "reports delete refused during a run" 1 $?
check "reading works during a run" "$before" "$(v table show --app "Tidy Notes")"
kill -INT $pid
wait $pid
check "Ctrl-C cancels" 130 $?
v table set --app "Tidy Notes" --site "Demo Form Get" post=Y
check "writing works once the run ended" 0 $?
main=$(sed -n 's/^Main report: //p' "$work/err")
check "cancelled run has its report" yes "$([ -f "$main" ] && echo yes)"

v reports delete --app "Tidy Notes"
check "reports delete all" 1 "$(v reports list --app "Tidy Notes" >/dev/null 2>&1; echo $?)"

# The progress lines a run drew on a terminal (FILE), one per line.
drawn() {
  /usr/bin/python3 - "$1" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
for seg in data.split(b"\x1b[K")[1:]:
    d = seg.split(b"\r")[0].split(b"\n")[0]
    if re.match(rb"[0-9]+ of [0-9]+, ", d):
        print(d.decode("utf-8", "replace"))
PY
}

# On a terminal of 40 columns the progress line fits: at most 39 characters, whole
# UTF-8 characters only.
script -qec "stty cols 40; '$cli' --data-dir '$d' submit --app 'Tidy Notes' --only 'Demo Form Get' --yes --again" \
  /dev/null >"$work/tty" 2>&1
check "progress line fits the terminal" ok "$(/usr/bin/python3 - "$work/tty" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
drawn = [seg.split(b"\r")[0].split(b"\n")[0] for seg in data.split(b"\x1b[K")[1:]]
drawn = [d for d in drawn if re.match(rb"[0-9]+ of [0-9]+, ", d)]
try:
    ok = drawn and all(len(d.decode("utf-8")) <= 39 for d in drawn)
except UnicodeDecodeError:
    ok = False
print("ok" if ok else "bad: %r" % drawn[:3])
PY
)"

# On a wide terminal the line says how many sites ended of how many and which site
# has waited longest, with its step.
script -qec "stty cols 200; '$cli' --data-dir '$d' submit --app 'Tidy Notes' --only 'Demo Form Get' --only 'Demo Mail' --yes --again --parallel 1" \
  /dev/null >"$work/tty" 2>&1
check "--parallel 1 runs" "" "$(grep -o 'usage\|Failed: [1-9]' "$work/tty")"
check "progress: the first site" "0 of 2, 1 in flight: Demo Form Get - HTTP: HTTP Posting: Demo Form Get" \
  "$(drawn "$work/tty" | grep -m1 'Demo Form Get - HTTP: HTTP Posting')"
check "progress: the second site after the first ended" "1 of 2, 1 in flight: Demo Mail" \
  "$(drawn "$work/tty" | grep -m1 -o '^1 of 2, 1 in flight: Demo Mail')"

# Two slow form sites (the server answers after 2 s), each on a loopback address of its
# own, with --parallel 2: both are in flight before either ends, and each gets its form
# once.
mkdir -p "$work/slow"
/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/peers/flaky_http_peer.py" --folder "$work/slow" \
  --delay 2 --also 127.0.0.2 >"$work/slow/ports" &
slow=$!
trap 'kill $slow 2>/dev/null; demo_sites_stop; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ "$(wc -l <"$work/slow/ports")" -ge 2 ] && break; sleep 0.1; done
for s in "Demo Form Get:127.0.0.1" "Demo Form Post:127.0.0.2"; do
  url="http://${s#*:}:$(grep "^PORT ${s#*:} " "$work/slow/ports" | cut -d' ' -f3)/form"
  v site set "${s%%:*}" HTTP_NEW_SCRIPT_URL="$url" HTTP_UPDATE_SCRIPT_URL="$url"
done
script -qec "stty cols 200; '$cli' --data-dir '$d' submit --app 'Tidy Notes' --only 'Demo Form Get' --only 'Demo Form Post' --yes --again --parallel 2" \
  /dev/null >"$work/tty" 2>&1
check "parallel run succeeds" "Succeeded: 2  Failed: 0" "$(grep -o 'Succeeded: .*' "$work/tty" | tr -d '\r')"
check "progress: two sites in flight" "0 of 2, 2 in flight: Demo Form" \
  "$(drawn "$work/tty" | grep -m1 -o '^0 of 2, 2 in flight: Demo Form')"
check "each slow site posted once" 2 "$(wc -l <"$work/slow/connections.log")"
v submit --app "Tidy Notes" --only "Demo Form Get" --only "Demo Form Post" --yes --again \
  --parallel 2 --json >"$work/json" 2>/dev/null
check "--json: two starts, two in flight at the second" "2 2" \
  "$(/usr/bin/python3 -c '
import json, sys
n = [e["in_flight"] for e in map(json.loads, open(sys.argv[1])) if e["event"] == "start"]
print(len(n), n[-1] if n else 0)' "$work/json")"

checks_done
