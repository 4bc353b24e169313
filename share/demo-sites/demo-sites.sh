# Sourced by scripts/run and the shell tests: starts and stops the local demo download
# sites (server.py) and points a data tree's sites and mail settings at them.
#
#   demo_sites_start FOLDER   starts the server; what the sites receive goes to FOLDER;
#                             sets DEMO_SITES_PID, DEMO_HTTP_PORT, DEMO_FTP_PORT,
#                             DEMO_SMTP_PORT (free ports chosen by the server)
#   demo_sites_point DATA CLI rewrites the 127.0.0.1 addresses of the data tree's site
#                             settings to those ports and, with vendrix-cli, sets its
#                             mail settings to the local SMTP sink
#   demo_sites_stop           ends the server
demo_sites_start() {
  local received=$1 here out
  here=$(dirname "${BASH_SOURCE[0]}")
  mkdir -p "$received"
  out="$received/.server"
  /usr/bin/python3 "$here/server.py" --received "$received" --http-port 0 --ftp-port 0 \
    --smtp-port 0 >"$out.ports" 2>"$out.log" &
  DEMO_SITES_PID=$!
  for _ in $(seq 100); do
    if read -r word DEMO_HTTP_PORT DEMO_FTP_PORT DEMO_SMTP_PORT <"$out.ports" 2>/dev/null &&
      [ "$word" = PORTS ]; then
      return 0
    fi
    kill -0 "$DEMO_SITES_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "The demo download sites did not start:" >&2
  cat "$out.log" >&2
  demo_sites_stop
  return 1
}

demo_sites_point() {
  local data=$1 cli=$2
  LC_ALL=C sed -i \
    -e "s#http://127\.0\.0\.1:[0-9]*#http://127.0.0.1:$DEMO_HTTP_PORT#g" \
    -e "s#^FTP_SERVER=127\.0\.0\.1:[0-9]*#FTP_SERVER=127.0.0.1:$DEMO_FTP_PORT#" \
    "$data"/sites/*.ini
  "$cli" --data-dir "$data" settings set "SMTP=127.0.0.1:$DEMO_SMTP_PORT" >/dev/null
  if "$cli" --data-dir "$data" settings show | grep -q '^EMAIL=$'; then
    "$cli" --data-dir "$data" settings set EMAIL=mira@brightfield.example "NAME=Mira Holt" >/dev/null
  fi
}

demo_sites_stop() {
  if [ -n "${DEMO_SITES_PID:-}" ]; then
    kill "$DEMO_SITES_PID" 2>/dev/null
    wait "$DEMO_SITES_PID" 2>/dev/null
    DEMO_SITES_PID=
  fi
  return 0
}
