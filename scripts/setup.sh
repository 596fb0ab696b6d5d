#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need (only the missing ones).
# Usage: scripts/setup.sh [--extra PACKAGE...]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcairo2-dev libpng-dev libsndfile1-dev libcli11-dev libfftw3-dev
  libx11-dev libx11-xcb-dev libxcb1-dev libxtst-dev libxres-dev libxcursor-dev
  xvfb xauth x11-utils x11-xserver-utils xdotool
  jackd2 libjack-jackd2-dev
  fonts-dejavu-core fonts-urw-base35
  valgrind clang libclang-rt-14-dev
  file zip unzip  # the .deb's dependency scan (cpack), the Windows archive
  lintian help2man man-db bash-completion  # the .deb's checks, manual page and completion
)
if [ "${1:-}" = "--extra" ]; then
  shift
  packages+=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # Another package tool at work on this machine is waited for rather than failed on.
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
