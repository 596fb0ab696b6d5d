#!/usr/bin/env bash
# Guards against the Windows editor losing real mouse input under Wine or telling the host the
# wrong parameter: real X pointer input drags a knob, flips to the back panel, drags a fader and
# stomps the footswitch of GRAVELIX.dll in gravelix-host.exe, and every gesture must reach the
# host as begin-edit, automate, end-edit for the control's own parameter.
# At the end the editor is closed by Ctrl-C (interrupt) or from the keyboard as a user would
# close the window (alt-f4); either must close the editor and end the host cleanly.
# The same for the CLAP plug-in (a .clap file), whose Effect is CLAP's bypass: off reads 1.
# Usage: editor_e2e.sh GRAVELIX_HOST_EXE GRAVELIX_DLL|GRAVELIX_CLAP [interrupt|alt-f4]
# (under an X display and a Wine prefix).
set -euo pipefail
host=$1
plugin=$2
close=${3:-interrupt}
title='Gravelix x64' effect_off=0.000000
if [[ $plugin == *.clap ]]; then
  title=Gravelix effect_off=1.000000
fi
work=$(mktemp -d)
out=$work/edit.txt
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- gravelix-host edit -v printed:"
  tr -d '\r' <"$out"
  exit 1
}

# As a Windows path: Z:\... is what a Windows host hands over.
wine "$host" edit -v "$(winepath -w "$plugin")" >"$out" 2>&1 &
pid=$!

window=
for _ in $(seq 300); do
  window=$(xdotool search --name "^$title\$" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || fail "gravelix-host ended before its window appeared"
  sleep 0.1
done
[ -n "$window" ] || fail "no editor window appeared"

# Editor coordinates to the X window's: Wine draws the frame itself, with borders of equal
# width and the caption above the 270 x 475 client area.
read -r width height < <(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
border=$(((width - 270) / 2))
top=$((height - 475 - border))
at() { xdotool mousemove --window "$window" $((border + $1)) $((top + $2)); }
park() { xdotool mousemove --window "$window" $((width + 40)) $((height + 40)); }
click() {
  at "$1" "$2"
  xdotool mousedown 1 mouseup 1
  park
}
drag() { # x y dy steps
  at "$1" "$2"
  xdotool mousedown 1
  for step in $(seq "$4"); do at "$1" $(($2 + step * $3)); done
  xdotool mouseup 1
  park
}
lines() { tr -d '\r' <"$out" | wc -l; }
# Waits for `count` end-edit lines of `index` after line `mark`.
await() {
  for _ in $(seq 200); do
    [ "$(tr -d '\r' <"$out" | tail -n +$(($1 + 1)) | grep -c "^endEdit  *$2 ")" -ge "$3" ] && return 0
    sleep 0.1
  done
  return 1
}
# Everything printed after `mark` is whole gestures of parameter `index`: begin, automate..., end.
expect_gestures() {
  local mark=$1 index=$2 name=$3 printed
  printed=$(tr -d '\r' <"$out" | tail -n +$((mark + 1)))
  echo "$printed" | awk -v i="$index" '
    $1 == "beginEdit" { if (open || $2 != i) bad = 1; open = 1; next }
    $1 == "automate"  { if (!open || $2 != i) bad = 1; automated = 1; next }
    $1 == "endEdit"   { if (!open || $2 != i) bad = 1; open = 0; next }
    { bad = 1 }
    END { exit (bad || open || !automated) }' || fail "$name: not begin/automate/end of $index"
}

# The window exists before the editor opens in it: press the Output knob until the host hears
# of it (a press without a move is a gesture without automation).
ready=
for _ in $(seq 40); do
  click 75 88
  for _ in $(seq 5); do
    grep -q "^endEdit  *0 " <(tr -d '\r' <"$out") && ready=1 && break 2
    sleep 0.1
  done
done
[ -n "$ready" ] || fail "the editor never took a press"

mark=$(lines)
drag 192 60 8 10 # Distortion, 80 pixels down
await "$mark" 1 1 || fail "Distortion drag: no end of edit"
expect_gestures "$mark" 1 Distortion
last=$(tr -d '\r' <"$out" | awk '$1 == "automate" && $2 == 1 {v = $4} END {print v}')
awk -v v="$last" 'BEGIN {exit !(v < 0.55)}' || fail "Distortion did not go down from 0.6 (last $last)"

mark=$(lines)
click 234 12 # tweak: the back panel; the plate is no parameter, the host hears nothing
drag 84 106 -4 10 # Input Level fader, 40 pixels up
await "$mark" 2 1 || fail "Input fader drag: no end of edit (did tweak flip the panel?)"
expect_gestures "$mark" 2 "Input fader"

mark=$(lines)
click 234 12 # back to the front
click 137 335 # the footswitch: its Effect change is a gesture of its own
await "$mark" 9 2 || fail "footswitch: no end of edit for Effect"
expect_gestures "$mark" 9 Footswitch
tr -d '\r' <"$out" | tail -n +$((mark + 1)) | grep -q "^automate  *9 Effect  *$effect_off$" ||
  fail "footswitch: Effect not switched off"

if [ "$close" = alt-f4 ]; then
  xdotool key alt+F4 # the editor has the focus since the last click
else
  kill -INT "$pid"
fi
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then fail "gravelix-host did not end on $close"; fi
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "gravelix-host ended with status $status"
[ -n "${E2E_VERBOSE:-}" ] && tr -d "\r" <"$out"
echo "editor e2e: 1 passed, 0 failed"
