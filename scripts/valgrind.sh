#!/usr/bin/env bash
# Runs the validator suite on the plug-in under valgrind's memcheck with full leak checking.
# Every check runs in its own process; a memcheck error or a definite leak in one makes that
# check fail ("afterwards exited with status 99").
# Usage: scripts/valgrind.sh [STRICTNESS] [BUILD_DIR]    (default 5, build-validator)
set -euo pipefail
cd "$(dirname "$0")/.."
strictness=${1:-5}
dir=${2:-build-validator}
scripts/setup.sh
# An existing build folder keeps its own settings.
[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja -DGRAVELIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target gravelix gravelix-host >/dev/null
scripts/with-display.sh valgrind --quiet --tool=memcheck --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
  --error-exitcode=99 --child-silent-after-fork=no --track-fds=no --fair-sched=yes \
  --suppressions=tests/validator/valgrind.supp \
  "$dir/gravelix-host" validate "$dir/gravelix.so" --strictness "$strictness"
