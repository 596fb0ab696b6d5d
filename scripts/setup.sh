#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need (only the missing ones).
# --demo installs only what scripts/demo.sh needs: the build tools, the libraries the plug-in and
# gravelix-host link, and an X server for the editor's pictures. --list GROUP prints a group
# (demo or test) instead of installing anything.
# Usage: scripts/setup.sh [--demo] [--extra PACKAGE...] | --list demo|test
set -euo pipefail

demo_packages=(
  build-essential cmake ninja-build pkg-config git
  libcairo2-dev libpng-dev libsndfile1-dev libcli11-dev libfftw3-dev
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-shm0-dev libxtst-dev libxres-dev libxcursor-dev
  libjack-jackd2-dev
  xvfb xauth x11-utils  # with-display.sh
  fonts-dejavu-core fonts-urw-base35
  file help2man  # the .deb's dependency scan (cpack), the manual page
  dpf-source  # CLAP's headers (used in place from /usr/share/dpf)
  lv2-dev  # LV2's headers (used in place); also lv2_validate for the tests
)
test_packages=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  x11-xserver-utils xdotool
  jackd2
  valgrind clang libclang-rt-14-dev
  zip unzip  # the Windows archive
  lintian man-db bash-completion  # the .deb's checks, manual page and completion tests
  lilv-utils sordi  # the LV2 bundle's checks: lv2info, lv2ls, lv2apply; sordi, sord_validate
  jalv  # the LV2 UI in a real host (jalv.gtk3)
)

packages=("${demo_packages[@]}")
case "${1:-}" in
--list)
  case "${2:-}" in
  demo) printf '%s\n' "${demo_packages[@]}" ;;
  test) printf '%s\n' "${test_packages[@]}" ;;
  *)
    echo "setup.sh: --list demo or --list test" >&2
    exit 2
    ;;
  esac
  exit 0
  ;;
--demo) shift ;;
*) packages+=("${test_packages[@]}") ;;
esac
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
