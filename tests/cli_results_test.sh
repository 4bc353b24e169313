#!/usr/bin/env bash
# What a pipeline reads of a run: submit --json, run.json through reports show --json,
# precheck --json, each against the keys docs/run-json.md lists; the summary's counts
# against the main report's; and a run killed outright (kill -9) partway, started
# again, sending only what was left.
# usage: cli_results_test.sh PATH/TO/vendrix-cli PATH/TO/share PATH/TO/docs/run-json.md
set -u
cli=$1
share=$2
doc=$3
work=$(mktemp -d)
source "$share/demo-sites/demo-sites.sh"
killed=
trap '[ -n "$killed" ] && kill -9 "$killed" 2>/dev/null; demo_sites_stop; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

d="$work/d"
cp -r "$share/demo/." "$d/"
v() { "$cli" --data-dir "$d" "$@"; }
v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" GIFPATH="$d/dist/icon.gif" \
  SHORTDESC="Notes that file themselves - TODO" >/dev/null
demo_sites_start "$work/received" || exit 1
demo_sites_point "$d" "$cli"
# The requests the demo sites received whose first line starts so, and the mails to an address.
requests() { grep -l "^$1" "$work"/received/http/* 2>/dev/null | wc -l; }
mails() { grep -l "$1" "$work"/received/mail/* 2>/dev/null | wc -l; }

# A run killed outright at the third of five sites (posted one after another): the
# site stalls, the run dies.
post_url="http://127.0.0.1:$DEMO_HTTP_PORT/submit/update"
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:$DEMO_HTTP_PORT/silent/x"
"$cli" --data-dir "$d" submit --app "Tidy Notes" --yes --json --parallel 1 >"$work/run1" 2>"$work/err1" &
killed=$!
for _ in $(seq 300); do
  [ "$(requests 'POST /silent/')" -gt 0 ] && break
  sleep 0.1
done
kill -9 "$killed"
wait "$killed" 2>/dev/null
killed=
check "the run was killed at the stalling site" "1:0" \
  "$(requests 'POST /silent/'):$(grep -c '"event":"summary"' "$work/run1")"
check "what it sent before is in the history" "Demo Form Get" "$(v history --app "Tidy Notes" | cut -f1)"

# Started again (the site answers now): only the rest is sent. The stalled site had its
# form read: it may have it, so it is listed, not sent.
v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="$post_url"
v submit --app "Tidy Notes" --yes --json >"$work/run2" 2>"$work/err2"
check "the second run ends; the refusing site fails by design" 3 $?
# (Several sites at once: the site events come in the order the sites end.)
check "each site's outcome" "Demo All Three failed
Demo FTP Upload succeeded
Demo Form Get not-sent
Demo Form Post uncertain
Demo Mail succeeded" "$(/usr/bin/python3 -c '
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["event"] == "site":
        print(e["site"], e["outcome"])' "$work/run2" | LC_ALL=C sort)"
check "a start before each posted site's end, none for the sites not sent" "ok" "$(/usr/bin/python3 -c '
import json, sys
flying, started, bad = set(), [], []
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["event"] == "start":
        if e["site"] in flying or e["in_flight"] < 1:
            bad.append(e)
        flying.add(e["site"])
        started.append(e["site"])
    elif e["event"] == "site":
        if e["site"] in flying:
            flying.discard(e["site"])
        elif e["outcome"] not in ("not-sent", "uncertain"):
            bad.append(e)
sent = [json.loads(l)["site"] for l in open(sys.argv[1])
        if json.loads(l)["event"] == "site" and
        json.loads(l)["outcome"] not in ("not-sent", "uncertain")]
ok = not bad and not flying and sorted(started) == sorted(sent) and len(sent) == 3
print("ok" if ok else "bad: %r %r" % (bad, started))' "$work/run2")"
check "each site got the program once, the stalled one not again" "1 1 0 1 1" \
  "$(requests 'GET /get/') $(requests 'POST /silent/') $(requests 'POST /submit/update') \
$(mails 'submit@') \
$(ls "$work/received/ftp/incoming" | wc -l)"

# The summary's counts are the main report's.
report=$(/usr/bin/python3 -c '
import json, sys
print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["report"])' "$work/run2")
stamp=$(basename "$(dirname "$report")")
figures=$(v reports show --app "Tidy Notes" --run "$stamp" |
  sed -n 's/^Successful: /succeeded /p; s/^Failed: /failed /p' | tr '\n' ' ')
check "summary counts equal the main report's" "$figures" "$(/usr/bin/python3 -c '
import json, sys
s = json.loads(open(sys.argv[1]).read().splitlines()[-1])
print("succeeded %d failed %d " % (s["succeeded"], s["failed"]))' "$work/run2")"

# reports show --json prints the run's run.json; the killed run has the one written
# before its first site, with no site in it.
v reports show --app "Tidy Notes" --run "$stamp" --json >"$work/shown"
check "reports show --json prints run.json" "0:same" \
  "$?:$(cmp -s "$work/shown" "$(dirname "$report")/run.json" && echo same)"
killed_stamp=$(v reports list --app "Tidy Notes" | grep -vx "$stamp")
shown=$(v reports show --app "Tidy Notes" --run "$killed_stamp" --json 2>&1)
check "a killed run's run.json lists no site" "0:[]" \
  "$?:$(/usr/bin/python3 -c 'import json, sys; print(json.loads(sys.argv[1])["sites"])' "$shown")"
check "every step names its report page" "ok" "$(/usr/bin/python3 - "$work/shown" <<'PY'
import json, os, sys
r = json.load(open(sys.argv[1]))
folder = os.path.dirname(r["report"])
# (steps an earlier run delivered, or held as uncertain, did not run here: no page)
pages = [st["page"] for s in r["sites"] for st in s["steps"]
         if st["page"] or st["status"] in ("ok", "failed", "skipped")]
bad = [p for p in pages if not p or "/" in p or not os.path.isfile(os.path.join(folder, p))]
print("ok" if pages and not bad else "bad: %r" % (bad or pages))
PY
)"
v reports list --json >/dev/null 2>&1
check "--json only with show" 2 $?
v precheck --app "Tidy Notes" --offline --json >"$work/findings"

# Every object has the keys the documentation lists, no more and no fewer.
check "keys as documented" "ok" "$(/usr/bin/python3 - "$doc" "$work/shown" "$work/run2" \
  "$work/findings" <<'PY'
import json, re, sys
doc, run_json, events, findings = sys.argv[1:]
tables, name = {}, None
for line in open(doc, encoding="utf-8"):
    m = re.match(r"^### `([^`]+)`", line)
    if m:
        name = m.group(1)
        tables[name] = set()
        continue
    m = re.match(r"^\| `([a-z_0-9]+)` \|", line)
    if m and name:
        tables[name].add(m.group(1))
problems, seen = [], set()
def expect(table, obj):
    seen.add(table)
    if set(obj) != tables.get(table):
        problems.append("%s: %s" % (table, sorted(set(obj) ^ tables.get(table, set()))))
r = json.load(open(run_json))
expect("run.json", r)
for s in r["sites"]:
    expect("sites[]", s)
    for st in s["steps"]:
        expect("sites[].steps[]", st)
    for f in s["files"]:
        expect("sites[].files[]", f)
for line in open(events):
    e = json.loads(line)
    expect("event: " + e["event"], e)
for f in json.load(open(findings)):
    expect("precheck[]", f)
missing = set(tables) - seen
if missing:
    problems.append("not met in these runs: %s" % sorted(missing))
print("; ".join(problems) or "ok")
PY
)"

checks_done
