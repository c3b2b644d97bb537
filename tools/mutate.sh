#!/usr/bin/env bash
# How many real faults do the tests catch? Applies each small source change listed
# in tools/mutations.list (a flipped comparison, a changed constant, a deleted call)
# to a copy of the tree, builds it, runs the test named for the change, then (if
# that passes) the suite until its first failure, and
# reports how many changes the tests caught, naming the ones they missed and the
# ones it could not judge.
#
#   bash tools/mutate.sh              every change in the list
#   bash tools/mutate.sh NAME ...     only the changes named
#   bash tools/mutate.sh --list       the names, with their files
#   bash tools/mutate.sh --check [NAME ...]
#                                     only whether each change applies to the tree
#                                     as it stands (its text found exactly once);
#                                     no copy, no build: seconds
#
# The figure is the changes caught out of all those tried. A change that cannot be
# judged counts against it: one that does not apply, does not build, or whose catch
# cannot be confirmed (the tree as it was no longer builds, the test that caught it
# fails without the change too, or no test can be named and run again). Exit
# status 0 only when every change tried was caught.
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
# exactly once in FILE), "+ TEXT" what replaces it (a "+" alone, or none: the text
# is deleted). Several "-" or "+" lines in a row make one text of several lines,
# each line's indentation written after the "- " or "+ ", an empty line as a "-"
# or "+" alone. An optional "= TEST" after them names the test meant to catch
# the change: it runs first, and the suite runs only when it passes.
declare -a NAMES FILES FROMS TOS HINTS
list_errors=()
parse_list() {
  local line n=-1 number=0 last=""
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    case "$line" in
      "@ "*)
        n=$((n + 1)); read -r _ NAMES[n] FILES[n] <<<"$line"; FROMS[n]=""; TOS[n]=""; HINTS[n]=""; last="@"
        [ -n "${FILES[n]}" ] || list_errors+=("line $number: no file after the name") ;;
      "- "* | "-")
        if [ "$last" != "@" ] && [ "$last" != "-" ]; then list_errors+=("line $number: '-' outside a change"); continue; fi
        [ "$line" = "-" ] && line="- "
        if [ "$last" = "-" ]; then FROMS[n]+=$'\n'${line#- }; else FROMS[n]=${line#- }; fi
        last="-" ;;
      "+ "* | "+")
        if [ "$last" != "-" ] && [ "$last" != "+" ]; then
          list_errors+=("line $number: '+' before its '-'"); continue
        fi
        [ "$line" = "+" ] && line="+ "
        if [ "$last" = "+" ]; then TOS[n]+=$'\n'${line#+ }; else TOS[n]=${line#+ }; fi
        last="+" ;;
      "= "*)
        if [ "$last" != "-" ] && [ "$last" != "+" ]; then list_errors+=("line $number: '=' before its change"); continue; fi
        HINTS[n]=${line#= }; last="=" ;;
      *) last="" ;;
    esac
  done <"$LIST"
  local i
  local -A seen=()
  for i in "${!NAMES[@]}"; do
    [ -z "${seen[${NAMES[i]}]:-}" ] || list_errors+=("${NAMES[i]}: a second change of that name")
    seen[${NAMES[i]}]=1
    [ -n "${FROMS[i]}" ] || list_errors+=("${NAMES[i]}: no '-' text")
    [ "${FROMS[i]}" != "${TOS[i]}" ] || list_errors+=("${NAMES[i]}: its '+' text is its '-' text")
  done
}
parse_list

mode=run
case "${1:-}" in
  --list)
    for i in "${!NAMES[@]}"; do printf '%-34s %s\n' "${NAMES[i]}" "${FILES[i]}"; done
    exit 0 ;;
  --check) mode=check; shift ;;
esac
if [ ${#list_errors[@]} -gt 0 ]; then
  for e in "${list_errors[@]}"; do echo "mutate: $LIST: $e" >&2; done
  exit 2
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

# How often FROM occurs in FILE.
count_in() {
  FROM=$2 perl -0777 -ne 'my $f = $ENV{FROM}; my $n = () = /\Q$f\E/g; print $n' "$1"
}
# Replaces FROM by TO in FILE when FROM occurs exactly once; status 3 otherwise.
replace_once() {
  FROM=$2 TO=$3 perl -0777 -i -pe '
    my ($from, $to) = ($ENV{FROM}, $ENV{TO});
    my $count = () = /\Q$from\E/g;
    if ($count != 1) { $bad = $count; }
    else { s/\Q$from\E/$to/; }
    END { exit 3 if defined $bad; }' "$1"
}

if [ "$mode" = check ]; then
  bad=0
  for i in "${selected[@]}"; do
    file=$ROOT/${FILES[i]}
    if [ ! -f "$file" ]; then
      echo "${NAMES[i]}: no file ${FILES[i]}"; bad=$((bad + 1)); continue
    fi
    n=$(count_in "$file" "${FROMS[i]}")
    if [ "$n" != 1 ]; then echo "${NAMES[i]}: its text is found $n times in ${FILES[i]}"; bad=$((bad + 1)); fi
  done
  echo "== ${#selected[@]} changes, $((${#selected[@]} - bad)) apply exactly once$([ $bad -gt 0 ] && echo ", $bad do not")"
  [ "$bad" -eq 0 ]
  exit
fi

WORK=${MUTATE_DIR:-$(mktemp -d /tmp/mutate.XXXXXX)}
SRC=$WORK/src
BUILD=$WORK/build
echo "mutate: working in $WORK"
mkdir -p "$SRC"

# A change in place is put back however the run ends, so that the kept copy is
# the tree as it was.
MUTATED=""
restore() {
  if [ -n "$MUTATED" ]; then
    cp "$WORK/original" "$MUTATED"
    touch "$MUTATED"
    MUTATED=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM HUP

# The copy made the same as the tree as it stands, uncommitted changes included:
# a file is copied when its content differs (also one a killed run left changed),
# with a new time so that the build takes it; files gone from the tree go from
# the copy, where the build's globs would still find them.
(
  cd "$ROOT"
  git ls-files --cached --others --exclude-standard -z | while IFS= read -r -d '' f; do
    [ -f "$f" ] || continue
    cmp -s "$f" "$SRC/$f" 2>/dev/null || cp --parents "$f" "$SRC"
    printf '%s\0' "$f"
  done
) | sort -z >"$WORK/files"
(cd "$SRC" && find . -type f -printf '%P\0' | sort -z | comm -z -23 - "$WORK/files" | xargs -0 -r rm -f)

# Warnings stay warnings: a change that leaves a variable unused is still a fault
# for the tests to find.
cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_BENCH=OFF -DVANTOR_WERROR=OFF >/dev/null
echo "mutate: building the unchanged tree"
cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || { tail -30 "$WORK/build.log"; exit 1; }

# A ctest pattern that matches exactly the tests named (one a line), and nothing
# else: names may hold the pattern's special characters.
exact_pattern() {
  local name alternatives=""
  while IFS= read -r name; do
    [ -n "$name" ] || continue
    name=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|/]/\\&/g')
    alternatives+="${alternatives:+|}$name"
  done
  printf '^(%s)$' "$alternatives"
}

# Runs ctest in the build with the arguments given; the names of the tests that
# failed in this run (one a line) go to $WORK/failed.
run_ctest() {
  rm -f "$BUILD"/Testing/Temporary/LastTestsFailed*.log
  local status=0
  (cd "$BUILD" && ctest --timeout "$TEST_TIMEOUT" "$@" >"$WORK/ctest.log" 2>&1) || status=$?
  cat "$BUILD"/Testing/Temporary/LastTestsFailed*.log 2>/dev/null | sed -n 's/^[0-9]*://p' >"$WORK/failed" || true
  [ "$status" -eq 0 ] && [ ! -s "$WORK/failed" ]
}

# The suite, fastest layers first, until the first failure. Prints what failed:
# "test NAME" for the first test that failed, or "label LABEL" for a layer that
# failed with no test named; status 0 when every test passed. A failure counts
# only when the failed tests fail again on their own: a loaded machine can fail a
# timed test. The packages' checks of the test command (tools/test-packages.sh)
# are not run: they configure the build for /usr, which the suite's guide test
# then cannot install from.
run_suite() {
  local label names
  for label in unit fuzz gl e2e; do
    run_ctest -j"$JOBS" -L "^$label\$" --stop-on-failure && continue
    names=$(cat "$WORK/failed")
    if [ -z "$names" ]; then echo "label $label"; return 1; fi
    if run_ctest --no-tests=error -R "$(exact_pattern <<<"$names")"; then
      # Only a test the first failure stopped short remains; run the layer again.
      run_ctest -j"$JOBS" -L "^$label\$" && continue
      names=$(cat "$WORK/failed")
      if [ -z "$names" ]; then echo "label $label"; return 1; fi
      run_ctest --no-tests=error -R "$(exact_pattern <<<"$names")" && continue
    fi
    names=$(cat "$WORK/failed")
    if [ -z "$names" ]; then echo "label $label"; return 1; fi
    echo "test $(head -1 <<<"$names")"
    return 1
  done
  return 0
}

# Runs again, on its own, what run_suite named. A test that cannot be found has
# not passed.
run_again() {
  case "$1" in
    "test "*) run_ctest --no-tests=error -R "$(exact_pattern <<<"${1#test }")" ;;
    "label "*) run_ctest -j"$JOBS" -L "^${1#label }\$" ;;
    *) return 1 ;;
  esac
}

echo "mutate: running the suite on the unchanged tree"
if first=$(run_suite); then :; else
  echo "mutate: the unchanged tree already fails ($first); mend that first" >&2
  exit 1
fi

caught=() missed=() unjudged=()
total=${#selected[@]}
done_count=0
for i in "${selected[@]}"; do
  name=${NAMES[i]} file=${FILES[i]}
  done_count=$((done_count + 1))
  tag="[$done_count/$total] $name"
  target=$SRC/$file
  if [ ! -f "$target" ]; then
    unjudged+=("$name (no file $file)")
    echo "$tag: not judged: no file $file"
    continue
  fi
  cp -p "$target" "$WORK/original"
  MUTATED=$target
  if ! replace_once "$target" "${FROMS[i]}" "${TOS[i]}"; then
    if cmp -s "$WORK/original" "$target"; then MUTATED=""; else restore; fi
    unjudged+=("$name (its text is not found exactly once in $file)")
    echo "$tag: not judged: its text is not found exactly once in $file"
    continue
  fi
  # The test named for the change first: it must fail twice on its own, so that
  # a loaded machine's one slow run is not taken for a catch.
  first=""
  built=1
  cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || built=""
  if [ -n "$built" ] && [ -n "${HINTS[i]}" ]; then
    if ! (cd "$BUILD" && ctest -N -R "$(exact_pattern <<<"${HINTS[i]}")" | grep -q "^Total Tests: 1$"); then
      echo "$tag: its test ${HINTS[i]} is not in the suite; the whole suite runs" >&2
    elif ! run_again "test ${HINTS[i]}" && ! run_again "test ${HINTS[i]}"; then
      first="test ${HINTS[i]}"
    fi
  fi
  if [ -z "$built" ]; then
    unjudged+=("$name (does not build)")
    echo "$tag: not judged: does not build"
  elif [ -z "$first" ] && first=$(run_suite); then
    missed+=("$name ($file: '${FROMS[i]}' -> '${TOS[i]}')")
    echo "$tag: MISSED"
  else
    # A catch counts when what made it passes on the tree as it was: a test that
    # fails without the change only shows a loaded machine or a broken tree.
    restore
    if ! cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1; then
      unjudged+=("$name (the tree as it was no longer builds)")
      echo "$tag: not judged: the tree as it was no longer builds"
    elif run_again "$first" || run_again "$first"; then
      caught+=("$name")
      echo "$tag: caught by ${first#* }"
    else
      unjudged+=("$name (its catch, ${first#* }, fails on the unchanged tree too)")
      echo "$tag: not judged: ${first#* } fails without the change too"
    fi
  fi
  # The original back, with a new time so that the next build takes it again.
  restore
done

# The tree as it was, so that the kept copy is ready for another run.
cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || true

tried=${#selected[@]}
echo
echo "== mutations: ${#caught[@]} of $tried caught$([ "$tried" -gt 0 ] && echo " ($((100 * ${#caught[@]} / tried)) %)"), ${#missed[@]} missed, ${#unjudged[@]} not judged"
if [ ${#missed[@]} -gt 0 ]; then
  echo "missed:"
  printf '  %s\n' "${missed[@]}"
fi
if [ ${#unjudged[@]} -gt 0 ]; then
  echo "not judged (counted as not caught):"
  printf '  %s\n' "${unjudged[@]}"
fi
[ ${#caught[@]} -eq "$tried" ]
