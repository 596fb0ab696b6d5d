#!/usr/bin/env bash
# Opens a saved Ardour 7.3 session in Ardour's GUI with the pedal's editor marked open, and checks
# the editor as a user meets it: Ardour's plug-in window holds a window 475 pixels high that
# shows the front panel and repaints to the back panel after a click on its tweak plate; closing
# the plug-in window (as a window manager's close button does) hides the editor and leaves
# Ardour running. The session's HOME must hold the Ardour config it was made with.
# Ardour runs under a private Xvfb in its own mount, PID and network namespaces (root only), so
# that everything it starts dies with the check.
# Usage: scripts/ardour-gui-check.sh LABEL WORK NAME [WIDTH]
#   LABEL starts every line said ("ardour VST3"); WORK holds home/ and session/gravelix.ardour,
#   outside /tmp (replaced inside the namespaces); NAME is the plug-in's name in Ardour's
#   window title; WIDTH, the editor's exact width where Ardour leaves it alone (else at least
#   the pedal's). Environment the host needs (LV2_PATH) passes through.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" != "--inside" ]; then
  [ "$#" -eq 3 ] || [ "$#" -eq 4 ] || {
    echo "usage: $0 LABEL WORK NAME [WIDTH]" >&2
    exit 2
  }
  exec "$root/scripts/in-namespace.sh" "$1 editor" 120 "$root/scripts/ardour-gui-check.sh" \
    --inside "$@"
fi

label=$2 work=$3 name=$4 want=${5:-}
fail() {
  echo "$label: FAILED: $*" >&2
  exit 1
}
# The checkout itself may lie in /tmp: it stays reachable through WORK.
mkdir -p "$work/checkout"
mount --bind "$root" "$work/checkout"
root="$work/checkout"
# Xvfb's socket and lock: a display of our own, out of anyone's way.
mount -t tmpfs tmpfs /tmp
cd "$root"
Xvfb :1 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
export DISPLAY=:1 HOME="$work/home"
for _ in $(seq 1 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
# No first-run wizard (.a7), and the dummy engine the session was made with, started at once.
touch "$HOME/.config/ardour7/.a7"
grep -q try-autostart-engine "$HOME/.config/ardour7/config" ||
  sed -i "s|</Config>|  <Option name=\"try-autostart-engine\" value=\"1\"/>\n  </Config>\n\
  <Extra><AudioMIDISetup><EngineStates><State backend=\"None (Dummy)\" driver=\"\" \
device=\"Pink Noise\" input-device=\"\" output-device=\"\" sample-rate=\"48000\" \
buffer-size=\"1024\" n-periods=\"0\" input-latency=\"0\" output-latency=\"0\" \
input-channels=\"0\" output-channels=\"0\" active=\"1\" use-buffered-io=\"0\" midi-option=\"\" \
lru=\"$(date +%s)\"/></EngineStates></AudioMIDISetup></Extra>|" "$HOME/.config/ardour7/config"
python3 "$root/tests/validator/ardour/openeditor.py" "$work/session/gravelix.ardour" guitar \
  >/dev/null
ardour -n -a "$work/session/gravelix.ardour" >"$work/ardour.log" 2>&1 &
ardour_pid=$!
frame=
for _ in $(seq 1 150); do
  frame=$(xdotool search --onlyvisible --name "^guitar: $name \(by Keldwyn\)" 2>/dev/null |
    head -n 1) || true
  [ -n "$frame" ] && break
  kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited: $(tail -n 5 "$work/ardour.log")"
  sleep 0.2
done
[ -n "$frame" ] || fail "the editor's window did not open within 30 s: $(tail -n 5 "$work/ardour.log")"
sleep 1
xdotool windowraise "$frame"
# The editor's own window is the innermost of the plug-in window's descendants 475 high: Ardour
# may widen it to its toolbar's width, so only its height is the editor's.
tree=$(xwininfo -tree -id "$frame")
printf '%s\n' "$tree" >"$work/editor-tree.txt"
editor=$(sed -n 's/^ *\(0x[0-9a-f]*\) .* \([0-9]*\)x475+.*/\1 \2/p' <<<"$tree" | tail -n 1)
[ -n "$editor" ] || fail "no window 475 high in Ardour's plug-in window: $tree"
width=${editor#* } editor=${editor% *}
[ "$width" -ge 270 ] || fail "the editor's window is ${width}x475, narrower than the pedal"
[ -z "$want" ] || [ "$width" -eq "$want" ] ||
  fail "the editor's window is ${width}x475, not ${want}x475"
# Debian's python, which has numpy.
panel() { /usr/bin/python3 "$root/tests/validator/qtractor/session.py" panel "$1"; }
xwd -silent -id "$editor" >"$work/editor-front.xwd"
panel "$work/editor-front.xwd" >/dev/null || fail "the editor does not show the front panel"
# xdotool's geometry counts a child's offset in its parent twice, and Ardour centres an LV2 UI
# in its window: the server's absolute position instead.
read -r x y < <(xwininfo -id "$editor" |
  sed -n 's/.*Absolute upper-left X: *//p; s/.*Absolute upper-left Y: *//p' | paste -s -d ' ')
xdotool mousemove $((x + 240)) $((y + 12)) click 1
for _ in $(seq 1 25); do
  sleep 0.2
  xwd -silent -id "$editor" >"$work/editor-back.xwd"
  panel "$work/editor-back.xwd" >/dev/null || break
done
! panel "$work/editor-back.xwd" >/dev/null ||
  fail "the editor did not repaint within 5 s of a click on its tweak plate"
kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited with the editor open"
echo "$label: $name's editor opens in Ardour's plug-in window (${width}x475), shows the" \
  "front panel, and the back panel after a click on the tweak plate"
# Closing hides Ardour's window only; the editor must stop being shown and go on idling unseen.
/usr/bin/python3 "$root/tests/validator/ardour/closewindow.py" "$frame"
shown() { xwininfo -id "$editor" 2>/dev/null | grep -q "Map State: IsViewable"; }
for _ in $(seq 1 25); do
  sleep 0.2
  shown || break
done
! shown || fail "the editor is still shown after Ardour's plug-in window was closed"
sleep 1
kill -0 "$ardour_pid" 2>/dev/null || fail "Ardour exited when its plug-in window closed"
state=$(xwininfo -id "$editor" 2>/dev/null | sed -n 's/.*Map State: //p') || true
echo "$label: closing Ardour's plug-in window leaves the editor's window" \
  "${state:-destroyed} and Ardour running"
