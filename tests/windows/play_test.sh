#!/usr/bin/env bash
# Guards against `gravelix-host.exe play` sounding other than the plug-in run offline, losing or
# repeating input, missing or misreporting devices, or not ending cleanly on Ctrl+C or when the
# device goes; under Wine,
# on an ALSA device that records from one file and plays into another, paced in real time by a
# private JACK server with its dummy back-end.
# Usage: play_test.sh HOST_EXE PLUGIN OFFLINE_EXE WORK_DIR
set -euo pipefail
host=$1 plugin=$2 offline=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() {
  echo "play_test.sh: $*" >&2
  exit 1
}

# ALSA's file plug-in over its JACK plug-in, each way: capture reads in.raw and playback writes
# out.raw, in the format the stream runs in, while the server's clock sets the pace (a plain
# null device has no clock, and Wine then runs input and output apart).
export JACK_DEFAULT_SERVER=gravelix-wasapi-$$ JACK_NO_START_SERVER=1
jackd=
# A server left with a crashed client can hang on its way out: bounded, then killed.
stop_jackd() {
  [ -z "$jackd" ] && return
  kill "$jackd" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$jackd" 2>/dev/null || break
    sleep 0.1
  done
  pkill -KILL -P "$jackd" 2>/dev/null || true
  kill -KILL "$jackd" 2>/dev/null || true
  wait "$jackd" 2>/dev/null || true
  jackd=
}
trap stop_jackd EXIT
# Usage: start_jackd RATE
start_jackd() {
  stop_jackd
  timeout 600 jackd -n "$JACK_DEFAULT_SERVER" -r -S -t 10000 -d dummy -r "$1" -p 256 \
    >jackd.out 2>&1 &
  jackd=$!
  timeout 30 jack_wait -w >/dev/null || fail "jackd did not come up: $(cat jackd.out)"
}
start_jackd 48000
cat >asound.conf <<CONF
pcm.!default {
  type asym
  playback.pcm {
    type file file "$work/out.raw" format raw
    slave.pcm { type jack playback_ports { 0 system:playback_1 1 system:playback_2 } }
  }
  capture.pcm {
    type file file "/dev/null" infile "$work/in.raw" format raw
    slave.pcm { type jack capture_ports { 0 system:capture_1 1 system:capture_2 } }
  }
}
CONF
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf

# Three seconds of a plucked, decaying chord on the first channel (the one played), a
# different signal on the second, then silence; stereo 32-bit float as the device records.
python3 - <<'PY'
import array, math, random
rate, seconds = 48000, 3
random.seed(7)
first, second = array.array('f'), array.array('f')
for i in range(rate * seconds):
    t = i / rate
    env = math.exp(-3 * (t % 1.0))
    x = env * sum(0.25 * math.sin(2 * math.pi * f * t) for f in (82.41, 123.47, 164.81))
    first.append(x + 0.01 * (random.random() - 0.5))
    second.append(-0.5 * x)
first.tofile(open('signal.raw', 'wb'))
stereo = array.array('f')
for a, b in zip(first, second):
    stereo.extend((a, b))
stereo.extend([0.0] * (2 * rate * 3))
stereo.tofile(open('in.raw', 'wb'))
PY

# The device is listed in both directions with its format.
timeout 60 wine "$host" play --list-devices >list.out 2>list.err || fail "--list-devices failed: $(cat list.err)"
# The console's line ends.
sed -i 's/\r$//' list.out
grep -q '^  \* Out: default$' list.out || fail "no output device listed: $(cat list.out)"
grep -q '^  \* In: default$' list.out || fail "no input device listed: $(cat list.out)"
grep -q '2 ch, 48000 Hz, 32-bit float; period' list.out || fail "no format listed: $(cat list.out)"

# A device that is not there: one clear line and status 1.
status=0
timeout 60 wine "$host" play "Z:$plugin" --no-editor --output "no such device" >none.out 2>none.err || status=$?
[ "$status" -eq 1 ] || fail "a missing device answered $status"
grep -q "no output device matches 'no such device'; .*--list-devices" none.err ||
  fail "a missing device said: $(cat none.err)"

# Plays the input through the plug-in until the output holds it all, then Ctrl+C.
# Usage: play NAME "PLUG-IN SETTINGS" "DEVICE OPTIONS" RATE
play() {
  # Wine's own process killed by SIGSEGV (status 139) is a crash outside Windows code (a fault in
  # ours would end as an unhandled exception with its own status): seen once under heavy load in
  # the ALSA JACK plug-in's teardown. One more try then; a second crash fails.
  local status=0
  play_once "$@" || status=$?
  if [ "$status" -eq 139 ]; then
    echo "play_test.sh: warning: Wine died by SIGSEGV in '$1'; trying once more" >&2
    start_jackd "$4"
    play_once "$@"
  elif [ "$status" -ne 0 ]; then
    exit "$status"
  fi
}
play_once() {
  local name=$1 settings=$2 options=$3 expected=$4
  rm -f out.raw
  # timeout bounds the run and hands SIGINT on to Wine, which makes it the console's Ctrl+C.
  # shellcheck disable=SC2086 # the options are words
  timeout 180 wine "$host" play "Z:$plugin" --no-editor $settings $options >"$name.out" 2>"$name.err" &
  local pid=$! bytes=$(( (48000 * 4) * 8 ))
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || fail "play ended early: $(cat "$name.err")"
    [ "$(stat -c %s out.raw 2>/dev/null || echo 0)" -ge "$bytes" ] && break
    sleep 0.1
  done
  kill -INT "$pid"
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "play did not end on Ctrl+C"
  fi
  local status=0
  wait "$pid" || status=$?
  [ "$status" -ne 139 ] || return 139
  [ "$status" -eq 0 ] || fail "play answered $status on Ctrl+C: $(cat "$name.err")"
  sed -i 's/\r$//' "$name.out"
  grep -q '^Played .* glitches$' "$name.out" || fail "no closing report: $(cat "$name.out")"
  cat "$name.out"
  local rate block
  rate=$(sed -n 's/^Playing through .* at \([0-9]*\) Hz, up to \([0-9]*\) frames.*/\1/p' "$name.out")
  block=$(sed -n 's/^Playing through .* at \([0-9]*\) Hz, up to \([0-9]*\) frames.*/\2/p' "$name.out")
  [ "$rate" = "$expected" ] || fail "played at '$rate' Hz, not the device's $expected"
  # shellcheck disable=SC2086
  timeout 60 wine "$offline" "Z:$plugin" "Z:$work/signal.raw" "Z:$work/$name.ref" "$rate" "$block" $settings ||
    fail "the offline run failed"
  python3 - "$name.ref" "$rate" <<'PY' || fail "$name: the output differs from the offline run"
import array, sys
out, ref = array.array('f'), array.array('f')
out.frombytes(open('out.raw', 'rb').read())
ref.frombytes(open(sys.argv[1], 'rb').read())
# Silence in gives silence out: the output is the offline run after the first sound's delay.
def first_sound(a):
    return next(i for i, x in enumerate(a) if x != 0.0) // 2
shift = first_sound(out) - first_sound(ref)
frames = len(ref) // 2
ok = shift >= 0 and len(out) >= 2 * (shift + frames)
ok = ok and out[2 * shift:2 * (shift + frames)].tobytes() == ref.tobytes()
print(f"latency {shift} frames ({shift * 1000 / int(sys.argv[2]):.1f} ms); {frames} frames compared: "
      f"{'bit for bit equal' if ok else 'DIFFERENT'}")
sys.exit(0 if ok else 1)
PY
}
# The default buffer, then one longer than the device's period: blocks of the size the device
# asks for, each no larger than the size the plug-in was told.
play default "--program Hi-Gain --set distortion=0.8" "" 48000
play long "" "--buffer 35" 48000
# A device at another rate: the plug-in runs at the device's.
start_jackd 44100
play rate "--program TS" "" 44100

# The device goes away under `play` (the server that paces it stops): one line, status 1, soon.
rm -f out.raw
timeout 120 wine "$host" play "Z:$plugin" --no-editor >gone.out 2>gone.err &
pid=$!
for _ in $(seq 300); do
  [ "$(stat -c %s out.raw 2>/dev/null || echo 0)" -ge $((44100 * 8)) ] && break
  sleep 0.1
done
kill "$jackd"
status=0
wait "$pid" || status=$?
[ "$status" -eq 1 ] || fail "a device gone mid-play answered $status: $(cat gone.err)"
grep -q "^gravelix-host: the output device stopped" gone.err ||
  fail "a device gone mid-play said: $(cat gone.err)"
tr -d '\r' <gone.out | grep -q '^Played ' || fail "no closing report after the device went"
echo "device gone: $(grep '^gravelix-host:' gone.err)"
