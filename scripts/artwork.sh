#!/usr/bin/env bash
# Rebuilds the artwork generator and redraws editor/resources/*.png.
# Usage: scripts/artwork.sh [BUILD_DIR] [--preview DIR]
# The fonts come from Debian's fonts-urw-base35 (scripts/setup.sh installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-artwork
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  dir=$1
  shift
fi
# A fresh folder is configured without tests and benchmarks: the generator needs neither.
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_TESTS=OFF -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$dir" --target gravelix-artwork
"$dir/tools/artwork/gravelix-artwork" editor/resources "$@"
git status --short editor/resources
