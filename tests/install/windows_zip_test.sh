#!/usr/bin/env bash
# Guards against a Windows archive that misses a file or its install note, or that is made
# (and reported as made) when the Windows build is absent. Uses stand-in files, not a build.
# Usage: windows_zip_test.sh SOURCE_DIR VERSION
set -euo pipefail
src=$1 version=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Half a build: refused, naming what is missing, and no archive.
echo stand-in >"$tmp/GRAVELIX.dll"
if "$src/scripts/package-windows.sh" "$tmp" >"$tmp/out" 2>"$tmp/err"; then
  fail "packed a build without gravelix-host.exe"
fi
grep -q "gravelix-host.exe not found" "$tmp/err" || fail "unclear message: $(cat "$tmp/err")"
! ls "$tmp"/*.zip >/dev/null 2>&1 || fail "left an archive behind"

echo stand-in-exe >"$tmp/gravelix-host.exe"
"$src/scripts/package-windows.sh" "$tmp" >"$tmp/out" || fail "packing failed"
zip=$tmp/gravelix-$version-win64.zip
[ "$(cat "$tmp/out")" = "$zip" ] || fail "reported $(cat "$tmp/out") instead of $zip"
[ "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "GRAVELIX.dll README.txt gravelix-host.exe " ] ||
  fail "archive holds: $(unzip -Z1 "$zip" | tr '\n' ' ')"
[ "$(unzip -p "$zip" gravelix-host.exe)" = stand-in-exe ] || fail "gravelix-host.exe changed"
note=$(unzip -p "$zip" README.txt)
[[ $note == *"Gravelix $version"* && $note == *'C:\Program Files\Common Files\VST2'* ]] ||
  fail "README.txt lacks the version or the plug-in folders:"$'\n'"$note"
[[ $note == *$'\r\n'* ]] || fail "README.txt has no Windows line ends"
echo "gravelix-$version-win64.zip holds the plug-in, the host and the note"
