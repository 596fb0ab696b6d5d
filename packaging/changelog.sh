#!/usr/bin/env bash
# Writes the release notes of CHANGES.md to stdout as a Debian changelog or as plain text
# (Windows line ends), refusing a file whose newest release is not VERSION.
# Usage: packaging/changelog.sh text CHANGES_MD VERSION
#        packaging/changelog.sh debian CHANGES_MD VERSION MAINTAINER
set -euo pipefail
export LC_ALL=C
format=${1:-} changes=${2:-} version=${3:-} maintainer=${4:-}
die() {
  echo "changelog.sh: $*" >&2
  exit 1
}
[[ ($format == text || -n $maintainer) && -n $version ]] ||
  die "usage: changelog.sh text CHANGES_MD VERSION | debian CHANGES_MD VERSION MAINTAINER"
[[ $format == debian || $format == text ]] || die "unknown format '$format'"
[ -r "$changes" ] || die "cannot read $changes"

# One record per release: VERSION<TAB>DATE, then its items, one per line.
releases=$(awk '
  function flush() { if (item != "") print "item\t" item; item = "" }
  /^## / {
    flush()
    if (match($0, /^## [0-9][0-9A-Za-z.+~]* \([^)]*\)$/) == 0) {
      print "error\tbad heading: " $0; exit
    }
    v = $2; d = substr($0, index($0, "(") + 1); sub(/\)$/, "", d)
    print "release\t" v "\t" d; inrelease = 1; next
  }
  !inrelease { next }
  /^- / { flush(); item = substr($0, 3); next }
  /^  [^ ]/ && item != "" { t = $0; sub(/^ +/, "", t); item = item " " t; next }
  /^$/ { flush(); next }
  { print "error\tline " NR " is no item: " $0; exit }
  END { flush() }
' "$changes")

if grep -q "^error" <<<"$releases"; then
  die "$changes: $(grep -m1 "^error" <<<"$releases" | cut -f2-)"
fi
newest=$(grep -m1 "^release" <<<"$releases" | cut -f2 || true)
[ "$newest" = "$version" ] ||
  die "$changes: the newest release is '${newest:-none}', not $version; add its notable changes"

# Wraps one item to 76 columns: FIRST prefix on its first line, REST on the others.
wrap() {
  fold -s -w "$((76 - ${#2}))" <<<"$3" | sed 's/ *$//' | awk -v first="$1" -v rest="$2" \
    '{ print (NR == 1 ? first : rest) $0 }'
}

emit_release() { # version date items...
  local v=$1 d=$2 when
  shift 2
  when=$(date -u -R -d "$d" 2>/dev/null) || die "$changes: release $v has a bad date: $d"
  [ $# -gt 0 ] || die "$changes: release $v lists no changes"
  if [ "$format" = debian ]; then
    printf 'gravelix (%s) unstable; urgency=medium\n\n' "$v"
    for item in "$@"; do wrap "  * " "    " "$item"; done
    printf '\n -- %s  %s\n\n' "$maintainer" "$when"
  else
    local title="Gravelix $v ($(date -u -d "$d" '+%-d %B %Y'))"
    printf '%s\n%s\n\n' "$title" "$(printf '%*s' ${#title} '' | tr ' ' '-')"
    for item in "$@"; do wrap "- " "  " "$item"; done
    printf '\n'
  fi
}

emit_all() {
  local v="" d="" items=() kind a b
  while IFS=$'\t' read -r kind a b; do
    if [ "$kind" = release ]; then
      [ -z "$v" ] || emit_release "$v" "$d" "${items[@]}"
      v=$a d=$b items=()
    else
      items+=("$a")
    fi
  done <<<"$releases"
  emit_release "$v" "$d" "${items[@]}"
}

if [ "$format" = debian ]; then
  emit_all
else
  { printf 'Changes in Gravelix, newest first\n\n'; emit_all; } | sed 's/$/\r/'
fi
