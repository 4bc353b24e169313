#!/usr/bin/env bash
# Sending a message with a large attachment through our SMTP client (vendrix-cli net
# mail) against curl sending a message file of the same bytes to the same local
# server (aiosmtpd), with the peak memory of our process.
#   bench/mail_bench.sh [BUILD_DIR] [MiB]
# BUILD_DIR holds a Release build (default build/release); MiB defaults to 50.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
mib=${2:-50}
cli="$build/src/cli/vendrix-cli"
peers=tests/peers
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
source "$peers/start_peer.sh"
source bench/lib.sh

head -c $((mib * 1048576)) /dev/urandom >"$work/payload.bin"
printf 'The new version is attached.\n' >"$work/body.txt"
start_peer smtp_peer.py aiosmtpd --out "$work/out"

ours_mail() {
  rm -f "$work/out"/*
  run_timed "$cli" net mail --server "127.0.0.1:$port" --from jo@example.com \
    --to sites@download.test --subject "Bench" --body "$work/body.txt" \
    --attach "$work/payload.bin" --security none
  local received
  received=$(ls "$work"/out/msg-*.eml)
  cmp -s <(/usr/bin/python3 "$peers/smtp_check.py" "$received" --attachment 0) \
    "$work/payload.bin" || { echo "the attachment arrived changed" >&2; return 1; }
  # curl sends the very message we composed, as a file of the same size.
  cp "$received" "$work/message.eml"
}
curl_mail() {
  [ -f "$work/message.eml" ] || ours_mail >/dev/null
  run_timed curl -sS --mail-from jo@example.com --mail-rcpt sites@download.test \
    -T "$work/message.eml" "smtp://127.0.0.1:$port"
}

echo "attachment: $mib MiB"
compare "SMTP send, $mib MiB attached" "curl smtp -T" 1.0 ours_mail curl_mail
