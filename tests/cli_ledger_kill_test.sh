#!/usr/bin/env bash
# A run killed outright (SIGKILL, injected by strace) at every write and flush of the
# application's history, at every rename the run makes (pages, run.json, the table),
# and at random moments of a run posting three sites at once: with the sites counting
# what they receive, the killed run and the next one together never deliver a step
# twice, and every step the next run did not send is one `precheck` lists as one that
# "may have reached" its site.
# usage: cli_ledger_kill_test.sh PATH/TO/vendrix-cli PATH/TO/share
set -u
cli=$1
share=$2
work=$(mktemp -d)
source "$share/demo-sites/demo-sites.sh"
trap 'demo_sites_stop; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/support/check.sh"
export ASAN_OPTIONS=detect_leaks=0  # LeakSanitizer cannot run under ptrace

if ! command -v strace >/dev/null || ! strace -o /dev/null true 2>/dev/null; then
  echo "strace cannot trace here; skipped"
  exit 0
fi

base="$work/base"
cp -r "$share/demo/." "$base/"
v() { "$cli" --data-dir "$base" "$@"; }
v app set "Tidy Notes" PATH="$base/dist/tidynote.exe" >/dev/null
demo_sites_start "$work/received" || exit 1
demo_sites_point "$base" "$cli"
# Every step of every site is accepted, and each site uploads to a folder of its own.
v site set "Demo All Three" HTTP_NEW_SCRIPT_URL="http://127.0.0.1:$DEMO_HTTP_PORT/all/new" \
  REMOTE_PATH=incoming/ >/dev/null
v site set "Demo FTP Upload" REMOTE_PATH=uploads/ >/dev/null

# What the sites received, one "SITE<TAB>STEP<TAB>COUNT" line per step delivered.
received() {
  /usr/bin/python3 - "$work/received" <<'EOF'
import collections, glob, os, sys
root = sys.argv[1]
got = collections.Counter()
sites = {"/all/": "Demo All Three", "/get/": "Demo Form Get", "/submit/": "Demo Form Post"}
for name in glob.glob(os.path.join(root, "http", "*.txt")):
    path = open(name, "rb").readline().split()[1].decode()
    for prefix, site in sites.items():
        if path.startswith(prefix):
            got[(site, "HTTP")] += 1
for name in glob.glob(os.path.join(root, "mail", "*.eml")):
    head = open(name, "rb").read(4096).decode("latin-1")
    to = head.split("X-Envelope-To: ", 1)[1].split("\r\n", 1)[0]
    # (a copy to the company's own contact is not the site's)
    for prefix, site in (("all@", "Demo All Three"), ("submit@", "Demo Mail"), ("update@", "Demo Mail")):
        if to.startswith(prefix):
            got[(site, "EMAIL")] += 1
log = os.path.join(root, "ftp.log")
stored = collections.Counter()
for line in open(log) if os.path.exists(log) else []:
    word, path = line.rstrip("\n").split(" ", 1)
    if word == "STOR":
        stored[path] += 1
# An upload step sends the program and its text file: count the step by its most sent file.
for folder, site in (("incoming/", "Demo All Three"), ("uploads/", "Demo FTP Upload")):
    n = max([c for p, c in stored.items() if p.startswith(folder)] or [0])
    if n:
        got[(site, "FTP")] = n
for (site, step), n in sorted(got.items()):
    print(f"{site}\t{step}\t{n}")
EOF
}
everything="Demo All Three	EMAIL
Demo All Three	FTP
Demo All Three	HTTP
Demo FTP Upload	FTP
Demo Form Get	HTTP
Demo Form Post	HTTP
Demo Mail	EMAIL"

# One round: a fresh tree and fresh counts, the killed run, precheck, a run to the end.
# Prints what went wrong (nothing when the round held).
judge() {
  local label=$1 got listed
  r precheck --offline --app "Tidy Notes" >"$work/pre" 2>&1
  r submit --app "Tidy Notes" --yes --parallel 3 >"$work/next" 2>&1
  got=$(received)
  listed=$(grep -o 'may have reached .* on .* ([A-Z]*)' "$work/pre" |
    sed -E 's/^may have reached (.*) on .* \(([A-Z]+)\)$/\1\t\2/' | LC_ALL=C sort)
  /usr/bin/python3 - "$label" "$got" "$listed" "$everything" <<'EOF'
import sys
label, got, listed, everything = sys.argv[1:]
counts = {tuple(l.split("\t")[:2]): int(l.split("\t")[2]) for l in got.splitlines() if l}
listed = {tuple(l.split("\t")) for l in listed.splitlines() if l}
for step in (tuple(l.split("\t")) for l in everything.splitlines()):
    n = counts.get(step, 0)
    if n > 1:
        print(f"{label}: {step[0]} got its {step[1]} step {n} times")
    elif n == 0 and step not in listed:
        print(f"{label}: {step[0]} {step[1]} was neither sent nor listed as uncertain")
EOF
}

fresh() {
  demo_sites_stop
  rm -rf "$work/received" "$work/run"
  demo_sites_start "$work/received" >/dev/null 2>&1 || exit 1
  cp -a "$base" "$work/run"
  demo_sites_point "$work/run" "$cli"
}
r() { "$cli" --data-dir "$work/run" "$@"; }

# The tree works: one run delivers every step once.
fresh
r submit --app "Tidy Notes" --yes --parallel 3 >/dev/null 2>&1
check "a whole run delivers every step once" "$everything" "$(received | cut -f1,2)"
check "and once only" "" "$(received | awk -F'\t' '$3 != 1')"

kills=0
bad=""
for calls in write fdatasync rename,renameat,renameat2; do
  for ((n = 1; ; n++)); do
    fresh
    filter=()
    # The writes of the history only (the run writes its log and pages too).
    [ "$calls" = write ] && filter=(-P "$work/run/data/Tidy Notes.hst")
    # (through sh, so that this shell reports no killed job)
    rc=$(sh -c '"$@" >/dev/null 2>&1; echo $?' sh strace -f -o /dev/null "${filter[@]}" \
      -e "inject=$calls:signal=SIGKILL:when=$n" \
      "$cli" --data-dir "$work/run" submit --app "Tidy Notes" --yes --parallel 3)
    [ "$rc" -eq 137 ] || break  # the run went past its last such call
    kills=$((kills + 1))
    wrong=$(judge "kill at $calls #$n")
    [ -n "$wrong" ] && bad+="$wrong"$'\n'
  done
done
check "a kill at any write, flush or rename: no step twice, the rest listed" "" "$bad"

# Random moments of a run with three sites in flight.
bad=""
for delay in 0.05 0.1 0.2 0.3 0.4 0.6 0.8 1.0; do
  fresh
  "$cli" --data-dir "$work/run" submit --app "Tidy Notes" --yes --parallel 3 >/dev/null 2>&1 &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  kills=$((kills + 1))
  wrong=$(judge "kill after ${delay}s")
  [ -n "$wrong" ] && bad+="$wrong"$'\n'
done
check "a kill at a random moment: no step twice, the rest listed" "" "$bad"
echo "$kills kills"
checks_done
