#!/usr/bin/env bash
# The Debian packages as a user meets them (a step of tools/test.sh; runs alone
# too): builds them from a tested build (default: build), checks them with
# lintian, validates the desktop entry and the metainfo, unpacks both into a
# temporary root and plays the unpacked tessaly-capture from an unrelated
# directory to the same contact sheet as the stage's. As root it also installs
# the package with apt-get, captures a second from /tmp and removes it again,
# with whatever apt brought along: the machine's packages stay as they were.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
status=0
fail() {
  echo "packages: FAILED: $*"
  status=1
}

work=$(mktemp -d)
# What a maker leaves in the stage (a capture's frames, a file beside the data)
# is theirs: no package or install may carry it.
leftovers=("$build/stage/frames-left-$$" "$build/stage/data/left-$$.png")
trap 'rm -rf "$work" "${leftovers[@]}"' EXIT
mkdir "${leftovers[0]}"
touch "${leftovers[0]}/frame_000000.png" "${leftovers[1]}"

bash tools/package.sh "$build"
debs=("$build"/tessaly_*.deb "$build"/libvantorgl-dev_*.deb)

echo "== lintian"
# Errors fail the run; warnings and notes are shown.
lintian --fail-on error --display-info "${debs[@]}" >"$work/lintian" 2>&1 || fail "lintian reports errors"
grep -v "^running with root privileges" "$work/lintian" || true

root=$work/root
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$root"; done
# The packages' dependencies come from the system, as apt brings them: the
# production's face is fonts-play's file, which the data links to.
font=Data/General/c_font.ttf
[ -L "$root/usr/share/games/tessaly/$font" ] || fail "the package carries a copy of the face, not a link to fonts-play's"
mkdir -p "$root/usr/share/fonts/truetype"
ln -s /usr/share/fonts/truetype/play "$root/usr/share/fonts/truetype/play"

echo "== desktop entry and metainfo"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate"
# Offline: the metainfo's home page and screenshot are addresses the project
# publishes at, which the validator would fetch otherwise.
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

echo "== the show installed to another prefix"
# Only the show's data, whatever lies in the stage beside it; the menu entry
# runs the program where this install put it.
cmake --install "$build" --component tessaly --prefix "$work/elsewhere-prefix" >/dev/null
for left in frames-left-$$ data/left-$$.png; do
  [ ! -e "$work/elsewhere-prefix/share/games/tessaly/$left" ] || fail "the install carries $left, left in the stage"
  [ ! -e "$root/usr/share/games/tessaly/$left" ] || fail "the package carries $left, left in the stage"
done
grep -qx "Exec=$work/elsewhere-prefix/games/tessaly" "$work"/elsewhere-prefix/share/applications/*.desktop ||
  fail "the desktop entry installed to another prefix does not run its program there"
grep -qx "Exec=/usr/games/tessaly" "$root"/usr/share/applications/*.desktop || fail "the package's desktop entry"

echo "== the unpacked data against the stage's"
# Every folder of the stage is the show's data, whether the show's 47 seconds
# read it or not (the water scene's files are not shown there).
for dir in "$build"/stage/*/; do
  name=$(basename "$dir")
  [ "$name" != "frames-left-$$" ] || continue
  diff -r -x "left-$$.png" "$dir" "$root/usr/share/games/tessaly/$name" >/dev/null ||
    fail "the package's $name differs from the stage's"
done

echo "== the unpacked capture, started elsewhere, against the stage"
# Both off screen (no DISPLAY), the show's first eight seconds (every file it
# reads is loaded all the same); the stage is copied, as the tests never write into it.
cp -r "$build/stage" "$work/stage"
rm -f "$work/stage/debug.log"
mkdir "$work/elsewhere" "$work/state"
(cd "$work/stage" && env -u DISPLAY ./tessaly-capture --to 0:08.0 --sheet "$work/stage-sheet.png" \
  >/dev/null 2>"$work/stage.err") ||
  { cat "$work/stage.err"; fail "the stage's capture"; }
(cd "$work/elsewhere" && env -u DISPLAY XDG_STATE_HOME="$work/state" "$root/usr/games/tessaly-capture" \
  --to 0:08.0 --sheet sheet.png >/dev/null 2>"$work/elsewhere.err") || { cat "$work/elsewhere.err"; fail "the unpacked capture"; }
cmp "$work/stage-sheet.png" "$work/elsewhere/sheet.png" || fail "the unpacked capture's contact sheet differs from the stage's"
grep -qF "(data) reading the data installed in $root/usr/share/games/tessaly " "$work/state/tessaly/debug.log" ||
  fail "the unpacked capture's log does not name the installed data"
[ ! -e "$work/elsewhere/debug.log" ] || fail "the unpacked capture left debug.log where it was started"

if [ "$(id -u)" -ne 0 ]; then
  echo "packages: not root: the apt-get install check is left out"
elif dpkg-query -W -f='${db:Status-Abbrev}' tessaly 2>/dev/null | grep -q '^ii'; then
  echo "packages: tessaly is installed on this machine already: the apt-get install check is left out"
else
  echo "== apt-get install ./tessaly_*.deb, a second captured from /tmp, removed again"
  installed() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }
  installed >"$work/before"
  export DEBIAN_FRONTEND=noninteractive
  if apt-get install -y -q "$build"/tessaly_*.deb >"$work/apt.log" 2>&1; then
    (cd /tmp && env -u DISPLAY XDG_STATE_HOME="$work/state-installed" /usr/games/tessaly-capture --to 0:01.0 \
      --sheet "$work/installed-sheet.png" >/dev/null 2>"$work/installed.err") ||
      { cat "$work/installed.err"; fail "the installed capture"; }
    [ -s "$work/installed-sheet.png" ] || fail "the installed capture wrote no contact sheet"
  else
    cat "$work/apt.log"
    fail "apt-get install"
  fi
  installed >"$work/after"
  # What apt installed: the package and anything it brought along.
  added=$(comm -13 "$work/before" "$work/after")
  if [ -n "$added" ]; then
    echo "packages: removing $(echo $added)"
    # shellcheck disable=SC2086
    apt-get purge -y -q $added >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge"; }
  fi
  installed >"$work/end"
  cmp -s "$work/before" "$work/end" || fail "the machine's packages differ from before: $(diff "$work/before" "$work/end" | tr '\n' ' ')"
fi

[ $status -eq 0 ] && echo "packages: ok"
exit $status
