#!/usr/bin/env bash
# A submission run of 300 form sites that answer at once, reports included, beside
# curl sending the same 300 form posts in one process, against nginx on loopback:
# one after another over HTTP (goal: at most 4 times curl's time) and over HTTPS
# (goal: 2 times), and eight at once over HTTP beside curl --parallel --parallel-max 8
# (goal: at most 3 times curl's CPU). Interleaved rounds (ROUNDS, default 5); CPU from
# wait4. Needs nginx (scripts/setup installs it).
#   bench/run_bench.sh [BUILD_DIR] [SITES]
# BUILD_DIR holds a Release build (default build/release); SITES defaults to 300.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build=${1:-build/release}
count=${2:-300}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
export PATH="$PATH:/usr/sbin"
command -v nginx >/dev/null || { echo "no nginx: run scripts/setup" >&2; exit 1; }

mapfile -t ports < <(/usr/bin/python3 -c '
import socket
socks = [socket.socket() for _ in range(2)]
for s in socks: s.bind(("127.0.0.1", 0))
print("\n".join(str(s.getsockname()[1]) for s in socks))')
http_port=${ports[0]} https_port=${ports[1]}
mkdir -p "$work/nginx/tmp" "$work/certs"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
# Our client trusts the folder of hashed names the environment names.
cp "$work/cert.pem" "$work/certs/$(openssl x509 -noout -hash -in "$work/cert.pem").0"
export SSL_CERT_DIR="$work/certs"
# Every form is answered at once with a short page, as a site's script would.
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
error_log $work/nginx/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  server { listen 127.0.0.1:$http_port; location / { return 200 "Thank you\n"; } }
  server {
    listen 127.0.0.1:$https_port ssl;
    ssl_certificate $work/cert.pem;
    ssl_certificate_key $work/key.pem;
    location / { return 200 "Thank you\n"; }
  }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
pids+=($!)
for p in "$http_port" "$https_port"; do
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null && break; sleep 0.1; done
done

# Two data trees, each with its curl configuration. Each form goes over a connection
# of its own, as forms to download sites do (one site, one server): curl would
# otherwise send every form over one kept-alive connection, and over TLS skip 299 of
# the 300 handshakes.
form_site_tree "$cli" "$work/http" "$count" "$http_port" 127.0.0.1:1
sed 's/^silent$/silent\nheader = "Connection: close"/' "$work/curl.cfg" >"$work/http.cfg"
form_site_tree "$cli" "$work/https" "$count" "$https_port" 127.0.0.1:1 1 https
sed 's/^silent$/silent\nheader = "Connection: close"\ncacert = "'"${work//\//\\/}"'\/cert.pem"/' \
  "$work/curl.cfg" >"$work/https.cfg"

# Every round sends every site again (the history says the first round sent them).
ours() { run_timed "$cli" --data-dir "$work/$1" submit --app "Tidy Notes" --yes --again --parallel "$2"; }
ours_http() { ours http 1; }
ours_https() { ours https 1; }
ours_http8() { ours http 8; }
curl_http() { run_timed curl -K "$work/http.cfg"; }
curl_https() { run_timed curl -K "$work/https.cfg"; }
curl_http8() { run_timed curl --parallel --parallel-immediate --parallel-max 8 -K "$work/http.cfg"; }

# Every form of a round reached the server, and every site has its page.
ours http 1 >/dev/null
pages=$(ls -t "$work/http/reports/Tidy Notes/" | head -1)
echo "sites: $count; our run wrote $(ls "$work/http/reports/Tidy Notes/$pages" | grep -c '_HTTP.htm$') site pages"
compare "$count forms at once, HTTP, N=1" "curl (nginx)" 4 ours_http curl_http
compare "$count forms at once, HTTPS, N=1" "curl (nginx)" 2 ours_https curl_https
compare "$count forms at once, HTTP, N=8" "curl --parallel 8" - ours_http8 curl_http8
