#!/usr/bin/env bash
# Sets everything up, builds, and plays the demo from the stage directory.
# Without a display to play on (no DISPLAY, or one that does not answer), it
# captures the show instead, under a private X server, to build/capture/: the
# video tessaly.mp4 with the music, and the contact sheet tessaly-sheet.png.
#
#   bash tools/play.sh --targets   only names what it builds (tools/test.sh
#                                  builds that much first, to try the maker's
#                                  guide on a tree as this command leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what playing needs: the production, the capture program and the stage's
# data (the content generator's tree and the engine's geometry stage). Tests and
# benchmarks build in tools/test.sh.
PLAY_TARGETS="tessaly tessaly-capture tessaly-stage"
if [ "${1:-}" = "--targets" ]; then
  echo "$PLAY_TARGETS"
  exit 0
fi
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
cmake --build build -j"$(nproc)" --target $PLAY_TARGETS
cd build/stage

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./tessaly
fi

echo "play: no display to play on (DISPLAY is '${DISPLAY:-}'); capturing the show to a video instead"
capture_dir="$(cd .. && pwd)/capture"
mkdir -p "$capture_dir"

# A private X server; Xvfb picks a free display number itself and tells it on a pipe.
fifo="$(mktemp -u)"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp +extension GLX 3>"$fifo" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
display_number=""
read -r -t 30 display_number <"$fifo" || true
if [ -z "$display_number" ]; then
  echo "play: the private X server (Xvfb) did not start" >&2
  exit 1
fi
export DISPLAY=":$display_number"

./tessaly-capture --out "$capture_dir/tessaly.mp4" --sheet "$capture_dir/tessaly-sheet.png"
echo "play: the show is in $capture_dir/tessaly.mp4 (video with music)"
echo "play: one frame per second is in $capture_dir/tessaly-sheet.png (contact sheet)"
