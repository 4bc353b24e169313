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

checks_done
