#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the tests and the program need.
# Idempotent: apt-get skips what is already there.
#   scripts/install-deps.sh [windows]   windows: also the cross-compiler, Wine and NSIS
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev
  qt6-qpa-plugins qt6-translations-l10n
  libshp-dev libgsf-1-dev libglib2.0-dev
  libgl-dev libqt6opengl6-dev libxkbcommon-dev
  python3-dbf python3-xlrd
  xvfb xauth openbox
  fonts-dejavu-core fonts-liberation poppler-utils
  cups printer-driver-cups-pdf python3-olefile libreoffice-calc-nogui
)
if [ "${1:-}" = windows ]; then
  packages+=(
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 nsis
    python3-olefile python3-xlrd xdotool
  )
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

export DEBIAN_FRONTEND=noninteractive
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
