#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs (only those missing) and
# configures + builds the project into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools
      libqt5serialport5-dev libqt5svg5-dev fonts-liberation clang libclang-rt-14-dev
      libbenchmark-dev xvfb xdotool
      poppler-utils) # pdftotext: the sheet test reads the PDF back
source tools/install-missing.sh
install_missing "${PKGS[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
