#!/usr/bin/env bash
# Installing a catalogue archive of SITES sites (four files each) through the
# data-file update: into an empty catalogue against "unzip" of the same archive into
# an empty folder, and over the same catalogue again (every file replaced, switched in
# one step) against "unzip -o" over the files it unpacked before. The old catalogue is
# removed after the switch, while the program goes on: each round waits for that
# before the next timing, and says how long it took.
#   bench/update_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 10000.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
count=${2:-10000}
bench="$build/bench/update_bench"
work=$(mktemp -d)
# Removing some 100,000 files can take minutes on a slow disk: not waited for.
trap 'mv "$work" "$work.gone" && (rm -rf "$work.gone" &)' EXIT
source bench/lib.sh

"$bench" archive "$count" "$work/vxsites.zip"
echo "archive: $count sites, $(unzip -Z1 "$work/vxsites.zip" | wc -l) files," \
  "$(stat -c %s "$work/vxsites.zip") bytes"

# Waits (up to ten minutes) until the old catalogue of the last install is removed.
trash_gone() {
  local start=$EPOCHREALTIME
  for _ in $(seq 6000); do
    [ -e "$work/ours/.catalogue-trash" ] || break
    sleep 0.1
  done
  awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.1f", e - s }'
}

first=$(run_timed "$bench" install "$work/vxsites.zip" "$work/ours")
peer_first=$(run_timed unzip -q "$work/vxsites.zip" -d "$work/peer")
echo "RESULT update into an empty catalogue         ours ${first%% *} s, unzip ${peer_first%% *} s"

ours_over() {
  run_timed "$bench" install "$work/vxsites.zip" "$work/ours"
  echo "  (the old catalogue was removed $(trash_gone) s after the update ended)" >&2
}
unzip_over() { run_timed unzip -q -o "$work/vxsites.zip" -d "$work/peer"; }
# The goal is absolute (under 5 s for 10,000 sites), not a ratio to the peer.
compare "update over $count sites" "unzip -o over the files" - ours_over unzip_over
median_over=$(cut -d' ' -f1 "$work/ours.txt" | median)
awk -v m="$median_over" 'BEGIN { printf "RESULT update over the sites: median %.2f s, goal 5 s %s\n", m, (m < 5 ? "met" : "MISSED") }'
