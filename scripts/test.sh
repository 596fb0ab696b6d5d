#!/usr/bin/env bash
# Sets up, builds and runs every test. Usage: scripts/test.sh [BUILD_DIR [cmake options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=${1:-build}
shift || true
scripts/build.sh "$dir" "$@"
scripts/with-display.sh ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
