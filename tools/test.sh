#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: the ordinary build's unit, GL,
# end-to-end and fuzz-replay tests; the Debian packages made from that build,
# checked, unpacked and (as root) installed (tools/test-packages.sh); the same
# layers again built with AddressSanitizer and UndefinedBehaviorSanitizer (one
# full show among them); then each libFuzzer target for a bounded time.
# Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
bash tools/setup.sh

JOBS=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

echo "== build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"

echo "== tests"
status=0
(cd build && ctest -j"$JOBS" --output-on-failure) || status=1

echo "== packages"
bash tools/test-packages.sh build || status=1

# Every layer once more under the sanitizers, the programs the tests start
# included (they inherit the options), the full show among them. What system
# libraries keep until exit is not ours: tests/sanitizer/lsan.supp names them. A
# sanitizer's report ends a program with status 86, which no test expects.
echo "== all layers with sanitizers"
# -O1 with line tables only: half the compile time of -O2 -g, and the reports
# still name file and line.
CC=gcc CXX=g++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_SANITIZE=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DVANTOR_WERROR=ON -DVANTOR_UNIT_ONLY=OFF -DVANTOR_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
(cd build-asan &&
  ASAN_OPTIONS=detect_leaks=1:exitcode=86 \
  LSAN_OPTIONS=suppressions=$ROOT/tests/sanitizer/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
  ctest -j"$JOBS" --output-on-failure) || status=1

echo "== fuzzing (${FUZZ_SECONDS}s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
  -DVANTOR_WERROR=ON -DVANTOR_UNIT_ONLY=ON -DVANTOR_TESTS=ON -DVANTOR_BENCH=OFF >/dev/null
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
