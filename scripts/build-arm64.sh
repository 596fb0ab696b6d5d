#!/usr/bin/env bash
# Cross-builds for 64-bit ARM Linux with Debian's aarch64-linux-gnu toolchain and arm64 libraries
# from multiarch: the VST 2.4 and CLAP plug-ins, the LV2 bundle and gravelix-host with its manual
# page, as an arm64 .deb packs them (cpack -G DEB --config BUILD_DIR/CPackConfig.cmake).
# --tests builds only what scripts/test-arm64.sh runs under qemu (no CLAP, analyze or validate).
# Usage: scripts/build-arm64.sh [--tests] [BUILD_DIR [cmake options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
tests=0
if [ "${1:-}" = "--tests" ]; then
  tests=1
  shift
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
fi
# dpkg-dev: the package's dependencies (dpkg-shlibdeps reads the arm64 libraries' symbols).
arm64=(libcairo2-dev libpng-dev libxcb1-dev libxcb-shm0-dev libx11-dev libxtst-dev libsndfile1-dev
  libgtest-dev)
[ $tests -eq 1 ] || arm64+=(libxres-dev libfftw3-dev libjack-jackd2-dev liblilv-dev)
scripts/setup.sh --demo --extra crossbuild-essential-arm64 qemu-user dpkg-dev \
  "${arm64[@]/%/:arm64}"
dir=${1:-build-arm64}
shift || true
if [ $tests -eq 1 ]; then
  set -- -DGRAVELIX_HOST_CHECKS=OFF "$@"
else
  set -- -DGRAVELIX_HOST_CHECKS=ON "$@"
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DGRAVELIX_BUILD_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
if [ $tests -eq 1 ]; then
  cmake --build "$dir" -j "$(nproc)" --target gravelix gravelix-hq gravelix_lv2 gravelix-host \
    gravelix_lanes_tests gravelix_sound_identity_tests gravelix_hq_sound_identity_tests gravelix_lv2_tests \
    gravelix_vst3_tests
else
  cmake --build "$dir" -j "$(nproc)"
fi
