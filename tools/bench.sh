#!/bin/sh
# Builds the benchmarks and runs them all in their quick modes, printing medians.
#   tools/bench.sh [build-dir]      (default: build-bench)
# Longer runs: bench_stream cpu 30, bench_stream memory 600, bench_stream gap 5,
# bench_stream ratio 60, bench_launch 21, bench_plot 10 21.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
export QT_QPA_PLATFORM=offscreen
cd "$build"
for b in bench_startup bench_refresh bench_curves bench_link; do
    [ -x "./$b" ] || continue
    echo "== $b"
    "./$b" --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "first window|_median|^BM_" | grep -v -E "_mean|_stddev|_cv" || true
done
echo "== bench_launch (exec to first frame, the tool beside txfloor)"
if [ ! -x ./bench_launch ]; then
    echo "(not built)"
elif command -v xvfb-run >/dev/null 2>&1; then
    # A real X server, as on a desktop; offscreen leaves out the window system.
    # 96 dpi as a desktop at 100 % (Xvfb's own 100 dpi would scale the window
    # by 1.04 and time the scaling too).
    env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" ./bench_launch 7 | tail -4
else
    ./bench_launch 7 | tail -4
fi
echo "== bench_plot (a ten-hour recording beside the read-and-parse floor)"
[ -x ./bench_plot ] && ./bench_plot 10 5 2>/dev/null || echo "(not built)"
echo "== bench_stream (quick modes)"
./bench_stream cpu 10 2>/dev/null
./bench_stream memory 20 2>/dev/null
./bench_stream gap 2 2>/dev/null
./bench_stream ratio 10 2>/dev/null | tail -3
