#!/usr/bin/env bash
# A catalogue of 10,000 sites: "vendrix-cli table show" against "grep -c ." over the
# same settings files; the desktop program's start (until its main window is shown
# and its site table read, on the offscreen platform) with 10,000 sites against its
# start on the demo tree; and "precheck --offline" of 50,000 form sites against the
# same of 10,000 (a check that grows with the sites, not faster: goal 5).
#   bench/catalogue_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 10000.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
count=${2:-10000}
cli="$build/src/cli/vendrix-cli"
gui="$build/src/ui/vendrix"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source bench/lib.sh

# The demo tree, and the demo tree with SITES more sites whose settings files are
# like the demo's (all of their keys).
demo="$work/demo"
big="$work/big"
cp -r share/demo/. "$demo/"
cp -r share/demo/. "$big/"
/usr/bin/python3 - "$big/sites" "$count" <<'PY'
import os, sys
sites, count = sys.argv[1], int(sys.argv[2])
model = open(os.path.join(sites, "Demo All Three.ini"), "rb").read()
names = [f"Download Site {i:05d}" for i in range(count)]
for i, n in enumerate(names):
    kind = b"SITE_TYPE=%d" % (1 + i % 2)
    with open(os.path.join(sites, n + ".ini"), "wb") as f:
        f.write(model.replace(b"SITE_TYPE=2", kind))
with open(os.path.join(sites, "Sites.dat"), "ab") as f:
    f.write("".join(n + "\r\n" for n in names).encode())
PY
rows=$("$cli" --data-dir "$big" table show --app "Tidy Notes" | wc -l)
echo "sites: $count (+ the demo's); table show prints $rows lines"

ours_table() { run_timed "$cli" --data-dir "$big" table show --app "Tidy Notes"; }
grep_sites() { run_timed bash -c 'cd "$1" && grep -c . ./*.ini' grep "$big/sites"; }
compare "table show, $count sites" "grep -c . sites/*.ini" 1.0 ours_table grep_sites

if [ -x "$gui" ]; then
  export QT_QPA_PLATFORM=offscreen
  start_big() { run_timed "$gui" --data-dir "$big" --exit-when-loaded; }
  start_demo() { run_timed "$gui" --data-dir "$demo" --exit-when-loaded; }
  compare "desktop start, $count sites" "start on the demo tree" 1.2 start_big start_demo
else
  echo "no desktop program in $build (built without Qt): its start is not measured"
fi

# precheck --offline at 50,000 and 10,000 form sites (exit 3 would mean errors found,
# which the figures do not care about).
form_site_tree "$cli" "$work/p10" 10000 9 127.0.0.1:1
form_site_tree "$cli" "$work/p50" 50000 9 127.0.0.1:1
precheck() { "$cli" --data-dir "$1" precheck --app "Tidy Notes" --offline || [ $? -eq 3 ]; }
export -f precheck
export cli
pre50() { run_timed bash -c 'precheck "$1"' _ "$work/p50"; }
pre10() { run_timed bash -c 'precheck "$1"' _ "$work/p10"; }
compare "precheck --offline, 50,000 sites" "the same, 10,000 sites" 5.0 pre50 pre10
