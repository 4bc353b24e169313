#!/usr/bin/env bash
# Throughput of sending a message with a large attachment through TmsSMTP (vendrix-cli
# net mail) against curl sending a message file of the same bytes to the same local
# server (aiosmtpd), with the peak memory of our process. Each side runs ROUNDS
# times, alternating; the best time of each counts.
#   bench/mail_bench.sh [BUILD_DIR] [MiB] [ROUNDS]
# BUILD_DIR holds a Release build (default build/release); MiB defaults to 50.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
mib=${2:-50}
rounds=${3:-3}
cli="$build/src/cli/vendrix-cli"
peers=tests/peers
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

source "$peers/start_peer.sh"

timed() { /usr/bin/time -f '%e %M' -o "$work/t" "$@" >/dev/null 2>&1; cat "$work/t"; }

head -c $((mib * 1048576)) /dev/urandom >"$work/payload.bin"
printf 'The new version is attached.\n' >"$work/body.txt"
start_peer smtp_peer.py aiosmtpd --out "$work/out"

best_ours=999999
best_curl=999999
peak_kb=0
for round in $(seq "$rounds"); do
  rm -f "$work/out"/*
  read -r secs kb < <(timed "$cli" net mail --server "127.0.0.1:$port" --from jo@example.com \
    --to sites@download.test --subject "Bench $round" --body "$work/body.txt" \
    --attach "$work/payload.bin" --security none)
  received=$(ls "$work"/out/msg-*.eml)
  cmp -s <(/usr/bin/python3 "$peers/smtp_check.py" "$received" --attachment 0) \
    "$work/payload.bin" || { echo "the attachment arrived changed" >&2; exit 1; }
  # curl sends the very message we composed, as a file of the same size.
  cp "$received" "$work/message.eml"
  best_ours=$(awk -v a="$best_ours" -v b="$secs" 'BEGIN { print (b < a ? b : a) }')
  peak_kb=$((kb > peak_kb ? kb : peak_kb))
  read -r csecs _ < <(timed curl -s --mail-from jo@example.com --mail-rcpt sites@download.test \
    -T "$work/message.eml" "smtp://127.0.0.1:$port")
  best_curl=$(awk -v a="$best_curl" -v b="$csecs" 'BEGIN { print (b < a ? b : a) }')
done

size_mib=$(awk -v b="$(stat -c %s "$work/message.eml")" 'BEGIN { printf "%.1f", b / 1048576 }')
rate() { awk -v s="$1" -v m="$size_mib" 'BEGIN { printf "%.0f MiB/s", (s > 0 ? m / s : 0) }'; }
echo "attachment: $mib MiB, message: $size_mib MiB, best of $rounds"
echo "SMTP send: ours $best_ours s ($(rate "$best_ours")), curl $best_curl s ($(rate "$best_curl"));" \
  "ours/curl throughput $(awk -v a="$best_ours" -v b="$best_curl" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }');" \
  "our peak memory $((peak_kb / 1024)) MiB"
