#!/usr/bin/env bash
# Guards against bash completion that offers stale or wrong commands and options, misses the
# plug-in's parameter and program names, or offers the wrong files for a position.
# Usage: completion_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
fail() { echo "FAILED: $*" >&2; exit 1; }
completion=/usr/share/bash-completion/bash_completion
[ -r "$completion" ] || fail "bash-completion is missing (scripts/setup.sh installs it)"
# shellcheck source=/dev/null
source "$completion"
# shellcheck source=/dev/null
source "$src/packaging/gravelix-host.bash-completion"
export PATH="$build:$PATH"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/files"
cd "$tmp/files"
mkdir sub
touch other.so riff.wav
cp "$build/gravelix.so" gravelix.so

# The offers for LINE with the cursor at its end, sorted, one line; words split as bash does
# (at spaces that are not escaped).
offers() {
  local line=$1
  local -a words
  read -ra words <<<"${line//\\ /$'\x01'}"
  [[ $line == *" " ]] && words+=("")
  words=("${words[@]//$'\x01'/\\ }")
  COMP_WORDS=("${words[@]}")
  COMP_CWORD=$((${#words[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _gravelix_host gravelix-host "${words[-1]}" "${words[-2]:-}" 2>"$tmp/stderr"
  [ ! -s "$tmp/stderr" ] || fail "'$line' wrote to stderr: $(cat "$tmp/stderr")"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}
expect() { # LINE OFFERS
  local got
  got=$(offers "$1")
  [ "$got" = "$2" ] || fail "'$1<TAB>' offers '$got', expected '$2'"
}

# Commands and options as the program's help has them now, aliases included.
commands=$(gravelix-host --help | sed -n '/^Subcommands:/,/^$/{s/^  \([a-z][a-z, -]*[a-z]\)  .*/\1/p}' |
  tr ',' '\n' | tr -d ' ' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[[ $commands == *render* && $commands == *riff* ]] || fail "unexpected --help: $commands"
expect "gravelix-host " "$commands"
expect "gravelix-host re" "render"
expect "gravelix-host --v" "--version"
for cmd in render play validate demo-riff; do
  options=$(gravelix-host "$cmd" --help | grep -oE '^  (-[a-z],)?--[a-z-]+' | tr ',' '\n' |
    sed 's/^ *//' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  expect "gravelix-host $cmd -" "$options"
done
expect "gravelix-host render gravelix.so riff.wav out.wav --bl" "--block"

# Parameter and program names of the plug-in on the line, matched in any case; names with
# spaces come quoted.
expect "gravelix-host render gravelix.so riff.wav out.wav --set dist" "Distortion="
expect "gravelix-host render gravelix.so riff.wav out.wav --set hi" 'High\ Cut='
expect "gravelix-host bench gravelix.so --program h" "Hi-Gain"
expect "gravelix-host play --program " ""
expect "gravelix-host play gravelix.so --program " "0 1 2 3 Gritty Hi-Gain TS Vorn"
expect "gravelix-host render gravelix.so riff.wav out.wav --set Distortion=" ""
# A file that is no plug-in gives nothing, quietly.
expect "gravelix-host render riff.wav riff.wav out.wav --set d" ""
# A choice list from the help, also after "=".
expect "gravelix-host play gravelix.so --connect " "auto none"
expect "gravelix-host play gravelix.so --connect=n" "--connect=none"

# Files: plug-ins (and folders) where the plug-in goes, any file elsewhere; an option's value
# is no positional.
expect "gravelix-host info " "gravelix.so other.so sub"
expect "gravelix-host validate --seed 3 " "gravelix.so other.so sub"
expect "gravelix-host render --block 64 " "gravelix.so other.so sub"
expect "gravelix-host render gravelix.so " "gravelix.so other.so riff.wav sub"
expect "gravelix-host demo-riff r" "riff.wav"
echo "completion offers commands, options, names and files as expected"
