#!/usr/bin/env bash
# Checks a built veltrim .deb: its file list, its dependencies and its
# version. Usage: packaging/check-package.sh build/veltrim_*.deb [version]
set -euo pipefail
deb="$1"
version="${2:-}"
fail() { echo "package check: $*" >&2; exit 1; }

files="$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')"
for f in /usr/bin/veltrim /usr/bin/veltrim-batch \
         /usr/share/applications/veltrim.desktop \
         /usr/share/icons/hicolor/scalable/apps/veltrim.svg \
         /usr/share/icons/hicolor/48x48/apps/veltrim.png \
         /usr/share/icons/hicolor/256x256/apps/veltrim.png \
         /usr/share/man/man1/veltrim.1.gz /usr/share/man/man1/veltrim-batch.1.gz; do
  grep -qx "$f" <<<"$files" || fail "missing $f"
done
grep -q '^/usr/share/veltrim/250_test/.*\.stl$' <<<"$files" || fail "no sample models"
if grep -Eq '^/usr/(bin|lib)/.*(test|bench)' <<<"$files"; then fail "tests or benchmarks packaged"; fi

depends="$(dpkg-deb -f "$deb" Depends)"
for d in libfltk-gl1.3 libfltk1.3 libopencv-imgcodecs libopengl0 libglu1-mesa libegl1 libegl-mesa0 libgl1-mesa-dri; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
for d in libassimp libgtest libbenchmark; do
  if grep -q "$d" <<<"$depends"; then fail "Depends names a build-only library $d"; fi
done
grep -q fonts-wqy-zenhei <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "no CJK font recommended"
[ -z "$version" ] || [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"

echo "package ok: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, $(wc -l <<<"$files") entries"
echo "Depends: $depends"
