#!/usr/bin/env bash
# Runs a Windows program under Wine as if on Windows XP (major version 5), through a copy with
# a name of its own so the version setting touches no other program of the prefix.
# Usage: run_as_windows_xp.sh PROGRAM.exe [arguments...]
set -euo pipefail
program=$1
shift
copy_dir=$(mktemp -d)
trap 'rm -rf "$copy_dir"' EXIT
name=$(basename "$program" .exe)_xp.exe
cp "$program" "$copy_dir/$name"
wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$name" /v Version /d winxp64 /f >/dev/null 2>&1
wine "$copy_dir/$name" "$@"
