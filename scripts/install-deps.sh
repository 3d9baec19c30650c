#!/usr/bin/env bash
# Installs the Debian 12 packages Veltrim needs to build, run and test,
# skipping those already present. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config file
  libfltk1.3-dev fluid
  libgtk2.0-0
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libopencv-core-dev libopencv-imgcodecs-dev libxxhash-dev attr
  libcli11-dev
  systemd xvfb xauth xdotool imagemagick fonts-wqy-zenhei tesseract-ocr tesseract-ocr-eng
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format shellcheck
  libassimp-dev
  lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
