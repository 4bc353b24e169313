#!/usr/bin/env bash
# Our FTP and FTPS uploads and HTTP and HTTPS downloads against curl on the same local
# servers, the ones download sites run: vsftpd (anonymous upload, FTPS with TLS) and
# nginx (a static file, over TLS too). Wall and CPU time (wait4), and the peak memory
# of our process. Needs nginx and vsftpd (scripts/setup installs them); both run as
# processes of this script on loopback ports, configured in the scratch folder.
#   bench/net_bench.sh [BUILD_DIR] [MiB]
# BUILD_DIR holds a Release build (default build/release); MiB defaults to 256.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
mib=${2:-256}
cli="$build/src/cli/vendrix-cli"
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT
source bench/lib.sh
export PATH="$PATH:/usr/sbin"
for server in nginx vsftpd; do
  command -v "$server" >/dev/null || { echo "no $server: run scripts/setup" >&2; exit 1; }
done

# Free loopback ports, one per line.
free_ports() {
  /usr/bin/python3 -c '
import socket, sys
socks = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in socks: s.bind(("127.0.0.1", 0))
print("\n".join(str(s.getsockname()[1]) for s in socks))' "$1"
}
wait_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  return 1
}
mapfile -t ports < <(free_ports 4)
http_port=${ports[0]} https_port=${ports[1]} ftp_port=${ports[2]} ftps_port=${ports[3]}

chmod 755 "$work" # the FTP server's anonymous user walks into it
mkdir -p "$work/www" "$work/nginx/tmp" "$work/empty"
head -c $((mib * 1048576)) /dev/urandom >"$work/payload.bin"
ln "$work/payload.bin" "$work/www/big"
printf 'bench@example.com\n' >"$work/password"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext subjectAltName=DNS:localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1

cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
error_log $work/nginx/error.log;
pid $work/nginx/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/tmp;
  proxy_temp_path $work/nginx/tmp;
  fastcgi_temp_path $work/nginx/tmp;
  uwsgi_temp_path $work/nginx/tmp;
  scgi_temp_path $work/nginx/tmp;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$http_port; root $work/www; }
  server {
    listen 127.0.0.1:$https_port ssl;
    ssl_certificate $work/cert.pem;
    ssl_certificate_key $work/key.pem;
    root $work/www;
  }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
pids+=($!)

# vsftpd: anonymous uploads into up/ (the root itself not writable, as vsftpd wants).
vsftpd_conf() {
  local port=$1 root=$2 tls=$3
  mkdir -p "$root/up"
  chown ftp "$root/up" 2>/dev/null || chmod 777 "$root/up"
  cat <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_root=$root
no_anon_password=YES
anon_umask=022
pasv_enable=YES
pasv_address=127.0.0.1
seccomp_sandbox=NO
secure_chroot_dir=$work/empty
xferlog_enable=NO
ssl_enable=$tls
allow_anon_ssl=YES
force_anon_logins_ssl=$tls
force_anon_data_ssl=$tls
require_ssl_reuse=NO
ssl_ciphers=HIGH
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF
}
vsftpd_conf "$ftp_port" "$work/ftp" NO >"$work/vsftpd.conf"
vsftpd_conf "$ftps_port" "$work/ftps" YES >"$work/vsftpds.conf"
vsftpd "$work/vsftpd.conf" &
pids+=($!)
vsftpd "$work/vsftpds.conf" &
pids+=($!)
for p in "$http_port" "$https_port" "$ftp_port" "$ftps_port"; do wait_port "$p"; done

# Each round starts from the same disk: the last round's file is removed and what was
# written is flushed, so that no command pays for the writeback of the one before it.
fresh() { rm -f "$work"/ftp/up/*.bin "$work"/ftps/up/*.bin "$work"/*.dl; sync; }

ours_ftp() {
  fresh
  run_timed "$cli" net ftp-upload --host "127.0.0.1:$ftp_port" --user anonymous \
    --password-file "$work/password" --local "$work/payload.bin" --remote up/ours.bin --passive
  cmp -s "$work/payload.bin" "$work/ftp/up/ours.bin" || { echo "our upload differs" >&2; return 1; }
}
curl_ftp() {
  fresh
  run_timed curl -sS -T "$work/payload.bin" "ftp://anonymous:x@127.0.0.1:$ftp_port/up/curl.bin"
}
ours_ftps() {
  fresh
  run_timed "$cli" net ftp-upload --host "localhost:$ftps_port" --user anonymous --tls \
    --cafile "$work/cert.pem" --password-file "$work/password" --local "$work/payload.bin" \
    --remote up/ours.bin --passive
  cmp -s "$work/payload.bin" "$work/ftps/up/ours.bin" || { echo "our upload differs" >&2; return 1; }
}
curl_ftps() {
  fresh
  # curl 7.88 ends its FTPS uploads to vsftpd under TLS 1.3 with "426" (the data
  # connection's close): it is held to TLS 1.2, whose bulk cipher is the same.
  run_timed curl -sS --ssl-reqd --tls-max 1.2 --disable-epsv --cacert "$work/cert.pem" \
    -T "$work/payload.bin" \
    "ftp://anonymous:x@localhost:$ftps_port/up/curl.bin"
}
ours_http() {
  fresh
  run_timed "$cli" net http get "http://127.0.0.1:$http_port/big" --out "$work/ours.dl"
}
curl_http() {
  fresh
  run_timed curl -sS -o "$work/curl.dl" "http://127.0.0.1:$http_port/big"
}
ours_https() {
  fresh
  run_timed "$cli" net http get "https://localhost:$https_port/big" --cafile "$work/cert.pem" \
    --out "$work/ours.dl"
}
curl_https() {
  fresh
  run_timed curl -sS --cacert "$work/cert.pem" -o "$work/curl.dl" "https://localhost:$https_port/big"
}

echo "payload: $mib MiB"
compare "FTP upload $mib MiB" "curl -T" 1.05 ours_ftp curl_ftp
compare "FTPS upload $mib MiB" "curl -T --ssl-reqd" 1.05 ours_ftps curl_ftps
compare "HTTP download $mib MiB" "curl" 1.0 ours_http curl_http
compare "HTTPS download $mib MiB" "curl" 1.0 ours_https curl_https
