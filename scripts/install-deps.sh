#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests and its benchmarks need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-multimedia-dev libgl-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libsqlite3-dev sqlite3 libcurl4-openssl-dev
  postgresql libpq-dev
  fonts-wqy-microhei qt6-translations-l10n qt6-l10n-tools
  python3 python3-aiosmtpd
  xvfb xdotool imagemagick espeak-ng sox lame
  dpkg-dev file desktop-file-utils appstream lintian
  libbenchmark-dev
  poppler-utils
  libxlsxwriter-dev python3-openpyxl
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
