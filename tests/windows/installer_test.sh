#!/usr/bin/env bash
# Guards against an installer that misplaces or forgets a file, leaves an older version's files
# behind on upgrade, installs a format that was left out, or whose uninstaller leaves our files
# or takes the player's settings or someone else's files.
# Packs the Windows build twice (the build as an older version with one more plug-in of each
# format, then as it is) and drives both installers silently in a fresh Wine prefix of its own.
# Usage: installer_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(realpath "$1")
build=$(realpath "$2")
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
tmp=$(mktemp -d /tmp/gravelix-setup.XXXXXX)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
w() { timeout 120 wine "$@" </dev/null; }

# The older version: the same files, another version number and plug-ins this one lacks,
# packed by a copy of the packaging whose release notes end at that version.
old=$tmp/old
mkdir -p "$old" "$tmp/src"
cp -r "$src/scripts" "$src/packaging" "$src/LICENSE" "$tmp/src/"
printf '# Changes\n\n## 1.0.0 (2026-12-07 11:23 +0000)\n\n- The first release.\n' >"$tmp/src/CHANGES.md"
cp "$build"/*.dll "$build"/*.clap "$build/gravelix-host.exe" "$old/"
cp -r "$build"/*.vst3 "$old/"
cp "$build/GRAVELIX.dll" "$old/OLDONLY.dll"
cp "$build/Gravelix.clap" "$old/OLDONLY.clap"
echo "CMAKE_PROJECT_VERSION:STATIC=1.0.0" >"$old/CMakeCache.txt"
"$tmp/src/scripts/package-windows.sh" "$old" >"$tmp/old.txt" || fail "packing the older version"
old_setup=$(sed -n 's/.*setup\.exe$/&/p' "$tmp/old.txt")
"$src/scripts/package-windows.sh" "$build" >"$tmp/new.txt" || fail "packing this version"
setup=$(sed -n 's/.*setup\.exe$/&/p' "$tmp/new.txt")
version=$(basename "$setup" | sed 's/^gravelix-\(.*\)-win64-setup\.exe$/\1/')
[ -f "$old_setup" ] && [ -f "$setup" ] || fail "no installers: $(cat "$tmp/old.txt" "$tmp/new.txt")"
plugins=$(cd "$build" && ls -- *.dll)
claps=$(cd "$build" && ls -- *.clap)
bundles=$(cd "$build" && ls -d -- *.vst3)
setup_w=$(w winepath -w "$setup" | tr -d '\r')

w cmd /c exit 0 >/dev/null 2>&1 || true
c=$WINEPREFIX/drive_c
programs="$c/Program Files/Gravelix"
vst="$c/Program Files/Common Files/VST2/Gravelix"
custom="$c/Music/VST"
clapshared="$c/Program Files/Common Files/CLAP"
clap=$clapshared/Gravelix
vst3="$c/Program Files/Common Files/VST3"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Gravelix/Gravelix pedal.lnk"
appdata=$(w cmd /c echo %APPDATA% | tr -d '\r')
appdata=$(w winepath -u "$appdata" | tr -d '\r')
uninstkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravelix'
regvalue() { w reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z]* *//p"; }

lnk_plays() { tr -d '\0' <"$menu" | grep -qaF "play \"$1\""; }
# The uninstaller runs a copy of itself and returns at once: wait for its work.
uninstall() {
  w 'C:\Program Files\Gravelix\uninstall.exe' /S || fail "the silent uninstall answered $?"
  for _ in $(seq 1 300); do
    [ -e "$programs" ] || break
    sleep 0.2
  done
  [ ! -e "$programs" ] || fail "Program Files\\Gravelix still holds: $(ls "$programs" | tr '\n' ' ')"
}

# The player's settings and someone else's plug-ins must outlive us.
mkdir -p "$appdata/Gravelix" "$vst" "$clapshared" "$vst3/Other.vst3"
echo "scale 1.5" >"$appdata/Gravelix/settings.txt"
echo other >"$vst/Other.dll"
echo other >"$clapshared/Other.clap"
echo other >"$vst3/Other.vst3/other"

w "$(w winepath -w "$old_setup" | tr -d '\r')" /S || fail "the older version's silent install answered $?"
[ -f "$vst/OLDONLY.dll" ] && [ -f "$vst/GRAVELIX.dll" ] && [ -f "$clap/OLDONLY.clap" ] ||
  fail "older version: plug-ins missing"
[ "$(regvalue "$uninstkey" DisplayVersion)" = 1.0.0 ] || fail "older version not registered"

# Upgrade, moving the plug-ins to a folder of the player's choosing.
w "$setup_w" /S '/VSTDIR=C:\Music\VST' || fail "the silent upgrade answered $?"
for f in $plugins; do
  cmp -s "$custom/$f" <(unzip -p "${setup%-setup.exe}.zip" "$f") || fail "$f not installed as packed"
done
for f in $claps; do
  cmp -s "$clap/$f" <(unzip -p "${setup%-setup.exe}.zip" "$f") || fail "$f not installed as packed"
done
for b in $bundles; do
  cmp -s "$vst3/$b/Contents/x86_64-win/$b" <(unzip -p "${setup%-setup.exe}.zip" "$b/Contents/x86_64-win/$b") ||
    fail "$b not installed as packed"
done
[ "$(ls "$vst3" | tr '\n' ' ')" = "$(echo $bundles Other.vst3 | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')" ] ||
  fail "the VST3 folder holds: $(ls "$vst3" | tr '\n' ' ')"
for f in gravelix-host.exe LICENSE.txt CHANGES.txt README.txt uninstall.exe; do
  [ -f "$programs/$f" ] || fail "$f not in Program Files\\Gravelix"
done
[ -f "$menu" ] || fail "no Start-menu entry"
lnk_plays 'C:\Music\VST\GRAVELIX.dll' || fail "the Start-menu entry does not start the pedal"
[ "$(ls "$vst")" = Other.dll ] || fail "the upgrade left behind: $(ls "$vst" | tr '\n' ' ')"
[ "$(ls "$clap")" = "$claps" ] || fail "the CLAP folder holds: $(ls "$clap" | tr '\n' ' ')"
[ "$(regvalue "$uninstkey" DisplayVersion)" = "$version" ] || fail "not registered as $version"
[[ "$(regvalue "$uninstkey" UninstallString)" == *'Gravelix\uninstall.exe"' ]] ||
  fail "uninstaller not registered"

# The installed host runs from where it was put and loads the installed plug-in.
info=$(w 'C:\Program Files\Gravelix\gravelix-host.exe' info 'C:\Music\VST\GRAVELIX.dll' 2>&1 | tr -d '\r') ||
  fail "gravelix-host.exe info from Program Files: $info"
[[ $info == *"Gravelix x64"* ]] || fail "info printed: $info"

uninstall
[ ! -e "$custom" ] || fail "the plug-in folder still holds: $(ls "$custom" | tr '\n' ' ')"
[ ! -e "$clap" ] || fail "the CLAP folder still holds: $(ls "$clap" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu entry is still there"
[ -z "$(regvalue "$uninstkey" DisplayName)" ] || fail "still listed as installed"
[ "$(cat "$appdata/Gravelix/settings.txt")" = "scale 1.5" ] || fail "the settings are gone"
[ -f "$vst/Other.dll" ] && [ -f "$clapshared/Other.clap" ] || fail "someone else's plug-in is gone"
[ "$(ls "$vst3")" = Other.vst3 ] || fail "the VST3 folder holds after uninstalling: $(ls "$vst3" | tr '\n' ' ')"

# One format at a time: CLAP alone, then VST 2.4 alone over it, which takes the CLAP plug-ins
# away again but not a file of someone else's in their folder.
w "$setup_w" /S /NOVST2 || fail "the install without VST 2.4 answered $?"
[ "$(ls "$vst")" = Other.dll ] || fail "/NOVST2 installed: $(ls "$vst" | tr '\n' ' ')"
[ "$(ls "$clap")" = "$claps" ] || fail "/NOVST2: the CLAP folder holds: $(ls "$clap" | tr '\n' ' ')"
lnk_plays 'C:\Program Files\Common Files\CLAP\Gravelix\Gravelix.clap' ||
  fail "without VST 2.4 the Start-menu entry does not play the CLAP plug-in"
echo other >"$clap/Extra.clap"
w "$setup_w" /S /NOCLAP || fail "the install without CLAP answered $?"
[ "$(ls "$clap")" = Extra.clap ] || fail "/NOCLAP: the CLAP folder holds: $(ls "$clap" | tr '\n' ' ')"
for f in $plugins; do
  [ -f "$vst/$f" ] || fail "/NOCLAP did not install $f"
done
lnk_plays 'C:\Program Files\Common Files\VST2\Gravelix\GRAVELIX.dll' ||
  fail "without CLAP the Start-menu entry does not play the VST 2.4 plug-in"
# Leaving out every format would install a host with nothing to play.
if w "$setup_w" /S /NOVST2 /NOCLAP /NOVST3; then
  fail "installed with every format left out"
fi
[ "$(regvalue "$uninstkey" DisplayVersion)" = "$version" ] || fail "the refused install changed the installed one"
uninstall
[ "$(ls "$vst")" = Other.dll ] || fail "the uninstall left: $(ls "$vst" | tr '\n' ' ')"
[ "$(ls "$clap")" = Extra.clap ] || fail "the uninstall took: $(ls "$clap" | tr '\n' ' ')"
echo "installed $version over 1.0.0, ran it, each format alone, and uninstalled it: $(stat -c %s "$setup") bytes"
