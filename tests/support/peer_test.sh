# The frame of a shell test that talks to loopback peers, sourced first with $peers
# set (tests/peers): $work, a scratch folder removed at exit; pids, the peers
# start_peer started, stopped at exit; start_peer; and check/checks_done.
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
source "$peers/start_peer.sh"
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
