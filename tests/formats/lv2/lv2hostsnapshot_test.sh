#!/usr/bin/env bash
# Guards gravelix-host's hosting of our LV2 UI: an editor through the LV2 bridge that opens at
# another size, misses the host's scale, starts from other values than the ports hold or takes
# no input (the back panel is a click away) shows a picture other than the VST 2.4 editor's.
# Usage: lv2hostsnapshot_test.sh GRAVELIX_HOST VST_PLUGIN LV2_BUNDLE OUT_DIR
set -euo pipefail
host=$1 vst=$2 bundle=$3 out=$4
rm -rf "$out"
mkdir -p "$out"
failed=0
for args in "--scale 2" "--back" "--program Hi-Gain --set Output=0.3"; do
  # shellcheck disable=SC2086 # args holds the options
  "$host" snapshot "$vst" "$out/vst.png" $args >/dev/null
  # shellcheck disable=SC2086
  "$host" snapshot "$bundle" "$out/lv2.png" $args >/dev/null
  if ! cmp -s "$out/vst.png" "$out/lv2.png"; then
    echo "snapshot ${args:-(no options)}: the LV2 UI's picture differs from the VST 2.4 editor's" >&2
    cp "$out/lv2.png" "$out/lv2-differs-${args//[^a-zA-Z0-9]/_}.png"
    failed=1
  fi
done
exit $failed
