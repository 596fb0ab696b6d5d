#!/usr/bin/env bash
# Guards against release notes that Debian's changelog parser rejects or misreads, and against
# a changelog made from notes that lack the current version or are malformed.
# Usage: changelog_test.sh SOURCE_DIR VERSION
set -euo pipefail
src=$1 version=$2
fail() { echo "FAILED: $*" >&2; exit 1; }
generate="$src/packaging/changelog.sh"
contact="Gravelix developers <gravelix@keldwyn.example>"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The real notes: every release parsed back by dpkg, newest first, silently, changes within
# 80 columns.
"$generate" debian "$src/CHANGES.md" "$version" "$contact" >"$tmp/changelog"
dpkg-parsechangelog -l "$tmp/changelog" --all >"$tmp/parsed" 2>"$tmp/warnings" ||
  fail "dpkg-parsechangelog failed: $(cat "$tmp/warnings")"
[ ! -s "$tmp/warnings" ] || fail "dpkg-parsechangelog warns: $(cat "$tmp/warnings")"
[ "$(dpkg-parsechangelog -l "$tmp/changelog" -S Version)" = "$version" ] ||
  fail "newest version is not $version"
releases=$(grep -c '^## ' "$src/CHANGES.md")
[ "$(grep -c '^gravelix (' "$tmp/changelog")" = "$releases" ] || fail "not all $releases releases"
! awk '!/^ -- / && length > 80' "$tmp/changelog" | grep -q . ||
  fail "change lines beyond 80 columns"
items=$(grep -c '^- ' "$src/CHANGES.md")
[ "$(grep -c '^  \* ' "$tmp/changelog")" = "$items" ] || fail "not all $items items"
# Releases must be in date order for Debian's tools.
dpkg-parsechangelog -l "$tmp/changelog" --all -S Timestamp | sort -c -r -n ||
  fail "releases are not newest first"

text=$("$generate" text "$src/CHANGES.md" "$version")
[[ $text == *"Gravelix $version ("* && $text == *$'\r\n'* ]] ||
  fail "the text form lacks $version or Windows line ends"

# Malformed notes: refused with a message naming the fault, nothing half written.
refuses() { # NAME EXPECTED-MESSAGE < notes
  cat >"$tmp/$1.md"
  if "$generate" debian "$tmp/$1.md" 2.0.0 "$contact" >"$tmp/out" 2>"$tmp/err"; then
    fail "$1: accepted"
  fi
  grep -q "$2" "$tmp/err" || fail "$1: unclear message: $(cat "$tmp/err")"
}
refuses stale-version "newest release is '1.9.0', not 2.0.0" <<'EOF'
## 1.9.0 (2026-12-07 11:23 +0000)

- A change.
EOF
refuses bad-date "bad date" <<'EOF'
## 2.0.0 (the 7th of December)

- A change.
EOF
refuses no-items "lists no changes" <<'EOF'
## 2.0.0 (2026-12-07 11:23 +0000)

## 1.0.0 (2026-12-01 11:23 +0000)

- A change.
EOF
refuses stray-line "is no item" <<'EOF'
## 2.0.0 (2026-12-07 11:23 +0000)

Some prose that is no item.
EOF
refuses bad-heading "bad heading" <<'EOF'
## Version 2.0.0

- A change.
EOF
echo "changelog: $releases releases and $items items parse cleanly; malformed notes refused"
