#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux suite, then the Windows one (cross-built into
# build-windows, run under Wine; scripts/test-windows.sh) and the 64-bit ARM one (cross-built
# into build-arm64, run under qemu; scripts/test-arm64.sh). --linux-only skips both.
# Usage: scripts/test.sh [--linux-only] [BUILD_DIR [cmake options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
windows=1
if [ "${1:-}" = "--linux-only" ]; then
  windows=0
  shift
fi
scripts/setup.sh
dir=${1:-build}
shift || true
scripts/build.sh "$dir" "$@"
# Tests labelled x11 drive the one pointer and keyboard of the shared display with real input,
# so they run one at a time; everything else runs in parallel.
status=0
# The editor takes its size from the user's settings and the desktop: the tests start from
# neither (the scale tests set their own).
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
unset GDK_SCALE
scripts/with-display.sh ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300 \
  -LE x11 || status=1
scripts/with-display.sh ctest --test-dir "$dir" --output-on-failure --timeout 300 -L x11 || status=1
if [ $windows -eq 1 ]; then
  timeout 2400 scripts/test-windows.sh build-windows || status=1
  timeout 1200 scripts/test-arm64.sh build-arm64 || status=1
fi
exit $status
