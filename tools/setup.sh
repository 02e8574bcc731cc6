#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs (only those missing) and
# configures + builds the project into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools
      libqt5serialport5-dev fonts-liberation clang libclang-rt-14-dev
      libbenchmark-dev xvfb xdotool
      poppler-utils) # pdftotext: the sheet test reads the PDF back
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
