#!/usr/bin/env bash
# Sets everything up, builds, and plays the demo from the stage directory.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
cd build/stage
exec ./tessaly
