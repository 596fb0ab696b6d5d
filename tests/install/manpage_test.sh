#!/usr/bin/env bash
# Guards against a manual page that man renders with warnings, or that leaves out a command,
# a command's example or option, an environment variable the code reads, or the exit status.
# Usage: manpage_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
page=$build/gravelix-host.1
host=$build/gravelix-host
[ -f "$page" ] || fail "no $page (is help2man installed? scripts/setup.sh installs it)"
[ "$(zcat "$build/gravelix-host.1.gz")" = "$(cat "$page")" ] || fail "gravelix-host.1.gz is stale"

# As lintian checks pages: any message from groff or man is a fault.
export LC_ALL=C.UTF-8 MANWIDTH=80 MANROFFSEQ=''
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
man --warnings -E UTF-8 -l "$page" >"$tmp/page" 2>"$tmp/warnings" || fail "man -l failed"
[ ! -s "$tmp/warnings" ] || fail "man -l warns:"$'\n'"$(cat "$tmp/warnings")"
text=$(cat "$tmp/page")

for section in NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS "EXIT STATUS" ENVIRONMENT FILES; do
  grep -qx "$section" <<<"$text" || fail "no $section section"
done

# Each command the program lists: its subsection with usage, every option and the example.
mapfile -t commands < <("$host" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')
[ ${#commands[@]} -ge 8 ] || fail "found only ${#commands[@]} commands in --help"
for cmd in "${commands[@]}"; do
  # The part of the page from this command's heading to the next heading.
  part=$(awk -v c="$cmd" '/^   [a-z]/ { on = ($1 == c || $1 == c ",") } on' <<<"$text")
  [ -n "$part" ] || fail "no subsection for $cmd"
  grep -q "^ *gravelix-host $cmd \[OPTIONS\]" <<<"$part" || fail "$cmd: no usage line"
  awk '/^ *Example:$/ { on = 1; next } on && NF { print; exit }' <<<"$part" |
    grep -q "^ *gravelix-host $cmd " ||
    fail "$cmd: no example:"$'\n'"$part"
  while read -r option; do
    grep -q -- "$option" <<<"$part" || fail "$cmd: option $option missing"
  done < <("$host" "$cmd" --help | grep -o '^  --[a-z-]*' | grep -v -- --help)
done

# Every variable the plug-in or the host reads (test and benchmark code aside).
environment=$(sed -n '/^ENVIRONMENT$/,/^[A-Z]/p' <<<"$text")
mapfile -t variables < <(grep -rhoE 'getenv\("[A-Z_]+"\)' "$src"/{plugin,effect,editor,toolkit,tools} |
  sed 's/getenv("\(.*\)")/\1/' | sort -u)
[ ${#variables[@]} -gt 0 ] || fail "found no getenv in the sources"
for variable in "${variables[@]}" JACK_DEFAULT_SERVER; do
  grep -qE "^ +$variable( |\$)" <<<"$environment" || fail "ENVIRONMENT lacks $variable"
done

exit_status=$(sed -n '/^EXIT STATUS$/,/^[A-Z]/p' <<<"$text")
for code in 0 1 "100 to 127"; do
  grep -qE "^ +$code( |\$)" <<<"$exit_status" || fail "EXIT STATUS lacks $code"
done
echo "gravelix-host.1 renders cleanly with ${#commands[@]} commands and ${#variables[@]} variables"
