#!/usr/bin/env bash
# Builds the effect fuzzer (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs it for a bounded time from the committed corpus.
# Usage: scripts/fuzz.sh [SECONDS] [BUILD_DIR]    (default 90 s, build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
dir=${2:-build-fuzz}
scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGRAVELIX_FUZZ=ON -DGRAVELIX_SANITIZE=address,undefined,fuzzer-no-link \
  -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target gravelix_fuzz
# New inputs go to a scratch corpus; the committed seeds stay as they are.
work="$dir/fuzz-corpus"
mkdir -p "$work" "$dir/fuzz-artifacts"
cpus=$(nproc)
echo "fuzzing the effect for ${seconds} s on ${cpus} core(s)" >&2
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/tests/validator/gravelix_fuzz" "$work" tests/validator/fuzz/corpus \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -artifact_prefix="$dir/fuzz-artifacts/" -print_final_stats=1 2>&1 | tail -n 25
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "fuzz: FAILED (status $status); reproducer in $dir/fuzz-artifacts/" >&2
  exit "$status"
fi
echo "fuzz: no failure in ${seconds} s" >&2
