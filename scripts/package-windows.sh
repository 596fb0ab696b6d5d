#!/usr/bin/env bash
# Packs the Windows build (scripts/build-windows.sh) into BUILD_DIR/gravelix-VERSION-win64.zip
# and the installer BUILD_DIR/gravelix-VERSION-win64-setup.exe (packaging/gravelix.nsi): the
# plug-ins, gravelix-host.exe, a note on where Windows hosts look for plug-ins, the licence and
# the release notes. Every DLL (VST 2.4), .clap and .vst3 bundle (a folder) at the top of the build
# folder is a plug-in the project built (test fixtures live in subfolders). Prints the two files' paths.
# Usage: scripts/package-windows.sh [--zip-only] [BUILD_DIR]   (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
installer=1
if [ "${1:-}" = "--zip-only" ]; then
  installer=0
  shift
fi
dir=${1:-build-windows}

missing=()
for f in GRAVELIX.dll GRAVELIXHQ.dll Gravelix.clap GravelixHQ.clap gravelix-host.exe \
  Gravelix.vst3/Contents/x86_64-win/Gravelix.vst3 GravelixHQ.vst3/Contents/x86_64-win/GravelixHQ.vst3; do
  [ -f "$dir/$f" ] || missing+=("$dir/$f")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "package-windows: ${missing[*]} not found; build the Windows version first: scripts/build-windows.sh $dir" >&2
  exit 1
fi
vst2=()
for f in "$dir"/*.dll; do
  vst2+=("$(basename "$f")")
done
clap=()
for f in "$dir"/*.clap; do
  clap+=("$(basename "$f")")
done
vst3=()
for f in "$dir"/*.vst3; do
  vst3+=("$(basename "$f")")
done
plugins=("${vst2[@]}" "${clap[@]}" "${vst3[@]}")
command -v zip >/dev/null || scripts/setup.sh --extra zip
[ $installer -eq 0 ] || command -v makensis >/dev/null || scripts/setup.sh --extra nsis

# The version the build was configured with, else the sources' one.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt" 2>/dev/null || true)
[ -n "$version" ] || version=$(sed -n 's/^project(Gravelix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for f in "${plugins[@]}" gravelix-host.exe; do
  cp -r "$dir/$f" "$stage/"
done
# The texts are read on Windows: CRLF line ends.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
packaging/changelog.sh text CHANGES.md "$version" >"$stage/CHANGES.txt"
# Debug information stays in the build folder: it multiplies the download for no user.
strip=$(command -v x86_64-w64-mingw32-strip || true)
if [ -n "$strip" ]; then
  for f in "${vst2[@]}" "${clap[@]}" gravelix-host.exe; do
    "$strip" --strip-debug "$stage/$f" 2>/dev/null || true
  done
  for b in "${vst3[@]}"; do
    "$strip" --strip-debug "$stage/$b/Contents/x86_64-win/$b" 2>/dev/null || true
  done
fi
sed 's/$/\r/' >"$stage/README.txt" <<TEXT
Gravelix $version for 64-bit Windows
====================================

GRAVELIX.dll, Gravelix.clap and the folder Gravelix.vst3 are the plug-in, a two-knob
guitar distortion pedal, as a VST 2.4, a CLAP and a VST3 effect, for 64-bit hosts (a
32-bit host cannot load them). GRAVELIXHQ.dll, GravelixHQ.clap and GravelixHQ.vst3 are
Gravelix HQ, the same pedal with its clipping oversampled so it does not alias: more CPU
and a few samples of latency; install it the same way, beside or instead of Gravelix.
Your host needs only one of the formats. The VST3 plug-ins are under the GNU General
Public License version 3 only (they are built with Steinberg's VST3 interfaces under
that licence).

Installing: gravelix-$version-win64-setup.exe installs the VST 2.4 plug-ins into
C:\\Program Files\\Common Files\\VST2\\Gravelix (or a folder you choose), the CLAP
plug-ins into C:\\Program Files\\Common Files\\CLAP\\Gravelix, the VST3 plug-ins into
C:\\Program Files\\Common Files\\VST3, gravelix-host.exe into
C:\\Program Files\\Gravelix, a Start-menu entry for the standalone pedal and an
uninstaller listed under Installed apps; you can leave out any format. "setup.exe /S"
installs silently (/VSTDIR=FOLDER picks the VST 2.4 folder, /D=FOLDER the program
folder, /NOVST2, /NOCLAP or /NOVST3 leaves that format out).

By hand, from the ZIP: copy the DLLs (${vst2[*]})
into a folder your host scans for VST 2.4 plug-ins and let the host rescan; the pedal
appears as "Gravelix x64" by Keldwyn. Where hosts look:

  - the folders listed in the host's own plug-in settings: most hosts let you add
    one there, and that list is what counts;
  - C:\\Program Files\\Common Files\\VST2   (the usual shared folder today)
  - C:\\Program Files\\VSTPlugins
  - some hosts read the shared folder from the registry value VSTPluginsPath
    under HKEY_LOCAL_MACHINE\\SOFTWARE\\VST.

For a host that loads CLAP, copy the .clap files (${clap[*]})
into a folder it scans for CLAP plug-ins instead; the pedal appears as "Gravelix" by
Keldwyn. CLAP hosts look in these folders and every folder inside them:

  - C:\\Program Files\\Common Files\\CLAP   (for every user)
  - %LOCALAPPDATA%\\Programs\\Common\\CLAP   (for you alone; no administrator rights
    needed)
  - the folders listed in the host's own plug-in settings.

For a host that loads VST3, copy the .vst3 folders whole (${vst3[*]})
into C:\\Program Files\\Common Files\\VST3, where VST3 hosts look; the pedal appears as
"Gravelix" by Keldwyn, a distortion effect.

Copying into C:\\Program Files needs administrator rights. To remove a plug-in copied
by hand, delete its file again.

gravelix-host.exe is a command-line host for any 64-bit VST 2.4 or CLAP plug-in. In a
Command Prompt in this folder:

  gravelix-host.exe info GRAVELIX.dll      identity, parameters and programs
  gravelix-host.exe play GRAVELIX.dll      the standalone pedal, live with its editor
  gravelix-host.exe play --list-devices    the audio devices play can use
  gravelix-host.exe --help                 all commands

CHANGES.txt lists what changed in each release. Gravelix is free software under the
GNU General Public License, version 3 or later: see LICENSE.txt.
TEXT

out=$(realpath "$dir")/gravelix-$version-win64
rm -f "$out.zip"
# -X: no Unix owners or extra time stamps, which Windows has no use for.
(cd "$stage" && zip -q -X -r "$out.zip.tmp" "${plugins[@]}" gravelix-host.exe README.txt LICENSE.txt CHANGES.txt)
mv "$out.zip.tmp" "$out.zip"
echo "$out.zip"

[ $installer -eq 1 ] || exit 0
# One macro per format, so each component installs and removes its own files.
macro() {
  echo "!macro $1 _action"
  shift
  for f in "$@"; do
    echo "  !insertmacro \${_action} \"$f\""
  done
  echo '!macroend'
}
{
  macro GravelixVst2 "${vst2[@]}"
  macro GravelixClap "${clap[@]}"
  macro GravelixVst3 "${vst3[@]}"
} >"$stage/plugins.nsh"
rm -f "$out-setup.exe"
# makensis reads Unix paths; its own messages only matter when it fails.
if ! makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out-setup.exe.tmp" \
  packaging/gravelix.nsi >"$stage/makensis.log" 2>&1; then
  cat "$stage/makensis.log" >&2
  echo "package-windows: makensis failed" >&2
  exit 1
fi
mv "$out-setup.exe.tmp" "$out-setup.exe"
echo "$out-setup.exe"
