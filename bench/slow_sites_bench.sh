#!/usr/bin/env bash
# A submission run of 200 form sites whose server waits 300 ms before it answers,
# posted with PostAtOnce 1, 4, 8 and 16, beside curl posting the same 200 forms one
# after another and with --parallel --parallel-max 8. The sites are spread over eight
# loopback addresses of the one server, as download sites live on servers of their
# own (the run sends at most two connections to one server). Prints each time and the
# ratios.
#   bench/slow_sites_bench.sh [BUILD_DIR] [SITES] [DELAY] [HOSTS]
# BUILD_DIR holds the build whose vendrix-cli runs (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-200}
delay=${3:-0.3}
hosts=${4:-8}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
slow_form_peer "$delay" "$hosts" || exit 1

# A data tree: the demo's company and application, a catalogue of form sites.
d="$work/d"
form_site_tree "$cli" "$d" "$count" "$port" 127.0.0.1:1 "$hosts"

connections() { wc -l <"$work/peer/connections.log" 2>/dev/null || echo 0; }
declare -A ours ours_cpu
for n in 1 4 8 16; do
  before=$(connections)
  read -r ours[$n] ours_cpu[$n] _ < <(run_timed "$cli" --data-dir "$d" submit --app "Tidy Notes" \
    --yes --again --parallel "$n")
  echo "PostAtOnce $n: ${ours[$n]} s (CPU ${ours_cpu[$n]} s), $(($(connections) - before)) connections"
done
before=$(connections)
read -r curl_serial curl_serial_cpu _ < <(run_timed curl -K "$work/curl.cfg")
# --parallel-immediate: curl would otherwise wait on the first connection in the hope
# of sharing it, and to an HTTP/1 server send one form after another.
read -r curl_parallel curl_parallel_cpu _ < <(run_timed curl --parallel --parallel-immediate \
  --parallel-max 8 -K "$work/curl.cfg")
echo "sites: $count on $hosts addresses, server delay ${delay} s; curl made $(($(connections) - before)) connections"
awk -v o1="${ours[1]}" -v o4="${ours[4]}" -v o8="${ours[8]}" -v o16="${ours[16]}" \
  -v c8="${ours_cpu[8]}" -v s="$curl_serial" -v p="$curl_parallel" -v pc="$curl_parallel_cpu" \
  -v sc="$curl_serial_cpu" -v c1="${ours_cpu[1]}" 'BEGIN {
  printf "curl one after another %.2f s (CPU %.3f s), curl --parallel-max 8 %.2f s (CPU %.3f s)\n", s, sc, p, pc
  printf "RESULT slow sites serial: ours(1)/curl-serial %.2f, CPU %.2f\n", (s > 0 ? o1 / s : 0), (sc > 0 ? c1 / sc : 0)
  printf "RESULT slow sites 8 at once: ours(8)/curl-parallel-8 %.2f (goal 1.2), ours(8)/ours(1) %.3f (goal 0.167)\n", (p > 0 ? o8 / p : 0), (o1 > 0 ? o8 / o1 : 0)
  r = (pc > 0 ? c8 / pc : 0)
  printf "RESULT slow sites 8 at once, CPU: ours(8)/curl-parallel-8 %.2f, goal 3 %s\n", r, (r <= 3 ? "met" : "MISSED")
  printf "RESULT slow sites 4 and 16 at once: ours(4)/ours(1) %.3f, ours(16)/ours(1) %.3f\n", (o1 > 0 ? o4 / o1 : 0), (o1 > 0 ? o16 / o1 : 0)
}'
