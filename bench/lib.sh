# Sourced by the benchmarks: timing of one command and the comparison of ours with a
# peer over interleaved rounds. Needs $work (a scratch folder).
#   ROUNDS (environment, default 5): rounds of each comparison.

ROUNDS=${ROUNDS:-5}

# run_timed CMD...: runs CMD with its output discarded and prints "WALL CPU KIB"
# (wall seconds to the microsecond, user + system CPU seconds, peak memory). A command
# that fails stops the benchmark: a ratio of a failed run would mean nothing.
run_timed() {
  local start end
  start=$EPOCHREALTIME
  if ! /usr/bin/time -f '%U %S %M' -o "$work/time.out" "$@" >"$work/cmd.out" 2>&1; then
    echo "failed: $*" >&2
    tail -5 "$work/cmd.out" >&2
    return 1
  fi
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{ printf "%.4f %.2f %d\n", e - s, $1 + $2, $3 }' "$work/time.out"
}

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
      printf "RESULT %-34s ours %8.3f s (CPU %6.2f s, %4d MiB)  %-22s %8.3f s (CPU %6.2f s)  ratio %5.2f [%s over %d rounds], CPU ratio %s%s\n",
        l, ow, oc, om / 1024, peer, pw, pc, r, s, n, (pc > 0 ? sprintf("%.2f", rc) : "-"), verdict
    }'
}
