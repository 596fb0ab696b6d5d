#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: scripts/test.sh [BUILD_DIR [cmake options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=${1:-build}
shift || true
scripts/build.sh "$dir" "$@"
# Tests labelled x11 drive the one pointer and keyboard of the shared display with real input,
# so they run one at a time; everything else runs in parallel.
status=0
scripts/with-display.sh ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300 \
  -LE x11 || status=1
scripts/with-display.sh ctest --test-dir "$dir" --output-on-failure --timeout 300 -L x11 || status=1
exit $status
