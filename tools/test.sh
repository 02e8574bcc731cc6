#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite; then builds
# and checks the Debian package (tools/check_package.sh); then the same suite
# built with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/),
# then a bounded run of each fuzz target (tools/fuzz.sh).
# Any failure, sanitizer report or fuzzer crash fails the command.
#   FUZZ_SECONDS=60 tools/test.sh   (seconds per fuzz target)
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
stamp() { echo "== $1 ($(( $(date +%s) - start )) s so far)"; }

tools/setup.sh
export QT_QPA_PLATFORM=offscreen
stamp "test suite"
ctest --test-dir build --output-on-failure -j2

stamp "Debian package"
tools/check_package.sh

stamp "sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTX_SANITIZE=ON -DTX_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
stamp "test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build-asan --output-on-failure -j2

stamp "fuzz targets"
tools/fuzz.sh
stamp "all passed"
