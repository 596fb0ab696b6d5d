#!/usr/bin/env bash
# Guards against render and demo-riff making other files, messages or exit statuses on one
# system than on the other: the Linux and the Windows build are both held to one table.
# Usage: render_files_test.sh RESULTS_TABLE PLUGIN HOST [EMULATOR]
# (UPDATE=1 rewrites the table from this build's results.)
set -euo pipefail
table=$1 plugin=$2
shift 2
host=("$@")
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Relative names only: the messages then read the same on both systems.
cd "$tmp"
results=$tmp/results.txt

# One command: its exit status, what it printed (Windows' line ends dropped) and, when it
# failed, that it left no output behind.
run() {
  local out=$1
  shift
  local status=0
  "${host[@]}" "$@" >stdout.txt 2>stderr.txt </dev/null || status=$?
  {
    echo "\$ $*" | sed "s|$plugin|PLUGIN|"
    echo "status $status"
    tr -d '\r' <stdout.txt | sed 's/^/out: /'
    tr -d '\r' <stderr.txt | sed 's/^/err: /'
  } >>"$results"
  if [ $status -ne 0 ] && [ -e "$out" ]; then
    fail "'$*' failed but left $out behind"
  fi
}
hash() {
  for f in "$@"; do
    echo "sha256 $f $(sha256sum "$f" | cut -d' ' -f1)" >>"$results"
  done
}

run riff.wav demo-riff riff.wav --seconds 2 --rate 44100
run riff48.wav demo-riff riff48.wav --seconds 0.5 --rate 48000
hash riff.wav riff48.wav
for program in 0 1 2 3; do
  run out$program.wav render "$plugin" riff.wav out$program.wav --program $program
done
# Other containers and sample formats, a stereo input, odd blocks, settings.
run out.aiff render "$plugin" riff.wav out.aiff --set Distortion=0.9 --block 100
run out16.wav render "$plugin" out1.wav out16.wav --sample-format 16 --program 3
run out.au render "$plugin" riff48.wav out.au --sample-format 24 --block 1
hash out0.wav out1.wav out2.wav out3.wav out.aiff out16.wav out.au

# Bad input: missing, not audio, empty, no frames, a header claiming 60000 channels, a
# container this build cannot write.
printf 'this is not audio' >text.wav
: >empty.wav
run silent.wav render "$plugin" riff.wav silent.wav --set Volume=1
run none.out render "$plugin" none.wav none.out
run text.out render "$plugin" text.wav text.out
run empty.out render "$plugin" empty.wav empty.out
# RIFF header, fmt chunk (float, 1 or 60000 channels, 44100 Hz), an empty data chunk.
wav_header() {
  printf 'RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x03\x00%b\x44\xac\x00\x00' "$1"
  printf '\x00\x00\x00\x00\x00\x00\x20\x00data\x00\x00\x00\x00'
}
wav_header '\x01\x00' >noframes.wav
run noframes.out.wav render "$plugin" noframes.wav noframes.out.wav
hash noframes.out.wav
wav_header '\x60\xea' >wide.wav
run wide.out.wav render "$plugin" wide.wav wide.out.wav
run riff.out.xyz render "$plugin" riff.wav riff.out.xyz --sample-format 12
run bad.wav demo-riff bad.wav --seconds 0
run no/dir.wav demo-riff no/dir.wav

if [ "${UPDATE:-0}" = 1 ]; then
  cp "$results" "$table"
  echo "rewrote $table"
  exit 0
fi
if ! diff -u "$table" "$results" >&2; then
  fail "the results differ from $table (above: - expected, + this build)"
fi
echo "render and demo-riff match $table: $(grep -c '^sha256' "$results") files, $(grep -c '^\$' "$results") commands"
