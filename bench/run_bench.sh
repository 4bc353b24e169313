#!/usr/bin/env bash
# A submission run of 300 HTTP sites that answer at once, one after another, reports
# included, side by side with curl sending the same 300 form posts in one process:
# the run's own work per site (goal: at most 4 times curl's time).
#   bench/run_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 300.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-300}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
source share/demo-sites/demo-sites.sh
trap 'demo_sites_stop; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
demo_sites_start "$work/received"

# A data tree: the demo's company and application, a catalogue of form sites.
d="$work/d"
form_site_tree "$cli" "$d" "$count" "$DEMO_HTTP_PORT" "127.0.0.1:$DEMO_SMTP_PORT"

read -r ours ours_cpu _ < <(run_timed "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes --parallel 1)
posted=$(ls "$work/received/http" | wc -l)
reports=$(ls "$d/reports/Tidy Notes"/*/ | grep -c '_HTTP.htm$')
read -r curl_s curl_cpu _ < <(run_timed curl -K "$work/curl.cfg")
all=$(ls "$work/received/http" | wc -l)
echo "sites: $count; our run posted $posted and wrote $reports site pages; curl posted $((all - posted))"
awk -v o="$ours" -v c="$curl_s" -v oc="$ours_cpu" -v cc="$curl_cpu" -v n="$count" 'BEGIN {
  r = (c > 0 ? o / c : 0)
  printf "RESULT %d forms at once, HTTP, N=1: ours %.3f s (CPU %.3f s), curl %.3f s (CPU %.3f s), ratio %.2f, goal 4 %s\n",
    n, o, oc, c, cc, r, (r <= 4 ? "met" : "MISSED")
}'
