#!/usr/bin/env bash
# Checks the plug-in the way a user meets it in Audacity 3.2 (Debian 12's package), driven
# through Audacity's script pipe (tests/validator/audacity/drive.py):
#  1. each of the four factory programs, applied from a script, equals `gravelix-host render`
#     (and one program on a 48 kHz track);
#  2. two tracks in one Apply equal two separate renders;
#  3. the editor opens inside the effect dialog, and a click on its Channels switch changes
#     Apply's result exactly as `--set Stereo=1` does;
#  4. Preview and then Apply in the dialog: what Preview played and what Apply wrote each
#     equal one render.
# Audacity runs with a private HOME, under a private Xvfb, in its own mount, PID and network
# namespaces (root only): its script pipe lives at a fixed path in /tmp, which a private /tmp
# keeps apart from anyone else's, and everything in the namespace dies with it.
# lv2: both pedals from the build's LV2 bundle instead, in one Audacity: registered and enabled,
# and each factory program, picked from the plug-in's factory presets, equals the VST 2.4
# plug-in's render (Audacity leaves Gravelix HQ's latency in, as the render does); and a click on
# the Channels switch in each pedal's editor, inside the effect dialog, with Audacity kept from
# emptying SUIL_MODULE_DIR (tests/validator/audacity/keepsuildir.c): as Debian ships it, it never
# shows an X11 UI.
# Usage: scripts/audacity-check.sh [BUILD_DIR [hq|lv2]]    (default build-validator; hq: Gravelix
# HQ, whose output Audacity shifts by its reported latency)
# Environment: GRAVELIX_KEEP_WORK=1 keeps the work folder (logs, exports, a screenshot).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = "--inside" ]; then
  # Inside the namespaces: $2 work folder, $3 build folder, $4 the plug-in's file name or lv2.
  work=$2
  dir=$3
  file=$4
  latency() {
    "$dir/gravelix-host" info "$dir/$1" | sed -n 's/^Initial delay: *\([0-9]*\).*/\1/p'
  }
  export HOME="$work/home" VST_PATH="$work/vst" LV2_PATH="$work/lv2"
  identity=(--plugin "$VST_PATH/$file" --effect GravelixX64 --title "Gravelix x64")
  if [ "$file" = gravelix-hq.so ]; then
    identity=(--plugin "$VST_PATH/$file" --effect GravelixHQX64 --title "Gravelix HQ x64"
      --latency "$(latency "$file")")
  fi
  # The registry's entries (LV2 ones by URI) and what their checks render with.
  entries=("$VST_PATH/$file")
  preload=
  if [ "$file" = lv2 ]; then
    entries=(https://keldwyn.example/plugins/gravelix https://keldwyn.example/plugins/gravelix-hq)
    # Audacity 3.2 leaves an LV2 plug-in's reported latency in what Apply writes, as the
    # render does: Gravelix HQ is compared at lag 0 there.
    identity=(--pedal Gravelix Gravelix 0 "$dir/gravelix.so"
      --pedal GravelixHQ "Gravelix HQ" 0 "$dir/gravelix-hq.so" --lv2-editor)
    preload=$dir/keepsuildir.so
  fi
  fail() {
    echo "audacity: FAILED: $*" >&2
    exit 1
  }
  mount -t tmpfs tmpfs /tmp
  # Audacity's plug-in scanner talks to Audacity over loopback TCP.
  ip link set lo up
  Xvfb :1 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  export DISPLAY=:1
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"

  config="$HOME/.config/audacity"
  mkdir -p "$config" "$VST_PATH" "$LV2_PATH" "$work/audacity-temp"
  if [ "$file" = lv2 ]; then
    cp -r "$dir/gravelix.lv2" "$LV2_PATH/"
  else
    cp "$dir/$file" "$VST_PATH/"
  fi
  module=$(dpkg -L audacity | grep '/mod-script-pipe\.so$' | head -n 1)
  [ -n "$module" ] || fail "the audacity package has no mod-script-pipe module"
  drive() { /usr/bin/python3 "$dir/drive.py" "$@"; }
  # The pipe module loads only when all three entries name it, with the file's local time;
  # otherwise it counts as new and stays off. A private TempDir keeps a killed run from
  # leaving a recovery dialog elsewhere; format 6 is 32-bit float WAV.
  settings() {
    drive cfg "$config/audacity.cfg" Module mod-script-pipe 1
    drive cfg "$config/audacity.cfg" ModulePath mod-script-pipe "$module"
    drive cfg "$config/audacity.cfg" ModuleDateTime mod-script-pipe \
      "$(date -d "@$(stat -c %Y "$module")" +%Y-%m-%dT%H:%M:%S)"
    drive cfg "$config/audacity.cfg" GUI ShowSplashScreen 0
    drive cfg "$config/audacity.cfg" Directories TempDir "$work/audacity-temp"
    drive cfg "$config/audacity.cfg" FileFormats/ExportFormat_SF1_Type WAV_10000 6
    drive cfg "$config/audacity.cfg" ActiveProjects
  }
  settings
  # No sound card here: Preview plays into a file, which also shows what was played.
  cat >"$HOME/.asoundrc" <<ALSA
pcm.!default { type file; slave.pcm "null"; file "$work/played.wav"; format "wav" }
ALSA

  audacity_pid=
  start_audacity() {
    rm -f /tmp/audacity_script_pipe.*
    LD_PRELOAD=$preload setsid audacity >>"$work/audacity.log" 2>&1 &
    audacity_pid=$!
  }
  stop_audacity() {
    [ -n "$audacity_pid" ] || return 0
    kill -TERM -- "-$audacity_pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$audacity_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$audacity_pid" 2>/dev/null || true
    wait "$audacity_pid" 2>/dev/null || true
    audacity_pid=
  }
  trap 'stop_audacity' EXIT

  # The first start registers the new plug-in in a child process, which also loads the pipe
  # module and leaves the main process's pipe dead: register, stop, start again.
  start_audacity
  registry="$config/pluginregistry.cfg"
  # An entry's lines, from its Path (a VST 2.4 library's with ";" and the effect's index) to
  # the next group.
  entry_lines() {
    awk -v path="Path=$1" '$0 == path || index($0, path ";") == 1 { on = 1; print; next }
      /^\[/ { on = 0 } on' "$registry" 2>/dev/null
  }
  registered() {
    local entry
    for entry in "${entries[@]}"; do
      [ -n "$(entry_lines "$entry")" ] || return 1
    done
  }
  for _ in $(seq 1 120); do
    registered && break
    kill -0 "$audacity_pid" 2>/dev/null || fail "Audacity exited during its first start"
    sleep 0.5
  done
  registered ||
    fail "Audacity did not register ${entries[*]} within 60 s: $(tail -n 5 "$work/audacity.log")"
  for entry in "${entries[@]}"; do
    entry_lines "$entry" | grep -q '^Enabled=1' ||
      fail "Audacity registered $entry but did not enable it"
  done
  echo "audacity: Audacity $(dpkg-query -W -f='${Version}' audacity) registered and enabled" \
    "${entries[*]##*/}"
  sleep 2
  stop_audacity
  # The first start rewrites the file and forgets some of these; the project it leaves in
  # TempDir would bring up the recovery dialog.
  rm -rf "$work/audacity-temp"
  mkdir "$work/audacity-temp"
  settings

  start_audacity
  status=0
  timeout --kill-after=5 240 /usr/bin/python3 "$dir/drive.py" run \
    --host "$dir/gravelix-host" --work "$work" "${identity[@]}" \
    --played "$work/played.wav" --pid "$audacity_pid" || status=$?
  if [ "$status" -ne 0 ]; then
    import -window root "$work/screen.png" 2>/dev/null || xwd -root -out "$work/screen.xwd" 2>/dev/null ||
      true
    [ "$status" -eq 124 ] && echo "audacity: FAILED: the checks did not finish within 240 s" >&2
  fi
  exit "$status"
fi

dir=${1:-build-validator}
file=gravelix.so targets=(gravelix) files=(gravelix.so)
case "${2:-}" in
hq) file=gravelix-hq.so targets=(gravelix-hq) files=(gravelix-hq.so) ;;
lv2) file=lv2 targets=(gravelix gravelix-hq gravelix_lv2) files=(gravelix.so gravelix-hq.so gravelix.lv2) ;;
esac
[ "$(id -u)" -eq 0 ] ||
  { echo "audacity: needs root (private /tmp and network namespace for Audacity's pipe)" >&2; exit 1; }
scripts/setup.sh --extra audacity python3-numpy python3-soundfile iproute2 x11-apps
# An existing build folder keeps its own settings.
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target "${targets[@]}" gravelix-host >/dev/null
dir=$(cd "$dir" && pwd)

# Outside /tmp, which is replaced inside the namespaces.
work=$(mktemp -d /var/tmp/gravelix-audacity.XXXXXX)
if [ -n "${GRAVELIX_KEEP_WORK:-}" ]; then
  echo "audacity: work folder $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi
# The build folder and the checkout may themselves lie under /tmp (a clone there), out of sight inside.
mkdir "$work/bin"
for f in "${files[@]}"; do cp -r "$dir/$f" "$work/bin/"; done
cp "$dir/gravelix-host" tests/validator/audacity/drive.py "$work/bin/"
if [ "$file" = lv2 ]; then
  cc -shared -fPIC -O2 -o "$work/bin/keepsuildir.so" tests/validator/audacity/keepsuildir.c -ldl
fi
dir=$work/bin
status=0
"$root/scripts/in-namespace.sh" audacity 300 "$root/scripts/audacity-check.sh" --inside \
  "$work" "$dir" "$file" || status=$?
exit "$status"
