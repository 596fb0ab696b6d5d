#!/usr/bin/env bash
# Guards the bundle's data files as LV2's own tools read them: Turtle that does not parse, terms
# used against LV2's schemas, and a bundle whose pedals a host would list with other ports than
# the libraries have (ten controls each, and the latency output) or without their editor's UI
# library, or whose UI requires a feature (some hosts refuse such a UI).
# Usage: lv2bundle_test.sh BUNDLE WORKDIR
set -euo pipefail
bundle=$1
work=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for f in "$bundle"/*.ttl; do
  sordi "file://$f" > /dev/null || fail "sordi cannot parse $f"
done

# lv2_validate checks our files against every schema lv2-dev installs. It skips one of those
# (lv2core.doap.ttl, its own project description, which it cannot read as data) and says so;
# that line and the closing count are all it prints when our files are clean.
report=$(lv2_validate "$bundle"/*.ttl 2>&1) || fail "lv2_validate failed: $report"
grep -q "Found 0 errors" <<< "$report" || fail "lv2_validate: $report"
noise=$(grep -v -e '^Skipping file .*/lv2core\.doap\.ttl$' -e '^Found 0 errors' <<< "$report" || true)
[ -z "$noise" ] || fail "lv2_validate warns: $noise"

# Only our bundle on the path: the build folder's other folders are no bundles.
rm -rf "$work"
mkdir -p "$work"
ln -s "$bundle" "$work/gravelix.lv2"
export LV2_PATH=$work
listed=$(lv2ls)
for name in gravelix gravelix-hq; do
  uri=https://keldwyn.example/plugins/$name
  grep -qx "$uri" <<< "$listed" || fail "lv2ls does not list $uri: $listed"
  info=$(lv2info "$uri" 2>&1) || fail "lv2info $uri failed: $info"
  # Each port's block, its types in any order: the input and output controls counted.
  controls=$(awk '/^\tPort [0-9]+:/ { if (c) print io; c = 0; io = "" }
                  /lv2core#ControlPort/ { c = 1 }
                  /lv2core#InputPort/ { io = "in" }
                  /lv2core#OutputPort/ { io = "out" }
                  END { if (c) print io }' <<< "$info" | sort | uniq -c | tr -s ' ')
  [ "$controls" = "$(printf ' 10 in\n 1 out')" ] || fail "$uri: controls $controls"
  grep -q 'Has latency: *yes, reported by port 14' <<< "$info" || fail "$uri: no latency port"
  grep -q "Binary: *file://$work/gravelix.lv2/$name.so" <<< "$info" || fail "$uri: binary"
  for preset in Vorn Hi-Gain TS Gritty; do
    grep -qx "[[:space:]]*$preset" <<< "$info" || fail "$uri: no preset $preset"
  done
  grep -q 'Designation: *http://lv2plug.in/ns/lv2core#enabled' <<< "$info" ||
    fail "$uri: no footswitch as lv2:enabled"
  ui=$(awk '/^\tUIs:/ { on = 1; next } on && /^\t[A-Z]/ { on = 0 } on' <<< "$info")
  grep -qx "[[:space:]]*$uri#ui" <<< "$ui" || fail "$uri: no UI $uri#ui: $ui"
  grep -q 'Class: *http://lv2plug.in/ns/extensions/ui#X11UI' <<< "$ui" || fail "$uri: UI class"
  grep -q "Binary: *file://$work/gravelix.lv2/$name-ui.so" <<< "$ui" || fail "$uri: UI binary"
done
! grep -q 'requiredFeature' "$bundle"/*.ttl || fail "a data file requires a feature"
for name in gravelix gravelix-hq; do
  notified=$(grep -c 'ui:protocol ui:floatProtocol' "$bundle/$name.ttl" || true)
  [ "$notified" = 10 ] || fail "$name.ttl: $notified port notifications, not 10"
done
echo "lv2 bundle: OK"
