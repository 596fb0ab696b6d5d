#!/usr/bin/env bash
# Guards against a Windows archive that misses a file, its install note, licence or release
# notes, or that is made (and reported as made) when the Windows build is absent. Uses
# stand-in files, not a build.
# Usage: windows_zip_test.sh SOURCE_DIR VERSION
set -euo pipefail
src=$1 version=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Half a build: refused, naming what is missing, and no archive.
echo stand-in >"$tmp/GRAVELIX.dll"
echo stand-in >"$tmp/GRAVELIXHQ.dll"
echo stand-in >"$tmp/Gravelix.clap"
if "$src/scripts/package-windows.sh" --zip-only "$tmp" >"$tmp/out" 2>"$tmp/err"; then
  fail "packed a build without gravelix-host.exe, GravelixHQ.clap and the VST3 bundles"
fi
grep -q "/GravelixHQ.clap $tmp/gravelix-host.exe $tmp/Gravelix.vst3/.* not found" "$tmp/err" ||
  fail "unclear message: $(cat "$tmp/err")"
! ls "$tmp"/*.zip >/dev/null 2>&1 || fail "left an archive behind"

echo stand-in-exe >"$tmp/gravelix-host.exe"
echo stand-in-clap >"$tmp/GravelixHQ.clap"
for b in Gravelix GravelixHQ; do
  mkdir -p "$tmp/$b.vst3/Contents/x86_64-win" "$tmp/$b.vst3/Contents/Resources/Snapshots"
  echo "stand-in-$b" >"$tmp/$b.vst3/Contents/x86_64-win/$b.vst3"
  echo png >"$tmp/$b.vst3/Contents/Resources/Snapshots/snapshot.png"
done
"$src/scripts/package-windows.sh" --zip-only "$tmp" >"$tmp/out" || fail "packing failed"
zip=$tmp/gravelix-$version-win64.zip
[ "$(cat "$tmp/out")" = "$zip" ] || fail "reported $(cat "$tmp/out") instead of $zip"
bundle() {
  printf '%s ' "$1.vst3/" "$1.vst3/Contents/" "$1.vst3/Contents/Resources/" \
    "$1.vst3/Contents/Resources/Snapshots/" "$1.vst3/Contents/Resources/Snapshots/snapshot.png" \
    "$1.vst3/Contents/x86_64-win/" "$1.vst3/Contents/x86_64-win/$1.vst3"
}
[ "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')" = "CHANGES.txt GRAVELIX.dll GRAVELIXHQ.dll \
Gravelix.clap $(bundle Gravelix)GravelixHQ.clap $(bundle GravelixHQ)LICENSE.txt README.txt \
gravelix-host.exe " ] ||
  fail "archive holds: $(unzip -Z1 "$zip" | tr '\n' ' ')"
[ "$(unzip -p "$zip" gravelix-host.exe)" = stand-in-exe ] || fail "gravelix-host.exe changed"
[ "$(unzip -p "$zip" GravelixHQ.clap)" = stand-in-clap ] || fail "GravelixHQ.clap changed"
[ "$(unzip -p "$zip" GravelixHQ.vst3/Contents/x86_64-win/GravelixHQ.vst3)" = stand-in-GravelixHQ ] ||
  fail "GravelixHQ.vst3 changed"
note=$(unzip -p "$zip" README.txt)
for want in "Gravelix $version" 'C:\Program Files\Common Files\VST2' \
  'C:\Program Files\Common Files\CLAP' '%LOCALAPPDATA%\Programs\Common\CLAP' \
  'Gravelix.clap GravelixHQ.clap' 'C:\Program Files\Common Files\VST3' \
  'Gravelix.vst3 GravelixHQ.vst3'; do
  [[ $note == *"$want"* ]] || fail "README.txt lacks $want:"$'\n'"$note"
done
[[ $note == *$'\r\n'* ]] || fail "README.txt has no Windows line ends"
[ "$(unzip -p "$zip" LICENSE.txt | tr -d '\r')" = "$(cat "$src/LICENSE")" ] ||
  fail "LICENSE.txt is not the repository's LICENSE"
unzip -p "$zip" LICENSE.txt | head -1 | grep -q $'GNU GENERAL PUBLIC LICENSE\r$' ||
  fail "LICENSE.txt is no GPL text with Windows line ends"
changes=$(unzip -p "$zip" CHANGES.txt)
[[ $changes == *"Gravelix $version ("* && $changes == *$'\r\n'* ]] ||
  fail "CHANGES.txt lacks this release or Windows line ends:"$'\n'"$changes"
echo "gravelix-$version-win64.zip holds the plug-ins, the host, the note, licence and changes"
