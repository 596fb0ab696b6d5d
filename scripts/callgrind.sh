#!/usr/bin/env bash
# Counts the instructions processReplacing executes per frame, with valgrind's callgrind:
# stable where wall-clock timings are noisy. Usage: scripts/callgrind.sh [BUILD_DIR] [FRAMES]
# (builds gravelix_callgrind_driver in BUILD_DIR, default "build"; FRAMES default 44032).
# Callgrind does not model flush-to-zero or the cost of subnormal arithmetic, so the silence
# rows show instruction counts only; the timing benchmark (gravelix_bench) shows the stall.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
frames=${2:-44032}
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is not installed (scripts/setup.sh)" >&2; exit 1; }
if [ ! -f "$dir/build.ninja" ] && [ ! -f "$dir/Makefile" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" --target gravelix_callgrind_driver >/dev/null
driver=$(find "$dir" -name gravelix_callgrind_driver -type f -perm -u+x | head -n 1)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

declare -A perFrame
printf '%-7s %-7s %6s %-8s %14s\n' channels effect block signal instr/frame
for stereo in 0 1; do
  for effect in 1 0; do
    for block in 32 512; do
      for silence in 0 1; do
        file="$out/cg.$stereo.$effect.$block.$silence"
        valgrind --tool=callgrind --callgrind-out-file="$file" --collect-atstart=no \
          "--toggle-collect=*measured*" "$driver" "$stereo" "$effect" "$block" "$silence" "$frames" \
          >/dev/null 2>&1
        total=$(awk '/^(summary|totals):/ {print $2; exit}' "$file")
        perFrame[$stereo.$effect.$block.$silence]=$(awk -v t="$total" -v f="$frames" 'BEGIN { print t / f }')
        awk -v t="$total" -v f="$frames" -v c="$([ $stereo = 1 ] && echo stereo || echo mono)" \
          -v e="$([ $effect = 1 ] && echo on || echo off)" -v b="$block" \
          -v s="$([ $silence = 1 ] && echo silence || echo noise)" \
          'BEGIN { printf "%-7s %-7s %6s %-8s %14.1f\n", c, e, b, s, t / f }'
      done
    done
  done
done
# Both channels run in one pass, so stereo should cost about what mono does.
awk -v s="${perFrame[1.1.512.0]}" -v m="${perFrame[0.1.512.0]}" \
  'BEGIN { printf "stereo/mono, effect on, 512-frame blocks, noise: %.2f\n", s / m }'
