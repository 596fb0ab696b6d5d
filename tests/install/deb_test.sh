#!/usr/bin/env bash
# Guards against a Debian package that lintian faults, that misses, misplaces or adds files,
# ships maintainer scripts or lacks its run-time libraries, or that does not install, run,
# offer its manual page and completion, and remove cleanly.
# Usage: deb_test.sh BUILD_DIR VERSION (exit 77: installing skipped, the package checks passed)
set -euo pipefail
build=$1 version=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }
command -v lintian >/dev/null || fail "lintian is missing (scripts/setup.sh installs it)"

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
expected=$(printf '%s\n' ./usr/ ./usr/bin/ ./usr/bin/gravelix-host ./usr/lib/ ./usr/lib/clap/ \
  ./usr/lib/clap/Gravelix.clap ./usr/lib/clap/GravelixHQ.clap ./usr/lib/lv2/ \
  ./usr/lib/lv2/gravelix.lv2/ ./usr/lib/lv2/gravelix.lv2/gravelix.so \
  ./usr/lib/lv2/gravelix.lv2/gravelix-hq.so ./usr/lib/lv2/gravelix.lv2/gravelix-ui.so \
  ./usr/lib/lv2/gravelix.lv2/gravelix-hq-ui.so ./usr/lib/lv2/gravelix.lv2/manifest.ttl \
  ./usr/lib/lv2/gravelix.lv2/presets.ttl ./usr/lib/lv2/gravelix.lv2/gravelix.ttl \
  ./usr/lib/lv2/gravelix.lv2/gravelix-hq.ttl ./usr/lib/vst/ \
  ./usr/lib/vst/gravelix.so ./usr/lib/vst/gravelix-hq.so ./usr/share/ ./usr/share/bash-completion/ \
  ./usr/share/bash-completion/completions/ ./usr/share/bash-completion/completions/gravelix-host \
  ./usr/share/doc/ ./usr/share/doc/gravelix/ ./usr/share/doc/gravelix/changelog.gz \
  ./usr/share/doc/gravelix/copyright ./usr/share/man/ ./usr/share/man/man1/ \
  ./usr/share/man/man1/gravelix-host.1.gz | sort)
[ "$files" = "$expected" ] || fail "the package holds"$'\n'"$files"$'\n'"instead of"$'\n'"$expected"
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -vx './' | sort | tr '\n' ' ')
[ "$control" = "./control ./md5sums " ] || fail "control files beyond control and md5sums: $control"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libcairo2 libxcb1 libsndfile1 libfftw3-double3; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/gravelix/changelog.gz) |
  head -1 | grep -q "^gravelix ($version) " || fail "the changelog's newest entry is not $version"

# Informational tags are fine; errors and warnings are not.
lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 ||
  fail "lintian:"$'\n'"$(cat "$tmp/lintian.log")"
! grep -q "^[EW]: " "$tmp/lintian.log" || fail "lintian:"$'\n'"$(cat "$tmp/lintian.log")"

# Installing, only where it leaves nothing of anyone else's behind.
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
if dpkg-query -W -f='${Status}' gravelix 2>/dev/null | grep -qv "not-installed"; then
  skip "a gravelix package is on this machine already; the test would replace it"
fi
for f in /usr/lib/vst/gravelix.so /usr/lib/vst/gravelix-hq.so /usr/lib/clap/Gravelix.clap \
  /usr/lib/clap/GravelixHQ.clap /usr/lib/lv2/gravelix.lv2 /usr/bin/gravelix-host; do
  [ ! -e "$f" ] || skip "$f exists already; the test would replace it"
done
had_vst_dir=no
[ ! -d /usr/lib/vst ] || had_vst_dir=yes
had_clap_dir=no
[ ! -d /usr/lib/clap ] || had_clap_dir=yes

installed=yes
dpkg_retry -i "$deb" >/dev/null || fail "dpkg -i failed"
info=$(/usr/bin/gravelix-host info /usr/lib/vst/gravelix.so) || fail "gravelix-host info failed"
for line in "Name:           Gravelix x64" "Vendor:         Keldwyn"; do
  grep -qxF "$line" <<<"$info" || fail "info lacks '$line':"$'\n'"$info"
done
info=$(/usr/bin/gravelix-host info /usr/lib/vst/gravelix-hq.so) || fail "gravelix-host info failed on HQ"
grep -qxF "Name:           Gravelix HQ x64" <<<"$info" || fail "HQ's info:"$'\n'"$info"
[ "$(/usr/bin/gravelix-host --version)" = "gravelix-host $version" ] ||
  fail "gravelix-host --version says '$(/usr/bin/gravelix-host --version)'"

# man and bash find what the package installed, by name alone.
[ "$(man -w gravelix-host)" = /usr/share/man/man1/gravelix-host.1.gz ] ||
  fail "man -w gravelix-host finds '$(man -w gravelix-host 2>&1)'"
MANWIDTH=80 man gravelix-host 2>/dev/null | grep -q "^EXIT STATUS" ||
  fail "man gravelix-host shows no EXIT STATUS"
completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
  __load_completion gravelix-host || exit 1
  COMP_WORDS=(gravelix-host re); COMP_CWORD=1; COMP_LINE="gravelix-host re"; COMP_POINT=16
  _gravelix_host gravelix-host re gravelix-host; echo "${COMPREPLY[*]}"') ||
  fail "bash-completion does not load the completion for gravelix-host"
[ "$completed" = render ] || fail "'gravelix-host re<TAB>' offers '$completed', not render"

dpkg_retry -r gravelix >/dev/null || fail "dpkg -r failed"
for f in /usr/lib/vst/gravelix.so /usr/lib/vst/gravelix-hq.so /usr/lib/clap/Gravelix.clap \
  /usr/lib/clap/GravelixHQ.clap /usr/lib/lv2/gravelix.lv2 /usr/bin/gravelix-host \
  /usr/share/man/man1/gravelix-host.1.gz \
  /usr/share/bash-completion/completions/gravelix-host /usr/share/doc/gravelix; do
  [ ! -e "$f" ] || fail "$f is still there after dpkg -r"
done
[ "$had_vst_dir" = yes ] || [ ! -e /usr/lib/vst ] || fail "dpkg -r left /usr/lib/vst behind"
[ "$had_clap_dir" = yes ] || [ ! -e /usr/lib/clap ] || fail "dpkg -r left /usr/lib/clap behind"
# With no maintainer scripts and no conffiles, removing leaves nothing to purge.
if dpkg-query -W -f='${Status}' gravelix 2>/dev/null | grep -qv "not-installed"; then
  fail "dpkg still lists gravelix after dpkg -r: $(dpkg-query -W -f='${Status}' gravelix)"
fi
installed=no
echo "gravelix_${version} built, passed lintian, installed, ran and removed"
