#!/usr/bin/env bash
# How many real faults do the tests catch? Applies each small source change listed
# in tools/mutations.list (a flipped comparison, a changed constant, a deleted call)
# to a copy of the tree, builds it, runs the suite until its first failure, and
# reports how many changes the tests caught, naming the ones they missed.
#
#   bash tools/mutate.sh              every change in the list
#   bash tools/mutate.sh NAME ...     only the changes named
#   bash tools/mutate.sh --list       the names, with their files
#
# Run by hand, not in CI: each change costs a build and up to a whole test run
# (an hour or two for the list on two cores). The copy (with uncommitted changes)
# lives in $MUTATE_DIR (default: a new directory under /tmp) and is kept, so a
# second run there builds only what changed. Needs what tools/test.sh sets up.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
LIST=$ROOT/tools/mutations.list
JOBS=$(nproc)
TEST_TIMEOUT=${MUTATE_TEST_TIMEOUT:-240}

# The list: "@ NAME FILE" opens a change, "- TEXT" is the text it replaces (found
# exactly once in FILE), "+ TEXT" what replaces it (none: the text is deleted).
declare -a NAMES FILES FROMS TOS
parse_list() {
  local line n=-1
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
      "@ "*) n=$((n + 1)); read -r _ NAMES[n] FILES[n] <<<"$line"; FROMS[n]=""; TOS[n]="" ;;
      "- "*) FROMS[n]=${line#- } ;;
      "+ "*) TOS[n]=${line#+ } ;;
      "+") TOS[n]="" ;;
    esac
  done <"$LIST"
}
parse_list

if [ "${1:-}" = "--list" ]; then
  for i in "${!NAMES[@]}"; do printf '%-34s %s\n' "${NAMES[i]}" "${FILES[i]}"; done
  exit 0
fi
selected=()
if [ $# -gt 0 ]; then
  for want in "$@"; do
    found=""
    for i in "${!NAMES[@]}"; do [ "${NAMES[i]}" = "$want" ] && selected+=("$i") && found=1; done
    [ -n "$found" ] || { echo "mutate: no change named $want in $LIST" >&2; exit 2; }
  done
else
  selected=("${!NAMES[@]}")
fi

# Replaces FROM by TO in FILE when FROM occurs exactly once; status 3 otherwise.
replace_once() {
  FROM=$2 TO=$3 perl -0777 -i -pe '
    my ($from, $to) = ($ENV{FROM}, $ENV{TO});
    my $count = () = /\Q$from\E/g;
    if ($count != 1) { $bad = $count; }
    else { s/\Q$from\E/$to/; }
    END { exit 3 if defined $bad; }' "$1"
}

WORK=${MUTATE_DIR:-$(mktemp -d /tmp/mutate.XXXXXX)}
SRC=$WORK/src
BUILD=$WORK/build
echo "mutate: working in $WORK"
mkdir -p "$SRC"
# The tree as it stands, uncommitted changes included; cp -u keeps what is already
# there untouched, so an earlier copy rebuilds only what changed.
git ls-files --cached --others --exclude-standard -z | xargs -0 cp -u --parents -t "$SRC"

# Warnings stay warnings: a change that leaves a variable unused is still a fault
# for the tests to find.
cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_BENCH=OFF -DVANTOR_WERROR=OFF >/dev/null
echo "mutate: building the unchanged tree"
cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || { tail -30 "$WORK/build.log"; exit 1; }

# The suite, fastest layers first, until the first failure. Prints the first test
# that failed; status 0 when every test passed. A failure counts only when the
# failed tests fail again on their own: a loaded machine can fail a timed test.
run_suite() {
  local label
  for label in unit fuzz gl e2e; do
    if ! (cd "$BUILD" && ctest -j"$JOBS" -L "^$label\$" --stop-on-failure --timeout "$TEST_TIMEOUT" \
          >"$WORK/ctest.log" 2>&1); then
      if (cd "$BUILD" && ctest --rerun-failed --timeout "$TEST_TIMEOUT" >"$WORK/rerun.log" 2>&1); then
        # Only a test the first failure stopped short remains; run the layer again.
        (cd "$BUILD" && ctest -j"$JOBS" -L "^$label\$" --timeout "$TEST_TIMEOUT" >"$WORK/ctest.log" 2>&1) && continue
        (cd "$BUILD" && ctest --rerun-failed --timeout "$TEST_TIMEOUT" >"$WORK/rerun.log" 2>&1) && continue
      fi
      grep -m1 -oE '[0-9]+ - [^ ]+ \(' "$WORK/rerun.log" | sed -E 's/^[0-9]+ - //; s/ \($//' || echo "($label)"
      return 1
    fi
  done
  return 0
}

echo "mutate: running the suite on the unchanged tree"
if first=$(run_suite); then :; else
  echo "mutate: the unchanged tree already fails ($first); mend that first" >&2
  exit 1
fi

caught=() missed=() skipped=()
total=${#selected[@]}
done_count=0
for i in "${selected[@]}"; do
  name=${NAMES[i]} file=${FILES[i]}
  done_count=$((done_count + 1))
  target=$SRC/$file
  if [ ! -f "$target" ]; then
    skipped+=("$name (no file $file)")
    echo "[$done_count/$total] $name: no file $file"
    continue
  fi
  cp -p "$target" "$WORK/original"
  if ! replace_once "$target" "${FROMS[i]}" "${TOS[i]}"; then
    skipped+=("$name (its text is not found exactly once in $file)")
    echo "[$done_count/$total] $name: text not found exactly once in $file"
    continue
  fi
  if ! cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1; then
    skipped+=("$name (does not build)")
    echo "[$done_count/$total] $name: does not build"
  elif first=$(run_suite); then
    missed+=("$name ($file: '${FROMS[i]}' -> '${TOS[i]}')")
    echo "[$done_count/$total] $name: MISSED"
  else
    # A catch counts when the test that made it passes on the tree as it was:
    # a test that fails without the change only shows a loaded machine.
    cp "$WORK/original" "$target"
    touch "$target"
    if cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 &&
       ! (cd "$BUILD" && ctest -R "^${first//./\\.}\$" --timeout "$TEST_TIMEOUT" >"$WORK/check.log" 2>&1) &&
       ! (cd "$BUILD" && ctest -R "^${first//./\\.}\$" --timeout "$TEST_TIMEOUT" >"$WORK/check.log" 2>&1); then
      skipped+=("$name (its catch, $first, fails on the unchanged tree too)")
      echo "[$done_count/$total] $name: not judged: $first fails without the change too"
    else
      caught+=("$name")
      echo "[$done_count/$total] $name: caught by $first"
    fi
  fi
  # The original back, with a new time so that the next build takes it again.
  cp "$WORK/original" "$target"
  touch "$target"
done

# The tree as it was, so that the kept copy is ready for another run.
cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || true

judged=$(( ${#caught[@]} + ${#missed[@]} ))
echo
echo "== mutations: ${#caught[@]} of $judged caught$( [ "$judged" -gt 0 ] && echo " ($(( 100 * ${#caught[@]} / judged )) %)")"
if [ ${#missed[@]} -gt 0 ]; then
  echo "missed:"
  printf '  %s\n' "${missed[@]}"
fi
if [ ${#skipped[@]} -gt 0 ]; then
  echo "not judged:"
  printf '  %s\n' "${skipped[@]}"
fi
[ ${#missed[@]} -eq 0 ]
