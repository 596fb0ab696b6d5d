#!/usr/bin/env bash
# Checks the plug-in the way a user meets it in a real DAW (Ardour 7, headless):
#  1. Ardour's VST scanner recognises gravelix.so: name, vendor, unique ID, 2 in / 2 out, editor;
#  2. a headless session records a take, plays it through Gravelix with a chosen program and
#     parameter values, exports it, and the export equals `gravelix-host render` of the take.
# lv2: both pedals from the build's LV2 bundle instead, alone on LV2_PATH: each lists the four
# factory programs as presets, its session's export equals the VST 2.4 render bit for bit, and
# Ardour's GUI then shows its X11 UI as scripts/ardour-gui-check.sh checks it (root only).
# Ardour runs with a private HOME, so the user's settings and caches are left alone.
# Usage: scripts/ardour-check.sh [BUILD_DIR [hq|lv2]]    (default build-validator; hq: Gravelix
# HQ, whose latency Ardour compensates, so the export is compared at the lag that aligns it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${1:-build-validator}
mode=${2:-plain}
file=gravelix.so name="Gravelix x64" id=1198683768 targets=(gravelix)
case "$mode" in
hq) file=gravelix-hq.so name="Gravelix HQ x64" id=1198683720 targets=(gravelix-hq) ;;
lv2) targets=(gravelix gravelix-hq gravelix_lv2) ;;
esac
extra=(ardour python3)
if [ "$mode" = lv2 ]; then
  [ "$(id -u)" -eq 0 ] || {
    echo "ardour: FAILED: lv2 needs root (private namespaces for Ardour's GUI)" >&2
    exit 1
  }
  extra+=(xdotool python3-numpy x11-apps)
fi
scripts/setup.sh --extra "${extra[@]}"
# An existing build folder keeps its own settings.
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target "${targets[@]}" gravelix-host >/dev/null

# Outside /tmp, which the GUI check replaces inside its namespaces.
work=$(mktemp -d /var/tmp/gravelix-ardour.XXXXXX)
[ -n "${GRAVELIX_KEEP_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME/.config/ardour7" "$work/vst"
# The dummy backend is hidden by default; the plug-in folders are ours alone.
cat >"$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-lxvst" value="$work/vst"/>
  </Config>
</Ardour>
XML
export LV2_PATH="$work/lv2"
mkdir -p "$LV2_PATH"
plugin="$work/vst/$file"
cp "$dir/$file" "$plugin"
# Sessions use a scan cache only when it is newer, in whole seconds, than the library.
touch -d "@$(($(date +%s) - 60))" "$plugin"

fail() { echo "ardour: FAILED: $*" >&2; exit 1; }

# A session through a plug-in (Lua's TYPE and NAME), then the same take through gravelix-host
# and the VST 2.4 library RENDER; TOLERANCE bounds the difference.
rate=48000
program=Hi-Gain
check_session() {
  local type=$1 plugin_name=$2 render=$3 tolerance=$4
  rm -rf "$work/session"
  cat >"$work/run.lua" <<LUA
session_dir = "$work/session"
session_name = "gravelix"
rate = $rate
program = "$program"
plugin_type = ARDOUR.PluginType.$type
plugin_name = "$plugin_name"
params = { [1] = 0.7, [8] = 1.0, [0] = 0.4 }
seconds = 3
LUA
  cat tests/validator/ardour/session.lua >>"$work/run.lua"
  timeout 120 ardour7-lua "$work/run.lua" >"$work/lua.log" 2>&1 ||
    fail "the Lua session failed: $(tail -n 5 "$work/lua.log")"
  grep -q "session ready" "$work/lua.log" || fail "the Lua session did not finish: $(tail -n 5 "$work/lua.log")"
  grep "^presets:" "$work/lua.log" | sed "s|^|ardour: $plugin_name |"

  # ardour7-export sometimes aborts while shutting down, after writing its file, and now and
  # then hangs (an export takes about 5 s): try again.
  local export_ok=0 attempt status
  for attempt in 1 2 3; do
    rm -f "$work/export.wav"
    status=0
    timeout 40 ardour7-export "$work/session" gravelix -b float -o "$work/export.wav" \
      >"$work/export.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ] || { [ "$status" -eq 134 ] && grep -q "Done" "$work/export.log" &&
      [ -s "$work/export.wav" ]; }; then
      export_ok=1
      break
    fi
    echo "ardour: export attempt $attempt ended with status $status; retrying" >&2
  done
  [ "$export_ok" -eq 1 ] || fail "ardour7-export did not produce a file: $(tail -n 5 "$work/export.log")"

  local takes=("$work"/session/interchange/*/audiofiles/*%L.wav)
  local left=${takes[0]}
  local right=${left%\%L.wav}%R.wav
  python3 tests/validator/ardour/wavtool.py join "$work/take.wav" "$left" "$right" "$rate"
  "$dir/gravelix-host" render "$render" "$work/take.wav" "$work/render.wav" --program "$program" \
    --set Distortion=0.7 --set Stereo=1 --set Output=0.4 >/dev/null
  local result
  result=$(python3 tests/validator/ardour/wavtool.py compare "$work/render.wav" "$work/export.wav" \
    "$tolerance") || fail "Ardour's export through $plugin_name differs from gravelix-host render: $result"
  echo "ardour: session export through $plugin_name ($program, Distortion 0.7, Stereo on," \
    "Output 0.4) matches gravelix-host render: $result"
}

if [ "$mode" = lv2 ]; then
  cp -r "$dir/gravelix.lv2" "$LV2_PATH/"
  # Ardour takes an LV2 plug-in's URI as its name; the export is float, as is the render.
  check_session LV2 https://keldwyn.example/plugins/gravelix "$dir/gravelix.so" 0
  # Ardour tells the UI a scale of 1 and leaves its size alone: the pedal at 1x.
  scripts/ardour-gui-check.sh "ardour LV2" "$work" Gravelix 270
  check_session LV2 https://keldwyn.example/plugins/gravelix-hq "$dir/gravelix-hq.so" 0
  scripts/ardour-gui-check.sh "ardour LV2" "$work" "Gravelix HQ" 270
  exit 0
fi

# 1. The scanner. It exits 0 even when it could not load the plug-in: its cache decides.
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst-scanner -q -f "$plugin" ||
  fail "the scanner stopped with status $?"
cache=$(ls "$HOME"/.cache/ardour7/vst/*.v2i 2>/dev/null | head -n 1)
[ -n "$cache" ] || fail "the scanner wrote no cache entry for $file"
for want in "name=\"$name\"" 'creator="Keldwyn"' "id=\"$id\"" 'n_inputs="2"' \
  'n_outputs="2"' 'has_editor="1"' 'can_process_replace="1"'; do
  grep -q "$want" "$cache" || fail "scanner entry lacks $want: $(grep VST2Info "$cache")"
done
echo "ardour: scanner recognises $name by Keldwyn, ID $id, 2 in / 2 out, editor"

# 2. A session through the plug-in, then the same take through gravelix-host.
check_session LXVST "$name" "$plugin" 1e-6
