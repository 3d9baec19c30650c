#!/usr/bin/env bash
# Installs the Debian 12 packages Veltrim needs to build, run and test,
# skipping those already present. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config file
  libfltk1.3-dev fluid
  libgtk2.0-0
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libopencv-core-dev libopencv-imgcodecs-dev libxxhash-dev attr libpng-dev libtiff-dev
  libcli11-dev
  locales systemd xvfb xauth xdotool imagemagick fonts-wqy-zenhei tesseract-ocr tesseract-ocr-eng
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format shellcheck
  libassimp-dev
  lintian desktop-file-utils appstream
)

# The GUI tests run the window under these locales, which must exist: one
# that falls back to C in silence proves nothing.
locales_wanted=(de_DE.UTF-8 zh_TW.UTF-8)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

for l in "${locales_wanted[@]}"; do
  locale -a | grep -qix "${l%%.*}.utf8" && continue
  echo "Generating the locale $l"
  $sudo sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
done
