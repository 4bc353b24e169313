# Sourced by the benchmarks: timing of one command and the comparison of ours with a
# peer over interleaved rounds. Needs $work (a scratch folder).
#   ROUNDS (environment, default 5): rounds of each comparison.

ROUNDS=${ROUNDS:-5}

# run_timed CMD...: runs CMD with its output discarded and prints "WALL CPU KIB"
# (wall seconds, user + system CPU seconds of it and of every process it waited for,
# both to the microsecond from wait4, and the peak memory). A command that fails
# stops the benchmark: a ratio of a failed run would mean nothing.
# run_timed_all CMD...: the same, also waiting for (and counting) every process CMD
# left running behind it.
run_timed() { _run_timed "" "$@"; }
run_timed_all() { _run_timed --all "$@"; }
_run_timed() {
  local all=$1 timer=${BENCH_TIMER:-${build:-build/release}/bench/bench_timer}
  shift
  if [ ! -x "$timer" ]; then
    echo "no $timer: build the bench_timer target" >&2
    return 1
  fi
  if ! "$timer" -o "$work/time.out" $all "$@" >"$work/cmd.out" 2>&1; then
    echo "failed: $*" >&2
    tail -5 "$work/cmd.out" >&2
    return 1
  fi
  awk '{ printf "%.4f %.3f %d\n", $1, $2, $3 }' "$work/time.out"
}

# seconds CMD...: the wall seconds CMD took, its output discarded.
seconds() { run_timed "$@" | cut -d' ' -f1; }

# median < numbers
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# compare LABEL PEER GOAL OURS_FUNCTION PEER_FUNCTION
# Runs both functions ROUNDS times, alternating which goes first, and prints one line:
# the medians of wall and CPU time, our peak memory, the ratio of the medians and the
# spread of the per-round ratios (each round's pair ran under about the same load).
# GOAL is the largest ratio we aim for ("-" for none). Each function runs one timed
# command through run_timed; a function may prepare its round before that.
compare() {
  local label=$1 peer=$2 goal=$3 ours_fn=$4 peer_fn=$5 r o p
  : >"$work/ours.txt"
  : >"$work/peer.txt"
  for r in $(seq "$ROUNDS"); do
    if ((r % 2)); then
      o=$("$ours_fn") || return 1
      p=$("$peer_fn") || return 1
    else
      p=$("$peer_fn") || return 1
      o=$("$ours_fn") || return 1
    fi
    echo "$o" >>"$work/ours.txt"
    echo "$p" >>"$work/peer.txt"
  done
  local ow oc om pw pc spread
  ow=$(cut -d' ' -f1 "$work/ours.txt" | median)
  oc=$(cut -d' ' -f2 "$work/ours.txt" | median)
  om=$(cut -d' ' -f3 "$work/ours.txt" | sort -n | tail -1)
  pw=$(cut -d' ' -f1 "$work/peer.txt" | median)
  pc=$(cut -d' ' -f2 "$work/peer.txt" | median)
  spread=$(paste -d' ' "$work/ours.txt" "$work/peer.txt" |
    awk '{ r = ($4 > 0 ? $1 / $4 : 0); if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r }
         END { printf "%.2f-%.2f", lo, hi }')
  awk -v l="$label" -v peer="$peer" -v g="$goal" -v ow="$ow" -v oc="$oc" -v om="$om" \
    -v pw="$pw" -v pc="$pc" -v s="$spread" -v n="$ROUNDS" 'BEGIN {
      r = (pw > 0 ? ow / pw : 0); rc = (pc > 0 ? oc / pc : 0)
      verdict = (g == "-" ? "" : (r <= g ? ", goal " g " met" : ", goal " g " MISSED"))
      printf "RESULT %-34s ours %8.3f s (CPU %7.3f s, %4d MiB)  %-22s %8.3f s (CPU %7.3f s)  ratio %5.2f [%s over %d rounds], CPU ratio %s%s\n",
        l, ow, oc, om / 1024, peer, pw, pc, r, s, n, (pc > 0 ? sprintf("%.2f", rc) : "-"), verdict
    }'
}

# form_site_tree CLI DIR COUNT PORT SMTP [HOSTS] [SCHEME]: a data tree in DIR with the
# demo's company and application and a catalogue of COUNT form sites posting to PORT
# on 127.0.0.1 (with HOSTS, site i on 127.0.0.(i % HOSTS + 1), as download sites are on
# servers of their own) over SCHEME (http, the default, or https), and $work/curl.cfg
# holding the same form posts for curl (one process, one --data per URL).
form_site_tree() {
  local cli=$1 d=$2 count=$3 port=$4 smtp=$5 hosts=${6:-1} scheme=${7:-http}
  cp -r share/demo/. "$d/"
  rm -f "$d"/sites/*.ini "$d"/sites/*.scp "$d"/cat/*.cat "$d/data/Tidy Notes_SITES.dat"
  "$cli" --data-dir "$d" app set "Tidy Notes" PATH="$(cd "$d" && pwd)/dist/tidynote.exe" >/dev/null
  "$cli" --data-dir "$d" settings set "SMTP=$smtp" EMAIL=mira@brightfield.example \
    "NAME=Mira Holt" >/dev/null
  /usr/bin/python3 - "$d" "$count" "$port" "$work/curl.cfg" "$hosts" "$scheme" <<'PY'
import sys
d, count, port, cfg = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
hosts, scheme = int(sys.argv[5]), sys.argv[6]
names = [f"Form Site {i:03d}" for i in range(count)]
def url_of(i, n):
    return f"{scheme}://127.0.0.{i % hosts + 1}:{port}/submit/{n.replace(' ', '%20')}"
for i, n in enumerate(names):
    url = url_of(i, n)
    with open(f"{d}/sites/{n}.ini", "wb") as f:
        f.write(f"[SETTINGS]\r\nUSE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\n"
                f"HTTP_NEW_SCRIPT_URL={url}\r\nHTTP_UPDATE_SCRIPT_URL={url}\r\n".encode())
    # The same form for an update, so that a run sent again posts what curl posts.
    for kind in ("HTTP_NEW", "HTTP_UPDATE"):
        with open(f"{d}/sites/{n} {kind}.scp", "wb") as f:
            f.write(b"company=%COMPNAME%&program=%APPNAME%&version=%APPVERSION%\r\n")
with open(f"{d}/sites/Sites.dat", "wb") as f:
    f.write("".join(n + "\r\n" for n in names).encode())
with open(cfg, "w") as f:
    for i, n in enumerate(names):
        if i:
            f.write("next\n")
        f.write(f'url = "{url_of(i, n)}"\n')
        f.write('data = "company=Brightfield%20Software&program=Tidy%20Notes&version=2.1"\n')
        f.write('output = "/dev/null"\nsilent\n')
PY
}

# slow_form_peer DELAY HOSTS: starts a web peer in $work/peer that answers every form
# DELAY seconds late on HOSTS loopback addresses (127.0.0.1 up), one port on all of
# them; sets $peer (its process, stopped at exit with $work removed, or kept and
# named with KEEP set) and $port. Fails when it could not listen on every address.
slow_form_peer() {
  local delay=$1 hosts=$2 also=() k
  mkdir -p "$work/peer"
  for k in $(seq 2 "$hosts"); do also+=("127.0.0.$k"); done
  : >"$work/peer/connections.log"
  : >"$work/peer/port"
  /usr/bin/python3 tests/peers/flaky_http_peer.py --folder "$work/peer" --delay "$delay" \
    ${also[@]:+--also "${also[@]}"} >"$work/peer/port" &
  peer=$!
  trap 'kill $peer 2>/dev/null; wait $peer 2>/dev/null || true; [ -n "${KEEP:-}" ] && echo "$work" || rm -rf "$work"' EXIT
  for _ in $(seq 50); do [ "$(wc -l <"$work/peer/port")" -ge "$hosts" ] && break; sleep 0.1; done
  port=$(head -1 "$work/peer/port" | cut -d' ' -f2)
  if [ "$(grep -c " $port\$" "$work/peer/port")" -lt "$hosts" ]; then
    echo "the peer could not listen on port $port of every address" >&2
    return 1
  fi
}
