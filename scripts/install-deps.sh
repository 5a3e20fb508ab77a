#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages settree builds, tests and runs with; does nothing when all are present.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libqscintilla2-qt6-dev libgl-dev libxcb1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-liberation2 fonts-crosextra-carlito
  xvfb xauth imagemagick xdotool
  help2man librsvg2-bin desktop-file-utils shared-mime-info man-db dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
