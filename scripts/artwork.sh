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
cmake -S . -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" --target gravelix-artwork
"$dir/tools/artwork/gravelix-artwork" editor/resources "$@"
git status --short editor/resources
