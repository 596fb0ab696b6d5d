#!/usr/bin/env bash
# Writes gravelix-host's manual page from the program's own help: help2man turns the top-level
# --help into the page, each command's --help (with its example) becomes a subsection of
# COMMANDS, and INCLUDE adds what no help text says (exit status, environment, files).
# Usage: packaging/manpage.sh PROGRAM INCLUDE.h2m OUT.1 [EMULATOR...]
# (EMULATOR: what runs a cross build's program here, e.g. qemu-aarch64 -L /usr/aarch64-linux-gnu)
set -euo pipefail
export LC_ALL=C
program=${1:-} include=${2:-} out=${3:-}
shift 3 || true
emulator=("$@")
die() {
  echo "manpage.sh: $*" >&2
  exit 1
}
[ -x "$program" ] && [ -r "$include" ] && [ -n "$out" ] ||
  die "usage: manpage.sh PROGRAM INCLUDE.h2m OUT.1"
command -v help2man >/dev/null || die "help2man is missing (scripts/setup.sh installs it)"

# Run by name, so every help text says "gravelix-host" and not the build folder's path.
dir=$(cd "$(dirname "$program")" && pwd)
name=$(basename "$program")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ ${#emulator[@]} -gt 0 ]; then
  # A stand-in of the same name runs it from its own folder, so it still sees itself by name.
  mkdir "$tmp/bin"
  printf '#!/bin/sh\ncd %q && exec %s %q "$@"\n' "$dir" "$(printf '%q ' "${emulator[@]}")" \
    "$name" >"$tmp/bin/$name"
  chmod +x "$tmp/bin/$name"
  dir=$tmp/bin
fi
export PATH="$dir:$PATH"

# "NAME[, ALIAS]  Summary" lines under "Subcommands:".
"$name" --help >"$tmp/help" || die "$name --help failed"
awk '/^Subcommands:/ { on = 1; next } /^[^ ]/ { on = 0 }
     on && /^  [^ ]/ { sub(/^  /, ""); sub(/  .*/, ""); print }' "$tmp/help" >"$tmp/commands"
[ -s "$tmp/commands" ] || die "$name --help lists no commands"

# One command's help as roff: usage, summary, arguments and options, then the example.
to_roff() { # NAMES < help
  awk -v names="$1" '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return s }
    function line(s) { if (s ~ /^[.\047]/) s = "\\&" s; print s }
    # "--seconds FLOAT:FLOAT in [0.1 - 600]=8" -> bold names, the rest as is.
    function term(s,   n, i, w, out) {
      n = split(s, w, " ")
      for (i = 1; i <= n; i++) {
        if (i == 1 && w[i] ~ /^-/) { gsub(/,/, ", ", w[i]); out = "\\fB" esc(w[i]) "\\fR" }
        else if (i == 1) out = "\\fI" esc(w[i]) "\\fR"
        else out = out " " esc(w[i])
      }
      return out
    }
    # The last " --" within the first 70 columns, or 0.
    function lastbreak(s,   i, at) {
      at = 0
      for (i = 2; i <= 68; i++) if (substr(s, i, 3) == " --") at = i
      return at
    }
    function flush() { if (desc != "") line(esc(desc)); desc = "" }
    NR == 1 { summary = $0; next }
    /^Usage:/ {
      split(names, alias, ", ")
      print ".SS \"" esc(names) "\""
      n = split($0, w, " "); args = ""
      for (i = 4; i <= n; i++) args = args " " (w[i] ~ /^\[/ ? "[\\fI" esc(substr(w[i], 2, length(w[i]) - 2)) "\\fR]" : "\\fI" esc(w[i]) "\\fR")
      print ".B gravelix\\-host " esc(alias[1])
      line(substr(args, 2))
      print ".br"
      line(esc(summary))
      next
    }
    /^(Positionals|Options):$/ { flush(); next }
    /^Examples?:$/ { flush(); example = 1; print ".PP"; print "Example:"; print ".IP"; print ".nf"; next }
    # Long examples break before an option, as a shell continuation line.
    example && /^  / {
      s = substr($0, 3)
      while (length(s) > 70 && (cut = lastbreak(s)) > 0) {
        line(esc(substr(s, 1, cut - 1)) " \\e"); s = "    " substr(s, cut + 1)
      }
      line(esc(s)); next
    }
    example { print ".fi"; example = 0 }
    # A description too long for its column continues on deeply indented lines.
    match($0, /^ +/) && RLENGTH >= 20 { sub(/^ +/, ""); desc = desc (desc == "" ? "" : " ") $0; next }
    /^  -h,--help / { skip = 1; next }
    /^  [^ ]/ {
      flush(); skip = 0
      s = substr($0, 3); d = ""
      if (match(s, /  +/)) { d = substr(s, RSTART + RLENGTH); s = substr(s, 1, RSTART - 1) }
      print ".TP"; line(term(s)); desc = d
      next
    }
    /^$/ { flush(); next }
    { flush(); print ".PP"; line(esc($0)) }
    END { flush(); if (example) print ".fi" }
  '
}

{
  echo "[COMMANDS]"
  while IFS= read -r names; do
    "$name" "${names%%,*}" --help >"$tmp/command" || die "$name ${names%%,*} --help failed"
    # The page test fails on it too; the build goes on so that everything else can be tried.
    grep -q "^Examples\?:$" "$tmp/command" ||
      echo "manpage.sh: warning: ${names%%,*} --help shows no example (setExample)" >&2
    to_roff "$names" <"$tmp/command"
  done <"$tmp/commands"
  echo
  cat "$include"
} >"$tmp/include.h2m"

help2man --no-info --section 1 --manual "User Commands" \
  --include "$tmp/include.h2m" --output "$tmp/page.1" "$name" ||
  die "help2man failed"
# help2man reads "-h,--help" as one word; make it two like every other option pair.
sed 's/^\\fB\\-h\\fR,\\-\\-help$/\\fB\\-h\\fR, \\fB\\-\\-help\\fR/' "$tmp/page.1" >"$out"
