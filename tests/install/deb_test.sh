#!/usr/bin/env bash
# Guards against a Debian package that misses, misplaces or adds files, lacks its run-time
# libraries, or does not install, run and remove cleanly.
# Usage: deb_test.sh BUILD_DIR VERSION (exit 77: skipped)
set -euo pipefail
build=$1 version=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# Only where it leaves nothing of anyone else's behind.
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
if dpkg-query -W -f='${Status}' gravelix 2>/dev/null | grep -qv "not-installed"; then
  skip "a gravelix package is on this machine already; the test would replace it"
fi
for f in /usr/lib/vst/gravelix.so /usr/bin/gravelix-host; do
  [ ! -e "$f" ] || skip "$f exists already; the test would replace it"
done
had_vst_dir=no
[ ! -d /usr/lib/vst ] || had_vst_dir=yes

tmp=$(mktemp -d)
installed=no
cleanup() {
  [ "$installed" = no ] || dpkg_retry --purge gravelix >/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# Another package tool holding dpkg's lock is waited for, up to two minutes.
dpkg_retry() {
  local log=$tmp/dpkg.log
  for _ in $(seq 1 60); do
    if dpkg "$@" >"$log" 2>&1; then
      cat "$log"
      return 0
    fi
    grep -q "lock" "$log" || break
    sleep 2
  done
  cat "$log" >&2
  return 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$tmp/gravelix_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$tmp")"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sort)
expected=$(printf '%s\n' ./usr/ ./usr/bin/ ./usr/bin/gravelix-host ./usr/lib/ ./usr/lib/vst/ \
  ./usr/lib/vst/gravelix.so | sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libcairo2 libxcb1 libsndfile1 libfftw3-double3; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

installed=yes
dpkg_retry -i "$deb" >/dev/null || fail "dpkg -i failed"
info=$(/usr/bin/gravelix-host info /usr/lib/vst/gravelix.so) || fail "gravelix-host info failed"
for line in "Name:           Gravelix x64" "Vendor:         Keldwyn"; do
  grep -qxF "$line" <<<"$info" || fail "info lacks '$line':"$'\n'"$info"
done
[ "$(/usr/bin/gravelix-host --version)" = "gravelix-host $version" ] ||
  fail "gravelix-host --version says '$(/usr/bin/gravelix-host --version)'"

dpkg_retry -r gravelix >/dev/null || fail "dpkg -r failed"
installed=no
for f in /usr/lib/vst/gravelix.so /usr/bin/gravelix-host; do
  [ ! -e "$f" ] || fail "$f is still there after dpkg -r"
done
[ "$had_vst_dir" = yes ] || [ ! -e /usr/lib/vst ] || fail "dpkg -r left /usr/lib/vst behind"
# The package's maintainer scripts (CPack's ldconfig calls) keep it listed until purged.
dpkg_retry --purge gravelix >/dev/null || fail "dpkg --purge failed"
if dpkg-query -W -f='${Status}' gravelix 2>/dev/null | grep -qv "not-installed"; then
  fail "dpkg still lists gravelix: $(dpkg-query -W -f='${Status}' gravelix)"
fi
echo "gravelix_${version} built, installed, ran and removed"
