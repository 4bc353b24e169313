#!/usr/bin/env bash
# vendrix-cli precheck on a copy of the demo data tree, offline and against the demo
# download sites.
# usage: cli_precheck_test.sh PATH/TO/vendrix-cli PATH/TO/share
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
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" GIFPATH="$d/dist/icon.gif"
demo_sites_start "$work/received" || exit 1
demo_sites_point "$d" "$cli"

# The demo as it is made ready to run: no error (warnings would be allowed).
v precheck --app "Tidy Notes" --offline >"$work/out" 2>"$work/err"
check "demo tree passes" "0:0 errors" "$?:$(grep -o '^[0-9]* errors*' "$work/err")"
# A relative program path is read from the data tree, wherever the command runs.
v app set "Tidy Notes" PATH="dist/tidynote.exe"
(cd / && v precheck --app "Tidy Notes" --offline >"$work/out" 2>"$work/err")
check "relative program path" "0:0 errors" "$?:$(grep -o '^[0-9]* errors*' "$work/err")"

# A program file that is gone: exit 3, PATH named.
v app set "Tidy Notes" PATH="$d/dist/gone.exe"
v precheck --app "Tidy Notes" --offline >"$work/out" 2>/dev/null
check "missing program exit" 3 $?
check "missing program named" "error	application	PATH" "$(grep -o '^error	application	PATH' "$work/out")"

# JSON: one array of findings that Python reads; nothing is sent anywhere.
v precheck --app "Tidy Notes" --offline --json >"$work/json" 2>/dev/null
check "json exit" 3 $?
check "json parses" "PATH error" "$(/usr/bin/python3 -c '
import json, sys
f = json.load(open(sys.argv[1]))
print(" ".join(x["field"] + " " + x["severity"] for x in f if x["field"] == "PATH"))' "$work/json")"
check "nothing sent" "" "$(find "$work/received" -type f ! -name '.server*')"

# Online: the demo sites' FTP and mail servers answer; the profile's example.com-style
# addresses do not resolve, so they are findings, and --only limits the sites.
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe"
v precheck --app "Tidy Notes" --only "Demo FTP Upload" >"$work/out" 2>/dev/null
rc=$?
check "online finds the unreachable profile addresses" "3:yes" \
  "$rc:$(grep -q '^error	application	APPURL' "$work/out" && echo yes)"
check "online: the FTP server answers" "" "$(grep 'FTP_SERVER' "$work/out")"
v precheck --app "Tidy Notes" --only Nowhere >/dev/null 2>&1
check "unknown --only refused" 1 $?

# What each site already got: a run, the same run again, --again, a new version.
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe"
received_count() { find "$work/received" -type f ! -name '.server*' | wc -l; }
v submit --app "Tidy Notes" --yes >"$work/run1" 2>&1
check "first run: some site fails by design" 3 $?
first=$(received_count)
v history --app "Tidy Notes" >"$work/hist"
check "history lists the four sites that succeeded" 4 "$(wc -l <"$work/hist")"
check "history line" "Demo Form Post	2.1" "$(grep '^Demo Form Post' "$work/hist" | cut -f1,2)"
v submit --app "Tidy Notes" --yes --json >"$work/run2.json" 2>/dev/null
check "second run: only the failed site is sent again" 3 $?
check "second run: every line is JSON; four sites not sent; summary counts" "4 0 1 4" \
  "$(/usr/bin/python3 -c '
import json, sys
events = [json.loads(line) for line in open(sys.argv[1])]
notsent = sum(1 for e in events if e["event"] == "site" and e["outcome"] == "not-sent")
s = events[-1]
print(notsent, s["succeeded"], s["failed"], s["not_sent"])' "$work/run2.json")"
check "second run says why" "already sent version 2.1" \
  "$(/usr/bin/python3 -c '
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["event"] == "site" and e["site"] == "Demo Mail":
        print(e["reason"][:24])' "$work/run2.json")"
# The run's own folder, from its summary (folder names do not sort by time).
run_json=$(dirname "$(/usr/bin/python3 -c '
import json, sys
print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["report"])' "$work/run2.json")")/run.json
check "run.json in the run folder agrees with the main report" "1 0" \
  "$(/usr/bin/python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
print(r["failed"], r["succeeded"])' "$run_json")"
v submit --app "Tidy Notes" --yes --again >/dev/null 2>&1
check "--again sends every site" "3:yes" "$?:$([ "$(received_count)" -gt "$first" ] && echo yes)"
v app set "Tidy Notes" VERSION=2.2
v submit --app "Tidy Notes" --yes >"$work/run4" 2>&1
check "a new version goes to every site" 0 "$(grep -c 'not sent again' "$work/run4")"
# A history file that cannot be read stops a run before it sends anything: without it a
# site could get the same version twice.
rm -f "$d/data/Tidy Notes.hst"
mkdir "$d/data/Tidy Notes.hst"
before=$(received_count)
v submit --app "Tidy Notes" --yes >"$work/run5" 2>&1
check "unreadable history: nothing is sent, and the run says why" "1:1:$before" \
  "$?:$(grep -c 'history of Tidy Notes cannot be read' "$work/run5"):$(received_count)"

checks_done
