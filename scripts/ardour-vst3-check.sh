#!/usr/bin/env bash
# Checks a VST3 pedal the way a user meets it in Ardour 7.3 (Debian 12's package, the one VST3
# host Debian has):
#  1. Ardour's VST3 scanner recognises the bundle: name, vendor, class id, 2 in / 2 out;
#  2. a headless session records a take, plays it through the pedal with a program and
#     parameter values, exports it as float, and the export equals `gravelix-host render` of the
#     take through the VST 2.4 plug-in at the same settings, bit for bit;
#  3. Ardour's GUI opens that session with the pedal's editor shown: the editor's window is
#     475 pixels high, shows the front panel, and repaints to the back panel after a click on
#     its tweak plate (Ardour's run loop drives it).
# The program is the current one, Vorn: Ardour 7.3 deadlocks when a VST3 plug-in answers the
# program change it is applying with restartComponent, as the pedal does for another program.
# Ardour runs with a private HOME; its GUI as scripts/ardour-gui-check.sh runs it (root only).
# Usage: scripts/ardour-vst3-check.sh [BUILD_DIR [hq]]    (default build-validator; hq: Gravelix
# HQ, whose latency Ardour compensates, so the export is compared at the lag that aligns it)
# Environment: GRAVELIX_KEEP_WORK=1 keeps the work folder (logs, export, screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

fail() {
  echo "ardour VST3: FAILED: $*" >&2
  exit 1
}

dir=${1:-build-validator}
bundle=Gravelix.vst3 name=Gravelix uid=ACF7760F557D46C8B0BE2573D2325F18 vst=gravelix.so
targets=(gravelix_vst3 gravelix)
if [ "${2:-}" = hq ]; then
  bundle=GravelixHQ.vst3 name="Gravelix HQ" uid=A3C35ACCA1B74F498D83181F362AD770
  vst=gravelix-hq.so targets=(gravelix_hq_vst3 gravelix-hq)
fi
[ "$(id -u)" -eq 0 ] || fail "needs root (private namespaces for Ardour's GUI)"
scripts/setup.sh --extra ardour python3 xdotool python3-numpy python3-soundfile x11-apps
# An existing build folder keeps its own settings.
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target "${targets[@]}" gravelix-host >/dev/null
dir=$(cd "$dir" && pwd)

# Outside /tmp, which is replaced inside the namespaces.
work=$(mktemp -d /var/tmp/gravelix-ardour-vst3.XXXXXX)
if [ -n "${GRAVELIX_KEEP_WORK:-}" ]; then
  echo "ardour VST3: work folder $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi
export HOME="$work/home"
mkdir -p "$HOME/.config/ardour7" "$work/vst3"
# The dummy backend is hidden by default; the VST3 folder is ours alone.
cat >"$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="plugin-path-vst3" value="$work/vst3"/>
  </Config>
</Ardour>
XML
plugin="$work/vst3/$bundle"
cp -r "$dir/$bundle" "$plugin"
# Sessions use a scan cache only when it is newer than the library, with sub-second times
# compared, and the scanner dates its cache as the library: the library goes back a minute.
find "$plugin" -exec touch -h -d "@$(($(date +%s) - 60))" {} +

# 1. The scanner. It exits 0 even when it could not load the plug-in: its cache decides.
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 60 /usr/lib/ardour7/ardour-vst3-scanner -q -f "$plugin" ||
  fail "the scanner stopped with status $?"
cache=$(ls "$HOME"/.cache/ardour7/vst/*.v3i 2>/dev/null | head -n 1)
[ -n "$cache" ] || fail "the scanner wrote no cache entry for $bundle"
for want in "uid=\"$uid\"" "name=\"$name\"" 'vendor="Keldwyn"' 'n_inputs="2"' 'n_outputs="2"' \
  'n_midi_inputs="0"'; do
  grep -q "$want" "$cache" || fail "scanner entry lacks $want: $(grep VST3Info "$cache")"
done
echo "ardour VST3: scanner recognises $name by Keldwyn, class $uid, 2 in / 2 out"

# 2. A session through the plug-in, then the same take through the VST 2.4 one.
rate=48000
program=Vorn
cat >"$work/run.lua" <<LUA
session_dir = "$work/session"
session_name = "gravelix"
rate = $rate
program = "$program"
plugin_type = ARDOUR.PluginType.VST3
plugin_name = "$name"
params = { [1] = 0.7, [8] = 1.0, [0] = 0.4 }
seconds = 3
LUA
cat tests/validator/ardour/session.lua >>"$work/run.lua"
timeout 120 ardour7-lua "$work/run.lua" >"$work/lua.log" 2>&1 ||
  fail "the Lua session failed: $(tail -n 5 "$work/lua.log")"
grep -q "session ready" "$work/lua.log" || fail "the Lua session did not finish: $(tail -n 5 "$work/lua.log")"

# ardour7-export aborts now and then, after or while writing its file: try again.
export_ok=0
for attempt in 1 2 3 4; do
  rm -f "$work/export.wav"
  status=0
  timeout 60 ardour7-export "$work/session" gravelix -b float -o "$work/export.wav" \
    >"$work/export.log" 2>&1 || status=$?
  if [ "$status" -eq 0 ] || { [ "$status" -eq 134 ] && grep -q "Done" "$work/export.log" &&
    [ -s "$work/export.wav" ]; }; then
    export_ok=1
    break
  fi
  echo "ardour VST3: export attempt $attempt ended with status $status ($(tail -c 60 \
    "$work/export.log" | tr '\r\n' '  ')); retrying" >&2
done
[ "$export_ok" -eq 1 ] || fail "ardour7-export did not produce a file: $(tail -n 5 "$work/export.log")"

takes=("$work"/session/interchange/*/audiofiles/*%L.wav)
left=${takes[0]}
right=${left%\%L.wav}%R.wav
python3 tests/validator/ardour/wavtool.py join "$work/take.wav" "$left" "$right" "$rate"
"$dir/gravelix-host" render "$dir/$vst" "$work/take.wav" "$work/render.wav" --program "$program" \
  --set Distortion=0.7 --set Stereo=1 --set Output=0.4 >/dev/null
result=$(python3 tests/validator/ardour/wavtool.py compare "$work/render.wav" "$work/export.wav" 0) ||
  fail "Ardour's export differs from gravelix-host render: $result"
echo "ardour VST3: session export through $name ($program, Distortion 0.7, Stereo on," \
  "Output 0.4) matches gravelix-host render of $vst: $result"

# 3. The editor, in Ardour's GUI.
"$root/scripts/ardour-gui-check.sh" "ardour VST3" "$work" "$name"
