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
echo n | v submit --app "Tidy Notes" >"$work/out" 2>"$work/err"
check "no confirmation refuses" "1:Total Sites: 5" "$?:$(grep -o 'Total Sites: [0-9]*' "$work/out")"
v submit --app "Tidy Notes" --only "Nowhere" --yes >/dev/null 2>&1
check "unknown --only refused" 1 $?
check "nothing sent when refused" "" "$(ls "$work/received/http" 2>/dev/null)"
check "no report when refused" "" "$(ls "$d/reports" | grep -v '^\.keep$')"

# --only: one row, its P marks untouched elsewhere.
v table set --app "Tidy Notes" --site "Demo Form Get" post=N
v submit --app "Tidy Notes" --only "Demo Form Get" --yes >"$work/out" 2>"$work/err"
check "only one site succeeds" 0 $?
check "only: row marked" "Update	$today	N" "$(row "Demo Form Get")"
check "only: other rows untouched" "New	Unknown	Y" "$(row "Demo All Three")"
v table set --app "Tidy Notes" --site "Demo Form Get" post=Y submit=New lastpost=Unknown

# The whole demo run: the refusing site fails, the others are marked.
v submit --app "Tidy Notes" --yes >"$work/out" 2>"$work/err"
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
print(sum(1 for h in p.hrefs if os.path.exists(urllib.parse.unquote(h[len("file://"):]))), len(p.hrefs))
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

# Ctrl-C cancels the run at once; the reports are still written.
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:$DEMO_HTTP_PORT/silent/x"
"$cli" --data-dir "$d" submit --app "Tidy Notes" --only "Demo Form Post" --yes >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  grep -q '^POST /silent/' "$work"/received/http/* 2>/dev/null && break
  sleep 0.1
done
kill -INT $pid
wait $pid
check "Ctrl-C cancels" 130 $?
main=$(sed -n 's/^Main report: //p' "$work/err")
check "cancelled run has its report" yes "$([ -f "$main" ] && echo yes)"

v reports delete --app "Tidy Notes"
check "reports delete all" 1 "$(v reports list --app "Tidy Notes" >/dev/null 2>&1; echo $?)"

checks_done
