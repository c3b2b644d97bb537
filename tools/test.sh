#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: the ordinary build's unit, GL,
# end-to-end and fuzz-replay tests; the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer; then each libFuzzer target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"

echo "== tests"
status=0
(cd build && ctest -j"$JOBS" --output-on-failure) || status=1

echo "== unit tests with sanitizers"
CC=gcc CXX=g++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON \
  -DVANTOR_UNIT_ONLY=ON -DVANTOR_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS" --target unit_tests
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j"$JOBS" -L unit --output-on-failure) || status=1

echo "== fuzzing (${FUZZ_SECONDS}s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
  -DVANTOR_UNIT_ONLY=ON -DVANTOR_TESTS=ON -DVANTOR_BENCH=OFF >/dev/null
fuzzers=$(cd tests/fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//' || true)
fuzz_passed=0
fuzz_failed=0
for f in $fuzzers; do
  cmake --build build-fuzz -j"$JOBS" --target "$f"
  short=${f%_fuzz}
  work=$(mktemp -d)
  cp -r "tests/fuzz/corpus/$short/." "$work/" 2>/dev/null || true
  if (cd build-fuzz && "./tests/$f" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/crash-" "$work" >"$work.log" 2>&1); then
    fuzz_passed=$((fuzz_passed + 1))
    echo "fuzz $short: ok"
  else
    fuzz_failed=$((fuzz_failed + 1))
    echo "fuzz $short: FAILED"; tail -40 "$work.log"; ls "$work"/crash-* 2>/dev/null || true
    status=1
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $fuzz_passed passed, $fuzz_failed failed"

exit $status
