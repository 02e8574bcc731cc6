#!/usr/bin/env bash
# Installs the Debian 12 packages that building the Debian package needs (only
# those missing), builds the programs and their manual pages into build/, and
# makes build/txconfig_<version>_<arch>.deb with CPack. Install it with
#   sudo apt install ./build/txconfig_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools
      libqt5serialport5-dev libqt5svg5-dev fonts-liberation help2man gzip dpkg-dev file)
source tools/install-missing.sh
install_missing "${PKGS[@]}"

# The same configuration as tools/setup.sh, so a build there is reused.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target txconfig txctl txsim txconfig-demo man debian-changelog

rm -f build/txconfig_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 1; }
deb=$(ls build/txconfig_*.deb)
echo "$deb"
