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

# No cycle of units, which the layers above keep inside a folder: a unit is
# a header with its source, and unit A depends on B when A's .h or .cpp
# includes B's header. tsort names each cycle's units in the order they
# include each other.
while IFS= read -r cycle; do
  echo "cycle: $cycle" >&2
  status=1
done < <(
  while IFS= read -r line; do
    file="${line%%:*}"
    unit="${file%.*}"
    target="$(sed -n 's/.*#include "\([a-z0-9_/]*\)\.h".*/\1/p' <<<"$line")"
    # A source including its own header gives "a a", which tsort takes as no edge.
    [ -z "$target" ] || echo "$unit $target"
  done < <(grep -rn '#include "[a-z_]*/' app tools view heightmap model platform \
             --include='*.cpp' --include='*.h' || true) |
  { tsort 2>&1 >/dev/null || true; } |
  awk 'function flush() { if (first != "") print loop " -> " first; first = "" }
       /input contains a loop/ { flush(); next }
       { sub(/^tsort: /, ""); if (first == "") first = loop = $0; else loop = loop " -> " $0 }
       END { flush() }'
)

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

[ $status -eq 0 ] && echo "layers, unit cycles and file sizes: ok"
exit $status
