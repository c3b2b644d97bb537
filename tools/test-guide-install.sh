#!/usr/bin/env bash
# The maker's guide (docs/MAKING-A-SHOW.md) begins after either README command.
# After the play command the build holds only what playing needs: this runs the
# guide's first step, as written, on such a build (BUILD, default build/, with
# only `tools/play.sh --targets` built) and checks that it installs the engine,
# and the engine alone, into the prefix. tools/test.sh runs it before it builds
# the rest; the whole guide runs later as a ctest test on the full build.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$(cd "${1:-build}" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# ~/vantorgl: this tree, its build the one given.
mkdir "$home/vantorgl"
for entry in "$ROOT"/* "$ROOT"/.[!.]*; do
  name=$(basename "$entry")
  [ -e "$entry" ] && [ "$name" != build ] && [ "$name" != .git ] && ln -s "$entry" "$home/vantorgl/$name"
done
ln -s "$BUILD" "$home/vantorgl/build"

# The step's sh blocks, between its heading and the next one.
awk '/^## 1\./ {on = 1; next} /^## / {on = 0} on && /^```sh$/ {code = 1; next} code && /^```$/ {code = 0; next} on && code' \
  docs/MAKING-A-SHOW.md >"$home/step1.sh"
[ -s "$home/step1.sh" ] || { echo "guide-install: no sh block under '## 1.' in docs/MAKING-A-SHOW.md" >&2; exit 1; }
(cd "$home" && HOME="$home" bash -e step1.sh) >"$home/step1.log" 2>&1 || {
  echo "guide-install: step 1 failed on the play command's build:" >&2; tail -30 "$home/step1.log" >&2; exit 1; }

prefix=$home/vantorgl-engine
status=0
need() { [ -e "$prefix/$1" ] || { echo "guide-install: $1 missing from the prefix" >&2; status=1; }; }
need include/vantorgl/makers/show.h
need bin/vantorgl-content
[ -n "$(find "$prefix" -name VantorGLConfig.cmake -path '*/lib/*')" ] || { echo "guide-install: no CMake package" >&2; status=1; }
for shows in games share/games share/applications share/metainfo share/icons; do
  [ ! -e "$prefix/$shows" ] || { echo "guide-install: $shows installed with the engine" >&2; status=1; }
done
[ $status -eq 0 ] && echo "guide-install: step 1 installs the engine alone from the play command's build"
exit $status
