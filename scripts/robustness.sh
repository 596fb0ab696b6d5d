#!/usr/bin/env bash
# Host-grade robustness run: the validator at full strictness and under a bare xvfb-run (and the
# LV2 pedals through gravelix-host's LV2 hosting), the
# effect fuzzer, the threaded checks and two instances' concurrent editors under
# ThreadSanitizer, the validator suite under valgrind, and three real hosts as clients (Ardour
# and Audacity with the VST 2.4 plug-ins, Ardour with the VST3 ones too, Qtractor with the CLAP
# ones; all three with the LV2 bundle). Every step is time-bounded; all steps run, and the exit status is non-zero when any
# failed. Ends with a timing table and "N passed, N failed" over the steps.
# Usage: scripts/robustness.sh [BUILD_DIR]   (default build: reuses what scripts/test.sh built)
# Environment: FUZZ_SECONDS (default 90), VALGRIND_STRICTNESS (default 5: every check, with
# fewer rounds than at 10).
set -uo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
fuzz_seconds=${FUZZ_SECONDS:-90}
valgrind_strictness=${VALGRIND_STRICTNESS:-5}
scripts/setup.sh --extra ardour python3 audacity qtractor jackd2 xdotool python3-numpy \
  python3-soundfile iproute2 x11-apps ||
  exit 1

names=() results=() times=()
step() {
  local name=$1 limit=$2
  shift 2
  echo "=== robustness: $name (at most ${limit} s)" >&2
  local start status
  start=$(date +%s)
  # Through bash, so that the steps defined as functions below can be bounded too.
  timeout --kill-after=10 "$limit" bash -c '"$@"' "$name" "$@"
  status=$?
  [ "$status" -eq 124 ] && echo "=== robustness: $name timed out" >&2
  names+=("$name")
  times+=($(($(date +%s) - start)))
  if [ "$status" -eq 0 ]; then results+=(pass); else results+=(FAIL); fi
}

build_plain() {
  cmake -S . -B "$dir" -G Ninja >/dev/null &&
    cmake --build "$dir" --target gravelix gravelix-hq gravelix_clap gravelix_hq_clap gravelix_lv2 \
      gravelix-host
}

validate() {
  scripts/with-display.sh "$dir/gravelix-host" validate "$dir/gravelix.so" --strictness 10
}

# Both CLAP pedals, the CLAP rules included, through gravelix-host's CLAP hosting.
validate_clap() {
  local failed=0 clap
  for clap in Gravelix.clap GravelixHQ.clap; do
    scripts/with-display.sh "$dir/gravelix-host" validate "$dir/$clap" --strictness 10 || failed=1
  done
  return $failed
}

# xvfb-run without -noreset: the server resets whenever its last client leaves, so a validator
# that let go of its display between checks would find none for the next.
# Both LV2 pedals, the LV2 rules included, through gravelix-host's LV2 hosting; at the default
# strictness, as the VST 2.4 and CLAP runs above already repeat the shared core's checks, and
# the editor (one UI for both) through the plain pedal only.
validate_lv2() {
  local failed=0 ns=https://keldwyn.example/plugins
  scripts/with-display.sh "$dir/gravelix-host" validate "$dir/gravelix.lv2" --plugin $ns/gravelix ||
    failed=1
  scripts/with-display.sh "$dir/gravelix-host" validate "$dir/gravelix.lv2" --plugin $ns/gravelix-hq \
    --no-editor || failed=1
  return $failed
}

validate_bare() {
  xvfb-run -a "$dir/gravelix-host" validate "$dir/gravelix.so"
}

tsan() {
  local tdir=build-tsan
  cmake -S . -B "$tdir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRAVELIX_SANITIZE=thread \
    -DGRAVELIX_BUILD_BENCH=OFF >/dev/null &&
    cmake --build "$tdir" --target gravelix gravelix-host gravelix_editor_threads_tests || return 1
  local failed=0 only
  # The checks where threads meet: audio + parameters + editor idle, parameter and program
  # changes during processing, the editor opened and closed while audio runs.
  for only in threads/ changes-while-processing open-close-50-processing; do
    TSAN_OPTIONS="halt_on_error=1 history_size=4 suppressions=$(pwd)/tests/validator/tsan.supp" \
      scripts/with-display.sh "$tdir/gravelix-host" validate "$tdir/gravelix.so" \
      --strictness 10 --only "$only" || failed=1
  done
  # Editors of two instances opened and closed on two threads at once, images shared.
  TSAN_OPTIONS="halt_on_error=1 suppressions=$(pwd)/tests/validator/tsan.supp" \
    scripts/with-display.sh "$tdir/tests/editor/gravelix_editor_threads_tests" || failed=1
  return $failed
}

export dir
export -f build_plain validate validate_clap validate_lv2 validate_bare tsan
step build 1500 build_plain
step "validate --strictness 10" 600 validate
step "validate CLAP --strictness 10" 600 validate_clap
step "validate LV2" 600 validate_lv2
step "validate under a bare xvfb-run" 600 validate_bare
step "fuzz ${fuzz_seconds} s" $((fuzz_seconds + 1500)) scripts/fuzz.sh "$fuzz_seconds" build-fuzz
step "threadsanitizer" 1500 tsan
step "valgrind" 1200 scripts/valgrind.sh "$valgrind_strictness" "$dir"
step "ardour" 600 scripts/ardour-check.sh "$dir"
step "ardour-hq" 600 scripts/ardour-check.sh "$dir" hq
step "ardour LV2" 600 scripts/ardour-check.sh "$dir" lv2
step "ardour VST3" 300 scripts/ardour-vst3-check.sh "$dir"
step "ardour VST3 HQ" 300 scripts/ardour-vst3-check.sh "$dir" hq
step "audacity" 420 scripts/audacity-check.sh "$dir"
step "audacity-hq" 420 scripts/audacity-check.sh "$dir" hq
step "audacity LV2" 420 scripts/audacity-check.sh "$dir" lv2
step "qtractor" 300 scripts/qtractor-check.sh "$dir"
step "qtractor-hq" 300 scripts/qtractor-check.sh "$dir" hq
step "qtractor LV2" 540 scripts/qtractor-check.sh "$dir" lv2

passed=0 failed=0
echo "robustness summary:"
for i in "${!names[@]}"; do
  printf '  %-4s %5d s  %s\n' "${results[$i]}" "${times[$i]}" "${names[$i]}"
  if [ "${results[$i]}" = pass ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
