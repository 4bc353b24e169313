#!/usr/bin/env bash
# A submission run of 200 form sites whose server waits 300 ms before it answers,
# beside curl posting the same 200 forms one after another and with --parallel
# --parallel-max 8. Prints each time and the ratios: what the run's time is made of
# when sites are slow (the sum of their latencies, one site after another).
#   bench/slow_sites_bench.sh [BUILD_DIR] [SITES] [DELAY]
# BUILD_DIR holds the build whose vendrix-cli runs (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
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
cp -r share/demo/. "$d/"
rm -f "$d"/sites/*.ini "$d"/sites/*.scp "$d"/cat/*.cat "$d/data/Tidy Notes_SITES.dat"
"$cli" --data-dir "$d" app set "Tidy Notes" PATH="$(cd "$d" && pwd)/dist/tidynote.exe" >/dev/null
"$cli" --data-dir "$d" settings set SMTP=127.0.0.1:1 EMAIL=mira@brightfield.example \
  "NAME=Mira Holt" >/dev/null
/usr/bin/python3 - "$d" "$count" "$port" <<'PY'
import sys
d, count, port = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = [f"Form Site {i:03d}" for i in range(count)]
for n in names:
    url = f"http://127.0.0.1:{port}/submit/{n.replace(' ', '%20')}"
    with open(f"{d}/sites/{n}.ini", "wb") as f:
        f.write(f"[SETTINGS]\r\nUSE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\n"
                f"HTTP_NEW_SCRIPT_URL={url}\r\nHTTP_UPDATE_SCRIPT_URL={url}\r\n".encode())
    with open(f"{d}/sites/{n} HTTP_NEW.scp", "wb") as f:
        f.write(b"company=%COMPNAME%&program=%APPNAME%&version=%APPVERSION%\r\n")
with open(f"{d}/sites/Sites.dat", "wb") as f:
    f.write("".join(n + "\r\n" for n in names).encode())
with open(f"{d}/../curl.cfg", "w") as f:
    for i, n in enumerate(names):
        if i:
            f.write("next\n")
        f.write(f'url = "http://127.0.0.1:{port}/submit/{n.replace(" ", "%20")}"\n')
        f.write('data = "company=Brightfield%20Software&program=Tidy%20Notes&version=2.1"\n')
        f.write('output = "/dev/null"\nsilent\n')
PY

seconds() { /usr/bin/time -f '%e' -o "$work/t" "$@" >/dev/null 2>&1 || true; cat "$work/t"; }
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
