#!/usr/bin/env bash
# Cross-builds the 64-bit ARM plug-ins, LV2 bundle and gravelix-host (scripts/build-arm64.sh
# --tests) and runs them under qemu's user mode: both pedals against the sound identity tables,
# render and demo-riff against the results table, the LV2 and VST3 pedals against the VST 2.4 ones.
# Usage: scripts/test-arm64.sh [BUILD_DIR [ctest options...]] (default build-arm64)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-arm64}
shift || true
scripts/build-arm64.sh --tests "$dir"
# The editor's settings file is not the tests' business.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 600 "$@"
