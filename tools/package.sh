#!/usr/bin/env bash
# Builds the Debian packages: tessaly (the show, its capture and preview, its
# desktop entry, icon, metainfo and manual pages) and libvantorgl-dev (the
# engine's headers, libraries and CMake package for making shows).
#
#   bash tools/package.sh            its own build, build-package/, with Debian's
#                                    build flags (dpkg-buildflags, all hardening)
#   bash tools/package.sh BUILD_DIR  packages that build as it is configured
#                                    (tools/test.sh packages the build it tests)
#
# The packages land in the build folder, beside the screenshot the metainfo
# names. Install with: apt-get install ./build-package/tessaly_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

if [ $# -eq 0 ]; then
  dir=build-package
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
else
  dir=$1
  # Debian packages install under /usr, never /usr/local.
  cmake -S . -B "$dir" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
cmake --build "$dir" --target tessaly-screenshot
rm -f "$dir"/tessaly_*.deb "$dir"/libvantorgl-dev_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)

shot=$(ls "$dir"/shows/tessaly/desktop/tessaly-*.png)
url=$(sed -n 's:.*<image[^>]*>\(.*\)</image>.*:\1:p' "$dir"/shows/tessaly/desktop/org.vantorgl.tessaly.metainfo.xml)
echo "package: built $(ls "$dir"/tessaly_*.deb "$dir"/libvantorgl-dev_*.deb | tr '\n' ' ')"
echo "package: the metainfo's screenshot, $shot, is to be published at $url"
