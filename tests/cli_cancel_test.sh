#!/usr/bin/env bash
# Ctrl-C in `vendrix-cli submit`, pressed once and twice while a site's form is being
# answered (the site reads it, then takes three seconds): once, the form ends as the
# site answers and is recorded, no other site starts, run.json and the --json events
# list the site, exit 130; twice, the program ends at once with exit 130, the form is
# recorded as uncertain, precheck lists it, and the next run does not send it again.
# usage: cli_cancel_test.sh PATH/TO/vendrix-cli PATH/TO/share PATH/TO/tests/peers
set -u
cli=$1
share=$2
peers=$3
work=$(mktemp -d)
pids=()
source "$share/demo-sites/demo-sites.sh"
trap 'kill "${pids[@]}" 2>/dev/null; demo_sites_stop; rm -rf "$work"' EXIT
source "$peers/start_peer.sh"
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"

demo_sites_start "$work/received" || exit 1
mkdir -p "$work/late"
printf '{"/late": {"wait": 3, "raw": "HTTP/1.0 200 OK\\r\\n\\r\\nthanks"}}' >"$work/late/routes.json"
start_peer http_peer.py --routes "$work/late/routes.json" || exit 1
forms() { find "$work/late/requests" -type f 2>/dev/null | wc -l; }
mails() { grep -l "submit@" "$work"/received/mail/* 2>/dev/null | wc -l; }

for presses in 1 2; do
  d="$work/d$presses"
  cp -r "$share/demo/." "$d/"
  v() { "$cli" --data-dir "$d" "$@"; }
  v app set "Tidy Notes" PATH="$d/dist/tidynote.exe" >/dev/null
  demo_sites_point "$d" "$cli"
  v site set "Demo Form Post" HTTP_UPDATE_SCRIPT_URL="http://127.0.0.1:$port/late" >/dev/null
  before_forms=$(forms)
  before_mails=$(mails)
  # The form first, the mail after it, one site at a time.
  "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes --json --parallel 1 \
    --only "Demo Form Post" --only "Demo Mail" >"$work/run$presses" 2>"$work/err$presses" &
  run=$!
  for _ in $(seq 300); do
    [ "$(forms)" -gt "$before_forms" ] && break
    sleep 0.1
  done
  for ((k = 0; k < presses; k++)); do
    kill -INT "$run"
    sleep 0.2
  done
  wait "$run"
  rc=$?
  sites=$(/usr/bin/python3 -c '
import json, sys
for line in open(sys.argv[1]):
    e = json.loads(line)
    if e["event"] == "site":
        print(e["site"], e["outcome"], e["steps"][0]["status"])' "$work/run$presses")
  if [ "$presses" = 1 ]; then
    check "once: exit 130, the form answered and recorded, the mail never started" \
      "130:Demo Form Post succeeded ok:0" "$rc:$sites:$(($(mails) - before_mails))"
    run_json=$(find "$d/reports" -name run.json)
    check "once: run.json lists the site" "Demo Form Post succeeded" "$(/usr/bin/python3 -c '
import json, sys
print(*[s["site"] + " " + s["outcome"] for s in json.load(open(sys.argv[1]))["sites"]])' \
      "$run_json")"
    check "once: the history has it" "Demo Form Post" "$(v history --app "Tidy Notes" | cut -f1)"
  else
    check "twice: exit 130 before the site answered, no summary" "130::0" \
      "$rc:$sites:$(grep -c '"event":"summary"' "$work/run$presses")"
    check "twice: precheck lists the form" "yes" "$(v precheck --offline --app "Tidy Notes" 2>/dev/null |
      grep -q 'may have reached Demo Form Post on .* (HTTP); check the site, or send again' &&
      echo yes)"
    sleep 3  # the site answers the abandoned form; the count below is final
    v submit --app "Tidy Notes" --yes --only "Demo Form Post" --only "Demo Mail" >/dev/null 2>&1
    check "twice: the next run sends the mail, not the form again" "1:1" \
      "$(($(forms) - before_forms)):$(($(mails) - before_mails))"
  fi
done
checks_done
