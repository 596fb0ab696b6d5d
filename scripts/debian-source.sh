#!/usr/bin/env bash
# Fetches and unpacks the Debian 12 source package PACKAGE (with Debian's patches, security
# updates included) into DIR/PACKAGE-VERSION and prints that folder. Uses a private apt state
# under DIR, so the machine's sources list needs no deb-src line and nothing is installed.
# Usage: scripts/debian-source.sh PACKAGE DIR
set -euo pipefail
package=${1:?usage: debian-source.sh PACKAGE DIR}
dir=${2:?usage: debian-source.sh PACKAGE DIR}
command -v dpkg-source >/dev/null || "$(dirname "$0")/setup.sh" --extra dpkg-dev >&2
mkdir -p "$dir/apt/lists/partial" "$dir/apt/cache/archives/partial"
dir=$(realpath "$dir")
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$dir/apt/sources.list" <<LIST
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
LIST
apt=(apt-get -q -o Dir::Etc::SourceList="$dir/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o Dir::State::Lists="$dir/apt/lists" -o Dir::Cache="$dir/apt/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User=root)
timeout 600 "${apt[@]}" update >&2
cd "$dir"
timeout 600 "${apt[@]}" source "$package" >&2
# The newest version apt chose is the one unpacked.
found=$(find . -mindepth 1 -maxdepth 1 -type d -name "$package-*" -printf '%f\n' | sort -V | tail -n 1)
[ -n "$found" ] || {
  echo "debian-source.sh: no source of $package was unpacked" >&2
  exit 1
}
echo "$dir/$found"
