#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent and quick when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-image-dev libepoxy-dev libglu1-mesa-dev libgl1-mesa-dri
  libpng-dev zlib1g-dev libdeflate-dev libjpeg-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation fonts-play
  libmpg123-dev libfftw3-dev libmp3lame-dev lame
  libgtk-3-dev libasound2-dev
  libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils
  clang libclang-rt-14-dev
  lib3ds-dev libassimp-dev assimp-testmodels glslang-tools
  ffmpeg
  help2man file lintian desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
