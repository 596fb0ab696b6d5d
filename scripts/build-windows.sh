#!/usr/bin/env bash
# Cross-builds the 64-bit Windows plug-in and host with mingw-w64: leaves BUILD_DIR/GRAVELIX.dll
# and BUILD_DIR/gravelix-host.exe. Usage: scripts/build-windows.sh [BUILD_DIR [cmake options...]]
# Extra arguments go to cmake (e.g. -DGRAVELIX_BUILD_TESTS=OFF for the plug-in and host alone).
# The first configure of a build folder also fetches and cross-builds libsndfile (about a
# minute; cmake/crosssndfile.cmake), which needs Debian's archive to be reachable.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --extra g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
dir=${1:-build-windows}
shift || true
cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
