#!/usr/bin/env bash
# scripts/check-layers.sh on a tree of its own: units that include each
# other only one way pass; a source that includes back closes a cycle, which
# must fail the check and be named.
# Usage: check_layers_test.sh CHECK_LAYERS_SCRIPT
set -euo pipefail
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$dir/scripts" "$dir"/{app,tools,view,heightmap,model,platform,bench,fuzz,tests,packaging}
cp "$1" "$dir/scripts/check-layers.sh"
printf '#include "view/gl_3d.h"\n' >"$dir/view/frame.h"
printf '#include "view/frame.h"\n' >"$dir/view/frame.cpp"
printf '#include "model/triangle.h"\n' >"$dir/view/gl_3d.h"
printf '#include "view/gl_3d.h"\n#include "view/menu.h"\n' >"$dir/view/gl_3d.cpp"
printf '#include "view/frame.h"\n' >"$dir/view/menu.h"
printf '#include "view/frame.h"\n' >"$dir/view/menu.cpp"
printf '#pragma once\n' >"$dir/model/triangle.h"

out="$(bash "$dir/scripts/check-layers.sh" 2>&1)" && fail "a cycle passed: $out"
case "$out" in
*"cycle: view/frame -> view/gl_3d -> view/menu -> view/frame"* | \
  *"cycle: view/gl_3d -> view/menu -> view/frame -> view/gl_3d"* | \
  *"cycle: view/menu -> view/frame -> view/gl_3d -> view/menu"*) ;;
*) fail "the cycle is not named: $out" ;;
esac

printf '#include "view/gl_3d.h"\n' >"$dir/view/gl_3d.cpp"
out="$(bash "$dir/scripts/check-layers.sh" 2>&1)" || fail "no cycle, yet: $out"
echo "check-layers: the cycle named, the tree without it clean"
