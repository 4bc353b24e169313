# Sourced by shell tests and benchmarks: start_peer SCRIPT ARGS... starts a peer from
# this folder with Debian's python3 and sets $port once it listens. Needs $work (a
# scratch folder) and the array pids (killed by the caller's trap).
start_peer() {
  local here
  here=$(dirname "${BASH_SOURCE[0]}")
  : >"$work/peer.out"
  /usr/bin/python3 "$here/$1" "${@:2}" >"$work/peer.out" 2>/dev/null &
  pids+=($!)
  # A loaded machine can take seconds to start Python: wait up to 30 s.
  for _ in $(seq 300); do
    port=$(sed -n 's/^PORT //p' "$work/peer.out")
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  echo "peer $1 did not start" >&2
  return 1
}
