#!/usr/bin/env bash
# Puts Gravelix (mono and stereo, and its LV2 build) next to Debian's LV2 guitar pedals from
# guitarix-lv2 (installed when missing) and any other plug-ins given, with `gravelix-host
# bench`, rounds interleaved so a busy machine slows every plug-in alike, and prints the median
# of each figure as a Markdown table.
# Usage: scripts/bench-compare.sh [BUILD_DIR] [ROUNDS] [OTHER_PLUGIN ...] (a .so, .clap, LV2
# bundle or URI)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
rounds=${2:-3}
shift 2 || shift $#
host="$dir/gravelix-host"
# Guitarix's distortion and overdrive pedals: a tube screamer, a DS-1, an MXR Distortion+.
guitarix_pedals=("http://guitarix.sourceforge.net/plugins/gxts9#ts9sim"
  "http://guitarix.sourceforge.net/plugins/gx_bossds1_#_bossds1_"
  "http://guitarix.sourceforge.net/plugins/gx_mxrdist_#_mxrdist_")
[ -x "$host" ] && [ -f "$dir/gravelix.so" ] || { echo "bench-compare.sh: build $dir first" >&2; exit 1; }

configs=("Gravelix|stereo|$dir/gravelix.so --set stereo=1" "Gravelix|mono|$dir/gravelix.so")
if [ -d "$dir/gravelix.lv2" ]; then
  configs+=("Gravelix, LV2|stereo|$dir/gravelix.lv2 --set stereo=1")
fi
scripts/setup.sh --demo --extra guitarix-lv2 >&2
for plugin in "${guitarix_pedals[@]}" "$@"; do
  configs+=("|own|$plugin")
done
out=$(mktemp)
trap 'rm -f "$out"' EXIT

for ((round = 0; round < rounds; round++)); do
  for i in "${!configs[@]}"; do
    IFS='|' read -r _ _ args <<<"${configs[$i]}"
    # shellcheck disable=SC2086 # args holds the plug-in and its options
    "$host" bench $args | awk -v c="$i" '
      /^plug-in/ { sub(/^plug-in +/, ""); sub(/ \(.*/, ""); name = $0 }
      /^audio/ { io = $4 " in / " $7 " out" }
      /^best/ { ns = $3 }
      /^real-time/ { rt = $3; sub(/x/, "", rt) }
      /^first/ { fw = $3; fc = $7 }
      /^later/ { lw = $4; lc = $12 }
      END { print c "|" name "|" io "|" ns "|" rt "|" fw "|" fc "|" lw "|" lc }' >>"$out"
  done
done

echo "| effect | channels | ns per frame | × real time | first instance, ms (CPU) | later instances, ms (CPU) |"
echo "|---|---|---|---|---|---|"
for i in "${!configs[@]}"; do
  IFS='|' read -r label channels _ <<<"${configs[$i]}"
  awk -F'|' -v c="$i" -v label="$label" -v channels="$channels" '
    function median(col,   n, i, j, t, v) {
      n = 0
      for (i = 1; i <= rows; i++) v[++n] = cell[i, col]
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    $1 == c { rows++; for (k = 2; k <= NF; k++) cell[rows, k] = $k; name = $2; io = $3 }
    END {
      if (label == "") label = name
      if (channels == "own") channels = io
      printf "| %s | %s | %.1f | %.0f | %.4f (%.4f) | %.4f (%.4f) |\n", label, channels,
        median(4), median(5), median(6), median(7), median(8), median(9)
    }' "$out"
done
