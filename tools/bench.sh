#!/usr/bin/env bash
# Builds the benchmarks (optimised, in build-bench/) and runs the ones named, or
# all of them: bash tools/bench.sh [show_frame capture startup ...]. Each prints
# its figures as ratios against a baseline it measures in the same run; run them
# on a quiet machine and compare ratios, not times, between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVANTOR_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)"

if [ $# -eq 0 ]; then
  set -- $(cd bench && ls *.cpp | sed 's/\.cpp$//')
fi
status=0
for name in "$@"; do
  echo "== bench_$name"
  build-bench/bench/bench_"$name" || status=1
done
exit $status
