#!/usr/bin/env bash
# Guards the editor in a real LV2 host (jalv's GTK 3 build, which embeds X11 UIs through suil)
# against: a UI the host cannot find, load or embed, a window the host sizes other than the
# editor, and a close that hangs or crashes.
# Usage: lv2jalv_test.sh BUNDLE WORKDIR (with DISPLAY set)
set -euo pipefail
bundle=$1
work=$2
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/jalv.log" ] && cat "$work/jalv.log" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work/lv2" "$work/config"
ln -s "$bundle" "$work/lv2/gravelix.lv2"
export LV2_PATH=$work/lv2
# No player's size from the user's settings: the editor opens at 1x.
export XDG_CONFIG_HOME=$work/config
# A JACK server of the test's own, on the dummy driver.
export JACK_DEFAULT_SERVER=gravelix-jalv-$$
jack_pid=
jalv_pid=
cleanup() {
  [ -n "$jalv_pid" ] && kill -9 "$jalv_pid" 2>/dev/null || true
  [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 > "$work/jackd.log" 2>&1 &
jack_pid=$!
for _ in $(seq 1 50); do
  jack_lsp > /dev/null 2>&1 && break
  sleep 0.1
done
jack_lsp > /dev/null 2>&1 || fail "no JACK server: $(cat "$work/jackd.log")"

jalv.gtk3 -U https://keldwyn.example/plugins/gravelix#ui https://keldwyn.example/plugins/gravelix \
  > "$work/jalv.log" 2>&1 < /dev/null &
jalv_pid=$!
# The editor's 270 x 475 window, and jalv's container around it at the same size.
size=
# Generous: GTK's first start on a fresh machine builds its font cache.
for _ in $(seq 1 300); do
  kill -0 "$jalv_pid" 2>/dev/null || fail "jalv exited while opening"
  top=$(xdotool search --all --pid "$jalv_pid" --name '^Gravelix' 2>/dev/null | head -n 1 || true)
  if [ -n "$top" ]; then
    size=$(xwininfo -tree -id "$top" | grep -o ' [0-9]*x[0-9]*+' | grep -c ' 270x475+' || true)
    [ "$size" -ge 2 ] && break
  fi
  sleep 0.1
done
[ -n "$top" ] || fail "jalv showed no window"
[ "${size:-0}" -ge 2 ] ||
  fail "no 270x475 editor in a 270x475 container: $(xwininfo -tree -id "$top")"

# jalv quits cleanly on SIGINT (it closes the UI, then the plug-in).
kill -INT "$jalv_pid"
for _ in $(seq 1 50); do
  kill -0 "$jalv_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$jalv_pid" 2>/dev/null && fail "jalv did not quit within 5 s"
status=0
wait "$jalv_pid" || status=$?
jalv_pid=
[ "$status" -eq 0 ] || fail "jalv exited with $status"
echo "lv2 jalv: OK"
