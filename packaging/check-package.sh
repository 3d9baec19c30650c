#!/usr/bin/env bash
# Checks a built veltrim .deb: its file list, its dependencies and its
# version, then lintian (no errors, no warnings), desktop-file-validate on
# its desktop entry and appstreamcli on its metainfo.
# Usage: packaging/check-package.sh build/veltrim_*.deb [upstream-version]
set -euo pipefail
deb="$1"
version="${2:-}"
fail() { echo "package check: $*" >&2; exit 1; }

files="$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')"
for f in /usr/bin/veltrim /usr/bin/veltrim-batch \
         /usr/share/applications/veltrim.desktop \
         /usr/share/metainfo/example.c_seed_e9f5b3ae.veltrim.metainfo.xml \
         /usr/share/doc/veltrim/copyright /usr/share/doc/veltrim/changelog.Debian.gz \
         /usr/share/icons/hicolor/scalable/apps/veltrim.svg \
         /usr/share/icons/hicolor/48x48/apps/veltrim.png \
         /usr/share/icons/hicolor/256x256/apps/veltrim.png \
         /usr/share/man/man1/veltrim.1.gz /usr/share/man/man1/veltrim-batch.1.gz \
         /lib/systemd/system/veltrim-watch@.service; do
  grep -qx "$f" <<<"$files" || fail "missing $f"
done
grep -q '^/usr/share/veltrim/250_test/.*\.stl$' <<<"$files" || fail "no sample models"
if grep -Eq '^/usr/(bin|lib)/.*(test|bench)' <<<"$files"; then fail "tests or benchmarks packaged"; fi

depends="$(dpkg-deb -f "$deb" Depends)"
for d in libfltk-gl1.3 libfltk1.3 libopencv-imgcodecs libopengl0 libglu1-mesa libegl1 libegl-mesa0 libgl1-mesa-dri fonts-wqy-zenhei; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
for d in libassimp libgtest libbenchmark; do
  if grep -q "$d" <<<"$depends"; then fail "Depends names a build-only library $d"; fi
done
# The upstream part of the version; the Debian revision follows a dash.
deb_version="$(dpkg-deb -f "$deb" Version)"
[ -z "$version" ] || [ "${deb_version%-*}" = "$version" ] || fail "version $deb_version is not $version-*"

for tool in lintian desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (see scripts/install-deps.sh)"
done
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
grep -qx 'Exec=veltrim %f' "$tree/usr/share/applications/veltrim.desktop" ||
  fail "the desktop entry does not pass the file to veltrim"
desktop-file-validate "$tree/usr/share/applications/veltrim.desktop" ||
  fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$tree/usr/share/metainfo/example.c_seed_e9f5b3ae.veltrim.metainfo.xml" ||
  fail "appstreamcli rejects the metainfo"

# lintian warns against running as root (and some versions refuse): as
# root, it runs as nobody on a copy that nobody can read.
lintian_run=(lintian --fail-on "error,warning")
lintian_deb="$deb"
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null; then
  mkdir "$tree/lintian"
  cp "$deb" "$tree/lintian/"
  chmod 755 "$tree" "$tree/lintian"
  chmod 644 "$tree/lintian/$(basename "$deb")"
  lintian_deb="$tree/lintian/$(basename "$deb")"
  lintian_run=(runuser -u nobody -- "${lintian_run[@]}")
fi
report="$("${lintian_run[@]}" "$lintian_deb" 2>&1)" || fail "lintian: $report"
if grep -E '^[EW]: ' <<<"$report"; then fail "lintian reports errors or warnings"; fi
echo "lintian, desktop-file-validate, appstreamcli: clean"

echo "package ok: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, $(wc -l <<<"$files") entries"
echo "Depends: $depends"
