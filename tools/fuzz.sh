#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each one for a
# bounded time on a copy of its committed seed inputs. Fails on any crash,
# sanitizer report or broken invariant.
#   FUZZ_SECONDS=60 tools/fuzz.sh   (seconds per target)
#   FUZZ_SEED=0 tools/fuzz.sh       (a new random seed each run; the default
#                                    seed makes a run repeatable, as the
#                                    test command needs)
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET="${FUZZ_SECONDS:-60}"
SEED="${FUZZ_SEED:-1}"
BUILD=build-fuzz
TARGETS=(fuzz_decoder fuzz_fileload fuzz_answers)

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTX_FUZZ=ON -DTX_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for t in "${TARGETS[@]}"; do
  name="${t#fuzz_}"
  mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
  cp tests/fuzz/corpus/"$name"/* "$work/$name/corpus/"
  log="$work/$name/log"
  echo "== $t: ${SECONDS_PER_TARGET}s on $(ls "$work/$name/corpus" | wc -l) seed inputs, seed $SEED"
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     QT_QPA_PLATFORM=offscreen \
     "$BUILD/$t" -max_total_time="$SECONDS_PER_TARGET" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -seed="$SEED" -artifact_prefix="$work/$name/artifacts/" "$work/$name/corpus" >"$log" 2>&1; then
    runs="$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')"
    cov="$(grep -E '#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1 | grep -oE 'cov: [0-9]+' || true)"
    echo "   $t: ${runs:-?} executions, no crash ${cov:+($cov)}"
  else
    status=1
    echo "   $t: FAILED"
    tail -40 "$log"
    for a in "$work/$name/artifacts"/*; do
      [ -e "$a" ] || continue
      mkdir -p "$BUILD/crashes"
      cp "$a" "$BUILD/crashes/"
      echo "   input kept in $BUILD/crashes/$(basename "$a")"
    done
  fi
done
exit $status
