#!/usr/bin/env bash
# Measures Gravelix's four programs, Gravelix HQ's (where built), Debian's LV2 guitar pedals
# from guitarix-lv2 (installed when missing) and other effects with `gravelix-host analyze` in
# one run and prints THD at -6 dBFS and the worst alias of each as a Markdown table. With --docs, also copies the pedal's overlay plots (a Distortion sweep per
# program) and Hi-Gain's aliasing in Gravelix and Gravelix HQ to docs/analysis/.
# Usage: scripts/analyze-compare.sh [--docs] [BUILD_DIR] [OTHER_PLUGIN ...] (a .so, .clap, LV2
# bundle or URI)
# Without other plug-ins it takes Soul Force (dpf-plugins-vst) and ZamTube (zam-plugins) when
# installed: scripts/setup.sh --extra dpf-plugins-vst zam-plugins
set -euo pipefail
cd "$(dirname "$0")/.."
docs=0
if [ "${1:-}" = "--docs" ]; then
  docs=1
  shift
fi
dir=${1:-build}
shift || true
host="$dir/gravelix-host"
[ -x "$host" ] && [ -f "$dir/gravelix.so" ] || { echo "analyze-compare.sh: build $dir first" >&2; exit 1; }
others=("$@")
if [ ${#others[@]} -eq 0 ]; then
  for p in /usr/lib/vst/SoulForce-vst.so /usr/lib/vst/ZamTube-vst.so; do
    [ -f "$p" ] && others+=("$p")
  done
fi
# Guitarix's distortion and overdrive pedals: a tube screamer, a DS-1, an MXR Distortion+.
scripts/setup.sh --demo --extra guitarix-lv2 >&2
others+=("http://guitarix.sourceforge.net/plugins/gxts9#ts9sim"
  "http://guitarix.sourceforge.net/plugins/gx_bossds1_#_bossds1_"
  "http://guitarix.sourceforge.net/plugins/gx_mxrdist_#_mxrdist_")
out=out/analyze-compare
rm -rf "$out"
mkdir -p "$out"

# The number after "key": in a summary written by analyze (one key per line).
value() { sed -n "s/^ *\"$2\": \([^,]*\),*$/\1/p" "$1"; }

rows=()
for program in 0 1 2 3; do
  "$host" analyze "$dir/gravelix.so" --program "$program" --out "$out/gravelix-$program" \
    --sweep distortion=0,0.5,1 >/dev/null
  name=$("$host" info "$dir/gravelix.so" | awk -v p="$program" '/^Programs/ { on = 1; next }
    on && $1 == p { $1 = ""; sub(/^ +/, ""); sub(/ *\(current\)$/, ""); print; exit }')
  # The program's own Distortion setting is not one of the swept values; measure it too.
  "$host" analyze "$dir/gravelix.so" --program "$program" --out "$out/gravelix-$program/own" \
    --only harmonics,aliasing >/dev/null
  rows+=("Gravelix, program $program${name:+ ($name)}|$out/gravelix-$program/own/summary.json")
done
if [ -f "$dir/gravelix-hq.so" ]; then
  for program in 0 1 2 3; do
    "$host" analyze "$dir/gravelix-hq.so" --program "$program" --out "$out/gravelix-hq-$program" \
      --only harmonics,aliasing >/dev/null
    name=$(value "$out/gravelix-hq-$program/summary.json" program | tr -d '"')
    rows+=("Gravelix HQ, program $program${name:+ ($name)}|$out/gravelix-hq-$program/summary.json")
  done
fi
for plugin in "${others[@]}"; do
  base=$(basename "$plugin" .so | tr -c 'A-Za-z0-9_.\n-' '_')
  "$host" analyze "$plugin" --out "$out/$base" --only harmonics,aliasing >/dev/null
  rows+=("$(value "$out/$base/summary.json" plugin | tr -d '"') (default settings)|$out/$base/summary.json")
done

echo "| effect | THD at -6 dBFS, % | worst alias, dB |"
echo "|---|---|---|"
for row in "${rows[@]}"; do
  IFS='|' read -r label summary <<<"$row"
  printf "| %s | %.3g | %.1f |\n" "$label" "$(value "$summary" thd_percent_at_minus6dbfs)" \
    "$(value "$summary" worst_alias_db)"
done

if [ "$docs" = 1 ]; then
  # pngquant (a palette of at most 256 colours) keeps the pictures in the repository small.
  scripts/setup.sh --extra pngquant
  mkdir -p docs/analysis
  for program in 0 1 2 3; do
    for plot in response harmonics levels aliasing; do
      pngquant --force --quality 60-90 --speed 1 --output "docs/analysis/program$program-$plot.png" \
        "$out/gravelix-$program/$plot.png"
    done
  done
  if [ -f "$dir/gravelix-hq.so" ]; then
    pngquant --force --quality 60-90 --speed 1 --output docs/analysis/gravelix-program1-aliasing.png \
      "$out/gravelix-1/own/aliasing.png"
    pngquant --force --quality 60-90 --speed 1 --output docs/analysis/gravelix-hq-program1-aliasing.png \
      "$out/gravelix-hq-1/aliasing.png"
  fi
fi
