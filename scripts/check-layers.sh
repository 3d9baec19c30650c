#!/usr/bin/env bash
# Fails when a source includes a folder above its own: app -> view ->
# heightmap, model -> platform. tools/ stand beside app/, over view/, so the
# batch never links the window; tests/, bench/ and fuzz/ may use all.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

allowed() {
  case "$1" in
    app) echo "app view heightmap model platform" ;;
    tools) echo "tools view heightmap model platform" ;;
    view) echo "view heightmap model platform" ;;
    heightmap) echo "heightmap platform" ;;
    model) echo "model platform" ;;
    platform) echo "platform" ;;
  esac
}

status=0
for layer in app tools view heightmap model platform; do
  ok=" $(allowed "$layer") "
  while IFS= read -r line; do
    file="${line%%:*}"
    target="$(sed -n 's/.*#include "\([a-z_]*\)\/.*/\1/p' <<<"$line")"
    if [[ -n "$target" && "$ok" != *" $target "* ]]; then
      echo "layering: $file includes $target/ (a $layer source may include only:$ok)" >&2
      status=1
    fi
  done < <(grep -rn '#include "[a-z_]*/' "$layer" --include='*.cpp' --include='*.h' || true)
done

# One job a file, at most 400 lines.
while read -r lines file; do
  [ "$file" = total ] && continue
  if [ "$lines" -gt 400 ]; then
    echo "size: $file has $lines lines (at most 400)" >&2
    status=1
  fi
done < <(find app view heightmap model platform tools bench fuzz tests scripts packaging \
           \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.sh' \) -print0 |
         xargs -0 wc -l)

[ $status -eq 0 ] && echo "layers and file sizes: ok"
exit $status
