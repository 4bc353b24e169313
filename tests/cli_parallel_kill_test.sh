#!/usr/bin/env bash
# A run with several sites in flight killed outright (kill -9) while one site stalls:
# every site that ended before the kill keeps its mark and its history line, the one
# in flight keeps its row as it was, and the table file is whole.
# usage: cli_parallel_kill_test.sh PATH/TO/vendrix-cli PATH/TO/share
set -u
cli=$1
share=$2
work=$(mktemp -d)
source "$share/demo-sites/demo-sites.sh"
killed=
trap '[ -n "$killed" ] && kill -9 "$killed" 2>/dev/null; demo_sites_stop; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

d="$work/d"
cp -r "$share/demo/." "$d/"
v() { "$cli" --data-dir "$d" "$@"; }
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" >/dev/null
demo_sites_start "$work/received" || exit 1
demo_sites_point "$d" "$cli"
# The stalling form goes to the server by another name: one host's connections are
# counted together, and a stall on 127.0.0.1 would hold back the FTP sites there.
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://localhost:$DEMO_HTTP_PORT/silent/x"
table="$d/data/Tidy Notes_SITES.dat"
before=$(grep -a "^Demo Form Post" "$table")

# Four at once: the stalling site stays in flight while the other four end.
"$cli" --data-dir "$d" submit --app "Tidy Notes" --yes --json --parallel 4 >"$work/run" 2>"$work/err" &
killed=$!
ended() { grep -c '"event":"site"' "$work/run" 2>/dev/null || true; }
for _ in $(seq 300); do
  [ "$(ended)" -ge 4 ] && break
  sleep 0.1
done
check "four sites ended while one stalls" "4" "$(ended)"
kill -9 "$killed"
wait "$killed" 2>/dev/null
killed=

succeeded=$(/usr/bin/python3 -c '
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["event"] == "site" and e["outcome"] == "succeeded":
        print(e["site"])' "$work/run" | LC_ALL=C sort)
check "some sites succeeded before the kill" "yes" "$([ -n "$succeeded" ] && echo yes || echo no)"
check "the table is whole" "6" "$(v table show --app "Tidy Notes" | wc -l)"
marked() {
  v table show --app "Tidy Notes" |
    awk -F'\t' '$3 == "Update" && $10 != "Unknown" { print $1 }' | LC_ALL=C sort
}
# The table is saved at most once a second: the history says what the last second's
# sites got, and the next run marks their rows by it.
check "no site that did not succeed is marked" "" \
  "$(LC_ALL=C comm -13 <(echo "$succeeded") <(marked))"
check "the history holds the same sites" "$succeeded" "$(v history --app "Tidy Notes" | cut -f1 | LC_ALL=C sort)"
check "the stalled site's row is as it was" "$before" "$(grep -a "^Demo Form Post" "$table")"

# The stalled site had its form read: the next run does not send it again by itself
# but says it may have reached the site; --again sends it. The next run clears the
# work folders the killed one left.
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:$DEMO_HTTP_PORT/submit/update"
v submit --app "Tidy Notes" --yes --parallel 4 >"$work/next" 2>&1
check "the next run marks every site that succeeded before the kill" "" \
  "$(LC_ALL=C comm -23 <(echo "$succeeded") <(marked))"
check "the stalled site is listed, not sent" "yes:no" \
  "$(grep -q 'may have reached Demo Form Post on .* (HTTP); check the site, or send again' \
    "$work/next" && echo yes):$(v history --app "Tidy Notes" | cut -f1 | grep -qx "Demo Form Post" && echo yes || echo no)"
v submit --app "Tidy Notes" --yes --again --only "Demo Form Post" >/dev/null 2>&1
check "--again sends it" "yes" \
  "$(v history --app "Tidy Notes" | cut -f1 | grep -qx "Demo Form Post" && echo yes || echo no)"
check "no work folder is left behind" "" "$(ls -A "$d/files" | grep '^\.posting-' || true)"
checks_done
