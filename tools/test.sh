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

# Each step says when it starts, in seconds from the start of the run.
step() { echo "== $1 (at ${SECONDS} s)"; }
step "build"
# Line tables only: a third less compile time than full debug information, and
# a failure's backtrace still names file and line.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_WERROR=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
# What the play command builds, first: the maker's guide must begin from such a
# tree as well as from a full build.
# shellcheck disable=SC2046
cmake --build build -j"$JOBS" --target $(bash tools/play.sh --targets)
status=0
step "the maker's guide, step 1, on the play command's build"
bash tools/test-guide-install.sh build || status=1
cmake --build build -j"$JOBS"

step "tests"
(cd build && ctest -j"$JOBS" --output-on-failure) || status=1

step "packages"
bash tools/test-packages.sh build || status=1

# Every layer once more under the sanitizers, the programs the tests start
# included (they inherit the options), the full show among them. What system
# libraries keep until exit is not ours: tests/sanitizer/lsan.supp names them. A
# sanitizer's report ends a program with status 86, which no test expects.
step "all layers with sanitizers"
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

step "fuzzing (${FUZZ_SECONDS}s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DVANTOR_WERROR=ON -DVANTOR_UNIT_ONLY=ON -DVANTOR_TESTS=ON -DVANTOR_BENCH=OFF >/dev/null
fuzzers=$(cd tests/fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$//' || true)
# shellcheck disable=SC2086
[ -z "$fuzzers" ] || cmake --build build-fuzz -j"$JOBS" --target $fuzzers
# One fuzzer a core: each is one process on one thread.
fuzz() {
  local f=$1 short=${1%_fuzz} work
  work=$(mktemp -d)
  cp -r "tests/fuzz/corpus/$short/." "$work/" 2>/dev/null || true
  if (cd build-fuzz && "./tests/$f" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/crash-" "$work" >"$work.log" 2>&1); then
    echo "fuzz $short: ok"
  else
    echo "fuzz $short: FAILED"; tail -40 "$work.log"; ls "$work"/crash-* 2>/dev/null || true
    rm -rf "$work" "$work.log"
    return 1
  fi
  rm -rf "$work" "$work.log"
}
fuzz_passed=0
fuzz_failed=0
running=()
for f in $fuzzers; do
  fuzz "$f" &
  running+=($!)
  if [ ${#running[@]} -ge "$JOBS" ]; then
    if wait "${running[0]}"; then fuzz_passed=$((fuzz_passed + 1)); else fuzz_failed=$((fuzz_failed + 1)); fi
    running=("${running[@]:1}")
  fi
done
for pid in "${running[@]}"; do
  if wait "$pid"; then fuzz_passed=$((fuzz_passed + 1)); else fuzz_failed=$((fuzz_failed + 1)); fi
done
[ "$fuzz_failed" -eq 0 ] || status=1
echo "fuzz: $fuzz_passed passed, $fuzz_failed failed"
echo "== done in ${SECONDS} s"

exit $status
