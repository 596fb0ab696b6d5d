#!/usr/bin/env bash
# Checks the CLAP (or LV2) plug-in the way a user meets it in Qtractor 0.9.31 (Debian 12's package):
#  1. a session with one stereo audio track, a clip of a test signal and the pedal on the track
#     (a factory program, as the plug-in's saved state) is exported from Qtractor's
#     Track > Export Tracks > Audio dialog, driven with xdotool, as 32-bit float WAV; the export
#     equals `gravelix-host render` of the signal through the VST 2.4 plug-in, bit for bit;
#  2. the pedal's editor opens from the track's plug-in list, shows the front panel, and
#     repaints to the back panel after a click on its tweak plate (the host drives its window).
# Qtractor runs against a private JACK server (dummy back-end, 44.1 kHz, 512 frames), with a
# private HOME, under a private Xvfb, in its own mount, PID and network namespaces (root only),
# so that everything it starts dies with the check. Qtractor will not start without the ALSA
# sequencer; where the kernel has none, tests/validator/qtractor/seqstub.c stands in for it.
# lv2: both pedals from the build's LV2 bundle instead, alone on LV2_PATH, one session each:
# the export of its saved values (<params>) equals the render, and so does a second export after
# the factory preset TS is picked by name in the plug-in's form; then its X11 UI is checked as
# the editor is.
# Usage: scripts/qtractor-check.sh [BUILD_DIR [hq|lv2]]    (default build-validator; hq: Gravelix
# HQ, whose latency Qtractor leaves in the export, as the render does: both are compared at lag 0).
# A folder without CMakeCache.txt but with the plug-ins is taken as built files and not built.
# Environment: GRAVELIX_KEEP_WORK=1 keeps the work folder (logs, export, screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = "--inside" ]; then
  # Inside the namespaces: $2 work folder, then pairs of a plug-in (a .clap file, or an LV2
  # plug-in's URI) and the VST 2.4 library its export is compared with.
  work=$2
  shift 2
  program=Hi-Gain
  fail() {
    echo "qtractor: FAILED: $*" >&2
    exit 1
  }
  # JACK keeps its sockets and shared memory there: a server of our own, out of anyone's way.
  mount -t tmpfs tmpfs /tmp
  mount -t tmpfs tmpfs /dev/shm
  ip link set lo up
  Xvfb :1 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  export DISPLAY=:1
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
  export JACK_NO_START_SERVER=1
  jackd -n default -t 10000 -d dummy -r 44100 -p 512 >"$work/jackd.log" 2>&1 &
  timeout 30 jack_wait -w >/dev/null || fail "jackd did not come up: $(tail -n 3 "$work/jackd.log")"

  # The LV2 bundle, when there is one, is alone on LV2_PATH, and CLAP plug-ins on CLAP_PATH.
  export HOME="$work/home" CLAP_PATH="$work/clap" LV2_PATH="$work/lv2"
  mkdir -p "$HOME/.config/rncbc.org" "$CLAP_PATH" "$LV2_PATH"
  [ -d "$work/bin/gravelix.lv2" ] && cp -r "$work/bin/gravelix.lv2" "$LV2_PATH/"
  preload=
  [ -e /dev/snd/seq ] || preload="$work/bin/seqstub.so"
  # Qtractor's window titles hold an em dash, which xdotool reads only in a UTF-8 locale.
  export LC_ALL=C.UTF-8
  qtractor_pid=
  trap '[ -z "$qtractor_pid" ] || kill -KILL -- "-$qtractor_pid" 2>/dev/null || true' EXIT
  window() {
    local _ id
    for _ in $(seq 1 150); do
      id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
      [ -n "$id" ] && echo "$id" && return 0
      kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor exited: $(tail -n 5 "$work/qtractor.log")"
      sleep 0.2
    done
    return 1
  }
  screenshot() {
    xwd -silent -id "$1" >"$work/$2.xwd" 2>/dev/null || true
  }

  # Track > Export Tracks > Audio, export number $1; prints the file's path. The dialog selects
  # no bus: Master is clicked.
  export_audio() {
    local export=$work/session/gravelix-export-$1.wav dialog size=-1
    xdotool windowfocus --sync "$main"
    xdotool key alt+t
    sleep 0.5
    xdotool key x
    sleep 0.5
    xdotool key a
    dialog=$(window '^Export Audio Tracks') || fail "the Export Audio Tracks dialog did not open"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    xdotool mousemove $((X + 265)) $((Y + 147)) click 1
    sleep 0.5
    screenshot "$dialog" "export-dialog-$1"
    xdotool mousemove $((X + 296)) $((Y + 345)) click 1
    for _ in $(seq 1 120); do
      if [ -s "$export" ] && [ "$(stat -c %s "$export")" = "$size" ]; then break; fi
      size=$(stat -c %s "$export" 2>/dev/null || echo -1)
      sleep 0.5
    done
    [ -s "$export" ] || fail "Qtractor wrote no export: $(tail -n 5 "$work/qtractor.log")"
    sleep 1
    echo "$export"
  }

  # Export number $1 against the render of program $2 through the VST 2.4 library $3.
  compare_export() {
    local export result
    export=$(export_audio "$1")
    "$work/bin/gravelix-host" render "$3" "$work/signal.wav" "$work/render.wav" \
      --program "$2" >/dev/null
    result=$(/usr/bin/python3 "$work/bin/session.py" compare "$work/render.wav" "$export" 0) ||
      fail "Qtractor's export through $name ($2) differs from gravelix-host render: $result"
    echo "qtractor: export through $name ($2) matches gravelix-host render: $result"
  }

  # Picks preset $1 by name in the plug-in's form (the track's plug-in list, context menu,
  # Properties), which Qtractor loads only when it lists a preset of that name; then turns the
  # plug-in off and on, so that the next export starts from a reset instance as a render does.
  load_preset() {
    local form
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $((X + 180)) $((Y + 180)) click 3
    sleep 0.5
    xdotool mousemove $((X + 240)) $((Y + 442)) click 1
    form=$(window '^Gravelix.*Riff') || { screenshot "$main" main; fail "the plug-in's form did not open"; }
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$form")"
    # The preset box, editable: its text replaced and entered.
    xdotool mousemove $((X + 80)) $((Y + 15)) click 1
    sleep 0.3
    xdotool key ctrl+a
    xdotool type "$1"
    xdotool key Return
    sleep 0.5
    # The Active button, twice.
    xdotool mousemove $((X + 430)) $((Y + 15)) click 1
    sleep 0.5
    xdotool mousemove $((X + 430)) $((Y + 15)) click 1
    sleep 0.5
    screenshot "$form" "form-$1"
    xdotool windowclose "$form" 2>/dev/null || true
  }

  # One pedal: a session through it, its export against the render; an LV2 one's factory
  # preset, loaded from Qtractor's list, and a second export; its editor.
  check_pedal() {
    local plugin=$1 vst=$2
    rm -rf "$work/session"
    mkdir -p "$work/session"
    case "$plugin" in
    *.clap)
      name=$(basename "$plugin")
      cp "$plugin" "$CLAP_PATH/"
      plugin="$CLAP_PATH/$name"
      ;;
    *) name=$plugin ;;
    esac
    /usr/bin/python3 "$work/bin/session.py" write "$work" "$plugin" "$program"

    # Qtractor asks before it quits with a changed session: it is killed.
    LD_PRELOAD=$preload setsid qtractor "$work/session/gravelix.qtr" >>"$work/qtractor.log" 2>&1 &
    qtractor_pid=$!
    main=$(window 'gravelix\.qtr') || fail "no Qtractor window with the session within 30 s"
    # Qtractor lets the engine run 3 s before it reads the session.
    sleep 5

    # 1. The session's own values.
    compare_export 1 "$program" "$vst"
    case "$name" in
    *.clap) ;;
    *)
      # 2. A preset from the plug-in's list.
      load_preset TS
      compare_export 2 TS "$vst"
      ;;
    esac
    check_editor
    kill -KILL -- "-$qtractor_pid" 2>/dev/null || true
    wait "$qtractor_pid" 2>/dev/null || true
    qtractor_pid=
  }

  # The editor, from a double click on the plug-in in the track's list: the CLAP one's, or the
  # LV2 one's X11 UI (which Qtractor puts in a 640x480 window whatever its size).
  check_editor() {
    local frame editor changed
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $((X + 180)) $((Y + 180)) click --repeat 2 --delay 80 1
    frame=$(window '^Gravelix.*Riff') ||
      { screenshot "$main" main; fail "the plug-in's editor did not open"; }
    sleep 1
    editor=$(xwininfo -tree -id "$frame" | sed -n 's/^ *\(0x[0-9a-f]*\) .* 270x475+.*/\1/p' | head -n 1)
    [ -n "$editor" ] || fail "no 270x475 editor in Qtractor's plug-in window: $(xwininfo -tree -id "$frame")"
    screenshot "$editor" editor-front
    /usr/bin/python3 "$work/bin/session.py" panel "$work/editor-front.xwd" ||
      fail "the editor does not show the front panel"
    eval "$(xdotool getwindowgeometry --shell "$editor")"
    xdotool mousemove $((X + 240)) $((Y + 12)) click 1
    changed=0
    for _ in $(seq 1 25); do
      sleep 0.2
      screenshot "$editor" editor-back
      if ! /usr/bin/python3 "$work/bin/session.py" panel "$work/editor-back.xwd" >/dev/null; then
        changed=1
        break
      fi
    done
    [ "$changed" -eq 1 ] || fail "the editor did not repaint within 5 s of a click on its tweak plate"
    kill -0 "$qtractor_pid" 2>/dev/null || fail "Qtractor exited with the editor open"
    echo "qtractor: editor 270x475 in Qtractor's plug-in window shows the front panel, and the back" \
      "panel after a click on the tweak plate"
  }

  while [ $# -ge 2 ]; do
    check_pedal "$1" "$2"
    shift 2
  done
  exit 0
fi

dir=${1:-build-validator}
# What is copied in, and the pairs checked: plug-in (a file copied in, or a URI) and VST 2.4
# library.
lv2=https://keldwyn.example/plugins
files=(Gravelix.clap gravelix.so) targets=(gravelix_clap gravelix)
pairs=(Gravelix.clap gravelix.so)
case "${2:-}" in
hq)
  files=(GravelixHQ.clap gravelix-hq.so) targets=(gravelix_hq_clap gravelix-hq)
  pairs=(GravelixHQ.clap gravelix-hq.so)
  ;;
lv2)
  files=(gravelix.lv2 gravelix.so gravelix-hq.so) targets=(gravelix_lv2 gravelix gravelix-hq)
  pairs=("$lv2/gravelix" gravelix.so "$lv2/gravelix-hq" gravelix-hq.so)
  ;;
esac
[ "$(id -u)" -eq 0 ] ||
  { echo "qtractor: needs root (private namespaces for Qtractor and its JACK server)" >&2; exit 1; }
scripts/setup.sh --extra qtractor jackd2 xdotool python3-numpy python3-soundfile iproute2 x11-apps
if [ -f "$dir/CMakeCache.txt" ] || [ ! -e "$dir/${files[0]}" ]; then
  [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" --target "${targets[@]}" gravelix-host >/dev/null
fi
dir=$(cd "$dir" && pwd)

# Outside /tmp, which is replaced inside the namespaces.
work=$(mktemp -d /var/tmp/gravelix-qtractor.XXXXXX)
if [ -n "${GRAVELIX_KEEP_WORK:-}" ]; then
  echo "qtractor: work folder $work" >&2
else
  trap 'rm -rf "$work"' EXIT
fi
mkdir "$work/bin"
for f in "${files[@]}"; do cp -r "$dir/$f" "$work/bin/"; done
cp "$dir/gravelix-host" tests/validator/qtractor/session.py effect/gravelixprogram.h "$work/bin/"
cc -O2 -shared -fPIC -o "$work/bin/seqstub.so" tests/validator/qtractor/seqstub.c -ldl
args=()
for p in "${pairs[@]}"; do
  case "$p" in
  https://*) args+=("$p") ;;
  *) args+=("$work/bin/$p") ;;
  esac
done
status=0
"$root/scripts/in-namespace.sh" qtractor $((120 * ${#pairs[@]})) "$root/scripts/qtractor-check.sh" \
  --inside "$work" "${args[@]}" || status=$?
exit "$status"
