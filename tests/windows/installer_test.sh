#!/usr/bin/env bash
# Guards against an installer that misplaces or forgets a file, leaves an older version's files
# behind on upgrade, or whose uninstaller leaves our files or takes the player's settings or
# someone else's files.
# Packs the Windows build twice (the build as an older version with one more plug-in, then as
# it is) and drives both installers silently in a fresh Wine prefix of its own.
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

# The older version: the same files, another version number and a plug-in this one lacks,
# packed by a copy of the packaging whose release notes end at that version.
old=$tmp/old
mkdir -p "$old" "$tmp/src"
cp -r "$src/scripts" "$src/packaging" "$src/LICENSE" "$tmp/src/"
printf '# Changes\n\n## 1.0.0 (2026-12-07 11:23 +0000)\n\n- The first release.\n' >"$tmp/src/CHANGES.md"
cp "$build"/*.dll "$build"/*.clap "$build/gravelix-host.exe" "$old/"
cp "$build/GRAVELIX.dll" "$old/OLDONLY.dll"
echo "CMAKE_PROJECT_VERSION:STATIC=1.0.0" >"$old/CMakeCache.txt"
"$tmp/src/scripts/package-windows.sh" "$old" >"$tmp/old.txt" || fail "packing the older version"
old_setup=$(sed -n 's/.*setup\.exe$/&/p' "$tmp/old.txt")
"$src/scripts/package-windows.sh" "$build" >"$tmp/new.txt" || fail "packing this version"
setup=$(sed -n 's/.*setup\.exe$/&/p' "$tmp/new.txt")
version=$(basename "$setup" | sed 's/^gravelix-\(.*\)-win64-setup\.exe$/\1/')
[ -f "$old_setup" ] && [ -f "$setup" ] || fail "no installers: $(cat "$tmp/old.txt" "$tmp/new.txt")"
plugins=$(cd "$build" && ls -- *.dll)

w cmd /c exit 0 >/dev/null 2>&1 || true
c=$WINEPREFIX/drive_c
programs="$c/Program Files/Gravelix"
vst="$c/Program Files/Common Files/VST2/Gravelix"
custom="$c/Music/VST"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Gravelix/Gravelix pedal.lnk"
appdata=$(w cmd /c echo %APPDATA% | tr -d '\r')
appdata=$(w winepath -u "$appdata" | tr -d '\r')
uninstkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravelix'
regvalue() { w reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z]* *//p"; }

# The player's settings and someone else's plug-in in our folder must outlive us.
mkdir -p "$appdata/Gravelix" "$vst"
echo "scale 1.5" >"$appdata/Gravelix/settings.txt"
echo other >"$vst/Other.dll"

w "$(w winepath -w "$old_setup" | tr -d '\r')" /S || fail "the older version's silent install answered $?"
[ -f "$vst/OLDONLY.dll" ] && [ -f "$vst/GRAVELIX.dll" ] || fail "older version: plug-ins missing"
[ "$(regvalue "$uninstkey" DisplayVersion)" = 1.0.0 ] || fail "older version not registered"

# Upgrade, moving the plug-ins to a folder of the player's choosing.
w "$(w winepath -w "$setup" | tr -d '\r')" /S '/VSTDIR=C:\Music\VST' ||
  fail "the silent upgrade answered $?"
for f in $plugins; do
  cmp -s "$custom/$f" <(unzip -p "${setup%-setup.exe}.zip" "$f") || fail "$f not installed as packed"
done
for f in gravelix-host.exe LICENSE.txt CHANGES.txt README.txt uninstall.exe; do
  [ -f "$programs/$f" ] || fail "$f not in Program Files\\Gravelix"
done
[ -f "$menu" ] || fail "no Start-menu entry"
tr -d '\0' <"$menu" | grep -qa 'play "C:\\Music\\VST\\GRAVELIX.dll"' ||
  fail "the Start-menu entry does not start the pedal"
[ "$(ls "$vst")" = Other.dll ] || fail "the upgrade left behind: $(ls "$vst" | tr '\n' ' ')"
[ "$(regvalue "$uninstkey" DisplayVersion)" = "$version" ] || fail "not registered as $version"
[[ "$(regvalue "$uninstkey" UninstallString)" == *'Gravelix\uninstall.exe"' ]] ||
  fail "uninstaller not registered"

# The installed host runs from where it was put and loads the installed plug-in.
info=$(w 'C:\Program Files\Gravelix\gravelix-host.exe' info 'C:\Music\VST\GRAVELIX.dll' 2>&1 | tr -d '\r') ||
  fail "gravelix-host.exe info from Program Files: $info"
[[ $info == *"Gravelix x64"* ]] || fail "info printed: $info"

# The uninstaller runs a copy of itself and returns at once: wait for its work.
w 'C:\Program Files\Gravelix\uninstall.exe' /S || fail "the silent uninstall answered $?"
for _ in $(seq 1 300); do
  [ -e "$programs" ] || break
  sleep 0.2
done
[ ! -e "$programs" ] || fail "Program Files\\Gravelix still holds: $(ls "$programs" | tr '\n' ' ')"
[ ! -e "$custom" ] || fail "the plug-in folder still holds: $(ls "$custom" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu entry is still there"
[ -z "$(regvalue "$uninstkey" DisplayName)" ] || fail "still listed as installed"
[ "$(cat "$appdata/Gravelix/settings.txt")" = "scale 1.5" ] || fail "the settings are gone"
[ -f "$vst/Other.dll" ] || fail "someone else's plug-in is gone"
echo "installed $version over 1.0.0, ran it, and uninstalled it: $(stat -c %s "$setup") bytes"
