#!/usr/bin/env bash
# The main job: installs what it needs (not what only the tests need: scripts/test.sh adds that),
# builds the plug-in and gravelix-host (Release, in build-release, with what the Debian package
# carries besides, so `cpack -G DEB` works there),
# shows the plug-in's details, renders a generated guitar riff through each of its programs
# and takes pictures of both editor panels. Everything it makes lands in out/.
# Usage: scripts/demo.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --demo

build=build-release
out=${1:-out}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DGRAVELIX_BUILD_TESTS=OFF -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
# The pedal as VST 2.4 (what the demo drives), and as CLAP and VST3 for those formats' hosts.
cmake --build "$build" --target gravelix gravelix_clap gravelix_vst3 gravelix-host \
  gravelix-package-files
host="$build/gravelix-host"
plugin="$build/gravelix.so"

echo
"$host" info "$plugin"
echo

mkdir -p "$out"
"$host" demo-riff "$out/riff.wav" --seconds 8
rendered=()
# Program lines of `info` read "  N  NAME" (plus "  (current)" on one of them).
while read -r number name; do
  slug=$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]' | tr -cs 'a-z0-9' '-' | sed 's/-*$//')
  file="$out/riff-$number-$slug.wav"
  "$host" render "$plugin" "$out/riff.wav" "$file" --program "$number"
  rendered+=("$file")
done < <("$host" info "$plugin" | sed -n '/^Programs/,$p' | tail -n +2 | sed 's/  (current)$//')

# The editor needs an X display; with-display.sh starts a private Xvfb when there is none.
scripts/with-display.sh "$host" snapshot "$plugin" "$out/editor-front.png"
scripts/with-display.sh "$host" snapshot "$plugin" "$out/editor-back.png" --back

echo
echo "Demo input:     $(realpath "$out/riff.wav")"
for f in "${rendered[@]}"; do
  echo "Rendered:       $(realpath "$f")"
done
echo "Editor, front:  $(realpath "$out/editor-front.png")"
echo "Editor, back:   $(realpath "$out/editor-back.png")"
# The same pedal in the other formats, for CLAP, VST3 and LV2 hosts.
for f in Gravelix.clap Gravelix.vst3 gravelix.lv2; do
  if [ -e "$build/$f" ]; then
    echo "Also built:     $(realpath "$build/$f")"
  fi
done
echo "Open the editor yourself with: $host edit $plugin"
