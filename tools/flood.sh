#!/usr/bin/env bash
# The long live-flood run: the virtual far end streams live frames at the
# wire's limit (576 a second) into the real window for FLOOD_SECONDS (default
# 60) while the window is probed for responsiveness; prints the figures.
# Uses the tree that tools/setup.sh builds (build/).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build}"
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j2 --target test_faults >/dev/null
QT_QPA_PLATFORM=offscreen TX_FLOOD_SECONDS="${FLOOD_SECONDS:-60}" \
  "$BUILD/test_faults" -maxwarnings 0 liveFloodKeepsWindowResponsive 2>&1 |
  grep -E "flood:|PASS|FAIL|Loc:|Totals"
