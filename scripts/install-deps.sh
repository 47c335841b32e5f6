#!/usr/bin/env bash
# Installs the Debian 12 packages Kolmo needs to build and test (only the missing ones).
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config make ccache
  libgdal-dev gdal-bin
  libeigen3-dev libboost-math-dev libqhull-dev libmatio-dev libcli11-dev
  libgtest-dev libbenchmark-dev nlohmann-json3-dev
  libcairo2-dev libtiff-dev libjpeg62-turbo-dev fonts-urw-base35
  ghostscript emf2svg librsvg2-bin libxml2-utils poppler-utils imagemagick libpng-dev
  proj-bin libproj-dev proj-data time
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev qt6-image-formats-plugins
  xvfb xauth xdotool imagemagick fonts-dejavu-core
  qt6-translations-l10n qt6-qpa-plugins
  help2man dpkg-dev desktop-file-utils file groff-base
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
