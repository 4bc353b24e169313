#!/usr/bin/env bash
# Builds Release (build/release: optimised, no sanitizers) and runs every benchmark,
# each of ours beside its peer, in one go; ends with the table of ratios. The load
# of the machine before each benchmark is printed: on a shared machine compare
# figures taken under about the same load.
#   bench/run_all.sh [ROUNDS]     (ROUNDS of each comparison, default 5; the update 3)
set -euo pipefail
cd "$(dirname "$0")/.."
export ROUNDS=${1:-5}
build=build/release
log=$(mktemp)
trap 'rm -f "$log"' EXIT

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRIX_BENCH=ON \
  -DVENDRIX_TESTS=OFF -DVENDRIX_SANITIZE=OFF -DVENDRIX_WERROR=OFF >/dev/null
cmake --build "$build" -j2 --target vendrix-cli zip_bench update_bench bench_timer \
  $(grep -q 'VENDRIX_GUI:BOOL=ON' "$build/CMakeCache.txt" && echo vendrix)

load() { cut -d' ' -f1-3 /proc/loadavg; }
run() {
  echo "== $1 (load $(load))"
  "bench/$1" "$build" "${@:2}" 2>&1 | tee -a "$log" || echo "RESULT $1 did not finish" | tee -a "$log"
}
run net_bench.sh
run mail_bench.sh
run zip_bench.sh
run zip_sites_bench.sh
run catalogue_bench.sh
ROUNDS=${UPDATE_ROUNDS:-3} run update_bench.sh
run run_bench.sh
run slow_sites_bench.sh
run history_bench.sh
echo "== ratios (ours / peer; medians of interleaved rounds, spread of the rounds' ratios; load now $(load))"
grep '^RESULT' "$log" | sed 's/^RESULT //'
