#!/usr/bin/env bash
# A submission run of 200 form sites whose server waits 300 ms before it answers,
# beside curl posting the same 200 forms one after another and with --parallel
# --parallel-max 8. Prints each time and the ratios: what the run's time is made of
# when sites are slow (the sum of their latencies, one site after another).
#   bench/slow_sites_bench.sh [BUILD_DIR] [SITES] [DELAY]
# BUILD_DIR holds the build whose vendrix-cli runs (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-200}
delay=${3:-0.3}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
mkdir -p "$work/peer"
/usr/bin/python3 tests/peers/flaky_http_peer.py --folder "$work/peer" --delay "$delay" \
  >"$work/peer/port" &
peer=$!
trap 'kill $peer 2>/dev/null; wait $peer 2>/dev/null || true; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/peer/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/peer/port" | cut -d' ' -f2)

# A data tree: the demo's company and application, a catalogue of form sites.
d="$work/d"
form_site_tree "$cli" "$d" "$count" "$port" 127.0.0.1:1

connections() { wc -l <"$work/peer/connections.log" 2>/dev/null || echo 0; }
ours=$(seconds "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes)
posted=$(connections)
curl_serial=$(seconds curl -K "$work/curl.cfg")
# --parallel-immediate: curl would otherwise wait on the first connection in the hope
# of sharing it, and to an HTTP/1 server send one form after another.
curl_parallel=$(seconds curl --parallel --parallel-immediate --parallel-max 8 -K "$work/curl.cfg")
echo "sites: $count, server delay ${delay} s; our run made $posted connections, curl $(($(connections) - posted))"
awk -v o="$ours" -v s="$curl_serial" -v p="$curl_parallel" 'BEGIN {
  printf "our run (one site after another) %.2f s\n", o
  printf "curl one after another %.2f s, curl --parallel-max 8 %.2f s\n", s, p
  printf "RESULT slow sites: ours/curl-serial %.2f, ours/curl-parallel-8 %.2f\n", (s > 0 ? o / s : 0), (p > 0 ? o / p : 0)
}'
