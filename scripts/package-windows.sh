#!/usr/bin/env bash
# Packs the Windows build (scripts/build-windows.sh) into BUILD_DIR/gravelix-VERSION-win64.zip:
# the plug-in, gravelix-host.exe, a note on where Windows hosts look for plug-ins, the licence
# and the release notes.
# Usage: scripts/package-windows.sh [BUILD_DIR]   (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-windows}

missing=()
for f in GRAVELIX.dll GRAVELIXHQ.dll gravelix-host.exe; do
  [ -f "$dir/$f" ] || missing+=("$dir/$f")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "package-windows: ${missing[*]} not found; build the Windows version first: scripts/build-windows.sh $dir" >&2
  exit 1
fi
command -v zip >/dev/null || scripts/setup.sh --extra zip

# The version the build was configured with, else the sources' one.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt" 2>/dev/null || true)
[ -n "$version" ] || version=$(sed -n 's/^project(Gravelix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$dir/GRAVELIX.dll" "$dir/GRAVELIXHQ.dll" "$dir/gravelix-host.exe" "$stage/"
# The texts are read on Windows: CRLF line ends.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
packaging/changelog.sh text CHANGES.md "$version" >"$stage/CHANGES.txt"
# Debug information stays in the build folder: it multiplies the download for no user.
strip=$(command -v x86_64-w64-mingw32-strip || true)
if [ -n "$strip" ]; then
  "$strip" --strip-debug "$stage/GRAVELIX.dll" "$stage/GRAVELIXHQ.dll" "$stage/gravelix-host.exe" 2>/dev/null || true
fi
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
Gravelix $version for 64-bit Windows
====================================

GRAVELIX.dll is the plug-in: a two-knob guitar distortion pedal as a VST 2.4 effect,
for 64-bit hosts (a 32-bit host cannot load it). GRAVELIXHQ.dll is Gravelix HQ, the same
pedal with its clipping oversampled so it does not alias: more CPU and a few samples of
latency; install it the same way, beside or instead of GRAVELIX.dll.

Installing: copy GRAVELIX.dll into a folder your host scans for VST 2.4 plug-ins and
let the host rescan; the pedal appears as "Gravelix x64" by Keldwyn. Where hosts look:

  - the folders listed in the host's own plug-in settings: most hosts let you add
    one there, and that list is what counts;
  - C:\\Program Files\\Common Files\\VST2   (the usual shared folder today)
  - C:\\Program Files\\VSTPlugins
  - some hosts read the shared folder from the registry value VSTPluginsPath
    under HKEY_LOCAL_MACHINE\\SOFTWARE\\VST.

Copying into C:\\Program Files needs administrator rights. To remove the plug-in,
delete GRAVELIX.dll again.

gravelix-host.exe is a command-line host for any 64-bit VST 2.4 plug-in. In a
Command Prompt in this folder:

  gravelix-host.exe info GRAVELIX.dll      identity, parameters and programs
  gravelix-host.exe --help                 all commands

CHANGES.txt lists what changed in each release. Gravelix is free software under the
GNU General Public License, version 3 or later: see LICENSE.txt.
TEXT

out=$(realpath "$dir")/gravelix-$version-win64.zip
rm -f "$out"
# -X: no Unix owners or extra time stamps, which Windows has no use for.
(cd "$stage" && zip -q -X "$out.tmp" GRAVELIX.dll GRAVELIXHQ.dll gravelix-host.exe README.txt LICENSE.txt CHANGES.txt)
mv "$out.tmp" "$out"
echo "$out"
