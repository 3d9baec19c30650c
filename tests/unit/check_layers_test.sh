#!/usr/bin/env bash
# scripts/check-layers.sh on a tree of its own: units that include each
# other one way pass; a source that includes back closes a cycle, which must
# fail the check and be named. Usage: check_layers_test.sh CHECK_LAYERS_SCRIPT
set -euo pipefail
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$dir/scripts" "$dir"/{app,tools,view,heightmap,model,platform,bench,fuzz,tests,packaging}
cp "$1" "$dir/scripts/check-layers.sh"
put() { printf '#include "%s.h"\n' "${@:2}" >"$dir/$1"; }
put view/frame.h view/gl_3d
put view/frame.cpp view/frame
put view/gl_3d.h model/triangle
put view/gl_3d.cpp view/gl_3d view/menu
put view/menu.h view/frame
put view/menu.cpp view/frame
touch "$dir/model/triangle.h"

out="$(bash "$dir/scripts/check-layers.sh" 2>&1)" && fail "a cycle passed: $out"
cycle="view/frame -> view/gl_3d -> view/menu -> view/frame"  # or the same from another unit
[[ "$out" == *"cycle: $cycle"* || "$out" == *"cycle: view/gl_3d -> view/menu -> view/frame -> view/gl_3d"* ||
  "$out" == *"cycle: view/menu -> view/frame -> view/gl_3d -> view/menu"* ]] || fail "not named: $out"
put view/gl_3d.cpp view/gl_3d
out="$(bash "$dir/scripts/check-layers.sh" 2>&1)" || fail "no cycle, yet: $out"
