#!/usr/bin/env bash
# Builds the Debian package, installs it into a fresh Debian 12 root made
# with debootstrap, converts an installed sample there with no display and
# checks the BMP. Needs root and the Debian archive that apt here uses.
# Slow (several minutes): CI only builds and checks the package.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || { apt-get update && apt-get install -y debootstrap; }

# The same archive apt uses on this machine.
mirror="$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)"
[ -n "$mirror" ] || mirror="$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list)"

"$root/scripts/build.sh" "$root/build"
(cd "$root/build" && cpack -G DEB >/dev/null)
deb="$(ls "$root"/build/veltrim_*.deb)"
"$root/packaging/check-package.sh" "$deb"

target="$(mktemp -d /tmp/veltrim-root-XXXXXX)"
cleanup() { umount "$target/proc" 2>/dev/null || true; rm -rf "$target"; }
trap cleanup EXIT
debootstrap --variant=minbase bookworm "$target" "$mirror" >/tmp/veltrim-debootstrap.log
mount -t proc proc "$target/proc"
cp "$deb" "$target/tmp/"
chroot "$target" apt-get update -q >/dev/null
chroot "$target" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "/tmp/$(basename "$deb")" >/tmp/veltrim-install.log
sample="$(chroot "$target" sh -c 'ls /usr/share/veltrim/250_test/*.stl | head -n 1')"
chroot "$target" env -u DISPLAY veltrim-batch -o /tmp/out "$sample"
bmp="$target/tmp/out/$(basename "${sample%.*}").bmp"

# BMP header: "BM", width 150 and height 360 (bottom-up or top-down), 8 bits.
[ "$(head -c 2 "$bmp")" = "BM" ] || { echo "not a BMP" >&2; exit 1; }
read -r width height <<<"$(od -An -t d4 -j 18 -N 8 "$bmp")"
bits="$(od -An -t u2 -j 28 -N 2 "$bmp" | tr -d ' ')"
[ "$width" = 150 ] && [ "${height#-}" = 360 ] && [ "$bits" = 8 ] ||
  { echo "BMP is ${width}x${height}, $bits bits" >&2; exit 1; }
echo "installed and converted in a fresh Debian 12 root: $(basename "$bmp") ${width}x${height#-}, $bits bits"
umount "$target/proc"
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB; root with it installed: $(du -sm "$target" | cut -f1) MiB"
