#!/usr/bin/env bash
# Guards against a first run of scripts/demo.sh that fails on a fresh Debian 12 machine or
# drags in what only the test suite needs.
# Runs the demo of the checkout REPO (a clean clone of its HEAD) inside a copy of a fresh
# Debian 12 root, as root, and prints how long it took. The root is made once with debootstrap
# into WORK/base and copied for every run; the run's copy is removed afterwards (--keep keeps it).
# Not part of ctest: a fresh machine downloads and builds everything, which takes minutes.
# Usage (as root): tests/install/fresh_demo.sh [--keep] WORK [REPO]   (REPO: this checkout)
set -euo pipefail
keep=0
if [ "${1:-}" = "--keep" ]; then
  keep=1
  shift
fi
work=${1:?usage: fresh_demo.sh [--keep] WORK [REPO]}
repo=$(realpath "${2:-$(dirname "$0")/../..}")
[ "$(id -u)" -eq 0 ] || {
  echo "fresh_demo.sh: run as root (chroot, mounts)" >&2
  exit 1
}
mkdir -p "$work"
work=$(realpath "$work")
case "$work/" in
"$repo"/*)
  echo "fresh_demo.sh: WORK must lie outside the checkout" >&2
  exit 1
  ;;
esac

if [ ! -x "$work/base/bin/bash" ]; then
  command -v debootstrap >/dev/null || scripts/setup.sh --extra debootstrap
  rm -rf "$work/base.tmp"
  timeout 1800 debootstrap bookworm "$work/base.tmp" http://deb.debian.org/debian
  mv "$work/base.tmp" "$work/base"
fi

root="$work/run.$$"
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" 2>/dev/null || true
  done
  if [ $keep -eq 0 ]; then
    rm -rf --one-file-system "$root"
  else
    echo "fresh_demo.sh: kept $root" >&2
  fi
}
trap cleanup EXIT
cp -a "$work/base" "$root"
for m in proc dev dev/pts sys; do
  mount --bind "/$m" "$root/$m"
  mounted+=("$root/$m")
done
# X servers listen on abstract sockets too, which a chroot shares with the machine: seeing the
# machine's socket folder, with-display.sh picks a display number nobody uses.
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mounted+=("$root/tmp/.X11-unix")
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q "$repo" "$root/root/gravelix"

# The machine's cores, not more: ninja would otherwise start cores + 2 jobs.
start=$(date +%s)
status=0
timeout 3600 chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 CMAKE_BUILD_PARALLEL_LEVEL="$(nproc)" \
  bash -c 'cd /root/gravelix && scripts/demo.sh' || status=$?
seconds=$(($(date +%s) - start))

# What only the tests need must not be there afterwards.
test_only=$(chroot "$root" bash -c 'cd /root/gravelix && scripts/setup.sh --list test' 2>/dev/null || true)
found=()
for p in $test_only; do
  if chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    found+=("$p")
  fi
done
echo "fresh_demo.sh: scripts/demo.sh answered $status after $seconds s"
if [ ${#found[@]} -gt 0 ]; then
  echo "fresh_demo.sh: test-only packages installed: ${found[*]}" >&2
  status=1
fi
exit $status
