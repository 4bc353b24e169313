#!/usr/bin/env bash
# A submission run of 200 HTTP sites against the local form handler, reports
# included, side by side with curl sending the same 200 form posts in one process.
#   bench/run_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 200.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-200}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
source share/demo-sites/demo-sites.sh
trap 'demo_sites_stop; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
demo_sites_start "$work/received"

# A data tree: the demo's company and application, a catalogue of form sites.
d="$work/d"
form_site_tree "$cli" "$d" "$count" "$DEMO_HTTP_PORT" "127.0.0.1:$DEMO_SMTP_PORT"

ours=$(seconds "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes)
posted=$(ls "$work/received/http" | wc -l)
reports=$(ls "$d/reports/Tidy Notes"/*/ | grep -c '_HTTP.htm$')
curl_s=$(seconds curl -K "$work/curl.cfg")
all=$(ls "$work/received/http" | wc -l)
echo "sites: $count; our run posted $posted and wrote $reports site pages; curl posted $((all - posted))"
awk -v o="$ours" -v c="$curl_s" 'BEGIN { printf "our run %.2f s, curl %.2f s, ratio ours/curl %.2f\n", o, c, (c > 0 ? o / c : 0) }'
