#!/usr/bin/env bash
# Installs the Debian 12 packages that building the Debian package needs (only
# those missing), builds the programs and their manual pages into build/, and
# makes build/txconfig_<version>_<arch>.deb with CPack. Install it with
#   sudo apt install ./build/txconfig_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools
      libqt5serialport5-dev fonts-liberation help2man gzip dpkg-dev file)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

# The same configuration as tools/setup.sh, so a build there is reused.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target txconfig txctl txsim txconfig-demo man debian-changelog

rm -f build/txconfig_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 1; }
deb=$(ls build/txconfig_*.deb)
echo "$deb"
