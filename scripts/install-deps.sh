#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libusb-1.0-0-dev libudev-dev
  umockdev libumockdev-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation
  clang libclang-rt-14-dev
  xvfb xauth
  jpnevulator
  python3-fonttools python3-munkres python3-unicodedata2 python3-pymodbus
  poppler-utils
  openssh-client openssh-server
  dpkg-dev fakeroot lintian desktop-file-utils shared-mime-info libglib2.0-bin librsvg2-bin
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
