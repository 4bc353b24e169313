#!/usr/bin/env bash
# A long-used data tree: a run of 1,000 form sites whose server waits 200 ms before it
# answers, 16 at once, with the application's history already holding 50,000 posts,
# beside curl posting the same forms with --parallel-max 16. The sites are spread over
# sixteen loopback addresses of the one server. Goal: at most 1.05 times curl's time.
#   bench/history_bench.sh [BUILD_DIR] [SITES] [POSTS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-1000}
posts=${3:-50000}
hosts=16
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
slow_form_peer 0.2 "$hosts" || exit 1

d="$work/d"
form_site_tree "$cli" "$d" "$count" "$port" 127.0.0.1:1 "$hosts"
# Years of earlier posts: other sites, earlier versions.
/usr/bin/python3 - "$d/data/Tidy Notes.hst" "$posts" <<'PY'
import sys
with open(sys.argv[1], "ab") as f:
    for i in range(int(sys.argv[2])):
        f.write(b"Old Site %05d\xb11.%d\xb101/%02d/2025 10:00\xb1New\xb1HTTP\r\n" % (i % 9000, i // 9000, i % 28 + 1))
PY

ours_run() { run_timed "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes --again --parallel 16; }
peer_run() { run_timed curl --parallel --parallel-immediate --parallel-max 16 -K "$work/curl.cfg"; }
compare "1,000 slow forms, 50,000 posts, 16" "curl --parallel-max 16" 1.05 ours_run peer_run
