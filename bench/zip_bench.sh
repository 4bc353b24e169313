#!/usr/bin/env bash
# Zipping one program file at level 9: our archiver against "zip -9" and "pigz -9 -K"
# (a zip archive from pigz's parallel deflate), with the archive sizes. The file is half incompressible, half text, as a program with its
# resources is.
#   bench/zip_bench.sh [BUILD_DIR] [MiB]
# BUILD_DIR holds a Release build (default build/release); MiB defaults to 100.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
mib=${2:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source bench/lib.sh

/usr/bin/python3 - "$work/program.exe" "$mib" <<'PY'
import os, sys
half = int(sys.argv[2]) * 1024 * 1024 // 2
with open(sys.argv[1], "wb") as f:
    f.write(os.urandom(half))
    line = b"".join(b"%d,%d\r\n" % (i, i * 7919 % 100003) for i in range(4096))
    f.write((line * (half // len(line) + 1))[:half])
PY
ours() { run_timed "$build/bench/zip_bench" "$work/program.exe" "$work/ours.zip"; }
zip9() { rm -f "$work/zip.zip"; run_timed zip -q -9 -j "$work/zip.zip" "$work/program.exe"; }
pigz9() { rm -f "$work/program.exe.zip"; run_timed pigz -9 -K -k "$work/program.exe"; }

echo "program: $mib MiB"
compare "zip level 9, $mib MiB" "zip -9" 1.0 ours zip9
# pigz deflates in blocks on every core as we do: the goal is its pace.
compare "zip level 9, $mib MiB" "pigz -9 -K" 1.1 ours pigz9
size() { stat -c %s "$1"; }
echo "archive sizes: ours $(size "$work/ours.zip"), zip -9 $(size "$work/zip.zip"), pigz -9 -K $(size "$work/program.exe.zip")"
awk -v o="$(size "$work/ours.zip")" -v z="$(size "$work/zip.zip")" -v n="$mib" 'BEGIN {
  d = (o - z) * 100 / z
  printf "RESULT zip archive size, %d MiB              ours %d bytes, zip -9 %d bytes: %+.3f %%, goal +0.5 %% %s\n",
    n, o, z, d, (d <= 0.5 ? "met" : "MISSED")
}'
# The same archive every time.
cp "$work/ours.zip" "$work/first.zip"
ours >/dev/null
cmp -s "$work/ours.zip" "$work/first.zip" && echo "RESULT zip archive identical across runs: yes" ||
  echo "RESULT zip archive identical across runs: NO"
