#!/usr/bin/env bash
# A submission run of 200 HTTP sites against the local form handler, reports
# included, side by side with curl sending the same 200 form posts in one process.
#   bench/run_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 200.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
count=${2:-200}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
source share/demo-sites/demo-sites.sh
trap 'demo_sites_stop; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
demo_sites_start "$work/received"

# A data tree: the demo's company and application, a catalogue of form sites.
d="$work/d"
cp -r share/demo/. "$d/"
rm -f "$d"/sites/*.ini "$d"/sites/*.scp "$d"/cat/*.cat "$d/data/Tidy Notes_SITES.dat"
"$cli" --data-dir "$d" app set "Tidy Notes" PATH="$(cd "$d" && pwd)/dist/tidynote.exe" >/dev/null
"$cli" --data-dir "$d" settings set "SMTP=127.0.0.1:$DEMO_SMTP_PORT" EMAIL=mira@brightfield.example \
  "NAME=Mira Holt" >/dev/null
/usr/bin/python3 - "$d" "$count" "$DEMO_HTTP_PORT" <<'PY'
import sys
d, count, port = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = [f"Form Site {i:03d}" for i in range(count)]
for n in names:
    url = f"http://127.0.0.1:{port}/submit/{n.replace(' ', '%20')}"
    with open(f"{d}/sites/{n}.ini", "wb") as f:
        f.write(f"[SETTINGS]\r\nUSE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\n"
                f"HTTP_NEW_SCRIPT_URL={url}\r\nHTTP_UPDATE_SCRIPT_URL={url}\r\n".encode())
    with open(f"{d}/sites/{n} HTTP_NEW.scp", "wb") as f:
        f.write(b"company=%COMPNAME%&program=%APPNAME%&version=%APPVERSION%&desc=%APPSHORTDESC%\r\n")
with open(f"{d}/sites/Sites.dat", "wb") as f:
    f.write("".join(n + "\r\n" for n in names).encode())
# The same requests for curl: one process, one --data per URL.
with open(f"{d}/../curl.cfg", "w") as f:
    for i, n in enumerate(names):
        if i:
            f.write("next\n")
        f.write(f'url = "http://127.0.0.1:{port}/submit/{n.replace(" ", "%20")}"\n')
        f.write('data = "company=Brightfield%20Software&program=Tidy%20Notes&version=2.1"\n')
        f.write('output = "/dev/null"\nsilent\n')
PY

seconds() { /usr/bin/time -f '%e' -o "$work/t" "$@" >/dev/null 2>&1 || true; cat "$work/t"; }
ours=$(seconds "$cli" --data-dir "$d" submit --app "Tidy Notes" --yes)
posted=$(ls "$work/received/http" | wc -l)
reports=$(ls "$d/reports/Tidy Notes"/*/ | grep -c '_HTTP.htm$')
curl_s=$(seconds curl -K "$work/curl.cfg")
all=$(ls "$work/received/http" | wc -l)
echo "sites: $count; our run posted $posted and wrote $reports site pages; curl posted $((all - posted))"
awk -v o="$ours" -v c="$curl_s" 'BEGIN { printf "our run %.2f s, curl %.2f s, ratio ours/curl %.2f\n", o, c, (c > 0 ? o / c : 0) }'
