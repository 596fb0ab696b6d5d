#!/usr/bin/env bash
# Formats every C++ source the repository tracks with one pinned clang-format, so the style never
# drifts with the machine's default version (Debian 12's clang-format 14 lacks InsertBraces).
# Usage: scripts/format.sh          rewrite the files in place
#        scripts/format.sh --check  list unformatted files and exit 1 if there are any
set -euo pipefail
cd "$(dirname "$0")/.."
version=15
scripts/setup.sh --extra "clang-format-$version"
format="clang-format-$version"

mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in "${files[@]}"; do
    if ! "$format" --style=file "$f" | cmp -s - "$f"; then
      echo "unformatted: $f"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && echo "all ${#files[@]} files formatted"
  exit $bad
fi
"$format" --style=file -i "${files[@]}"
