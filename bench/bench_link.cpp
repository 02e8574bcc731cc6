#include <benchmark/benchmark.h>

#include "link/frames.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "support/stores.h"

namespace {

void decodeOne(benchmark::State &state, const QByteArray &chunk)
{
    TxSettingsRecord s = factorySettings();
    TxLiveDataRecord d = startLiveData();
    FrameDecoder decoder;
    int frames = 0;
    for (auto _ : state) {
        decoder.feed(chunk, s, d, [&frames](const DecodedFrame &) { ++frames; });
        benchmark::DoNotOptimize(d.servo[0]);
    }
    state.counters["frames/chunk"] = double(frames) / double(state.iterations());
}

void BM_DecodeLiveChunk(benchmark::State &state)
{
    TxLiveDataRecord d = startLiveData();
    for (int i = 0; i < 8; ++i)
        d.servo[i] = 1500 + i;
    decodeOne(state, buildServoFrame(d));
}
BENCHMARK(BM_DecodeLiveChunk);

void BM_DecodeSettingsChunk(benchmark::State &state)
{
    decodeOne(state, buildSettingsFrame(settingsFrameLayouts()[1], factorySettings(), startLiveData()));
}
BENCHMARK(BM_DecodeSettingsChunk);

// A live frame, two settings frames and the AUX frame in one chunk.
void BM_DecodeJoinedChunk(benchmark::State &state)
{
    const TxSettingsRecord s = factorySettings();
    const TxLiveDataRecord d = startLiveData();
    const QByteArray chunk = buildServoFrame(d) + buildSettingsFrame(settingsFrameLayouts()[0], s, d) +
                             buildSettingsFrame(settingsFrameLayouts()[16], s, d) + buildAuxFrame(s);
    decodeOne(state, chunk);
}
BENCHMARK(BM_DecodeJoinedChunk);

void BM_BuildLines(benchmark::State &state)
{
    const TxSettingsRecord s = factorySettings();
    for (auto _ : state) {
        QByteArray a = buildLine(LineKind::S, s);
        QByteArray b = buildLine(LineKind::G, s);
        QByteArray c = buildLine(LineKind::H, s);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        benchmark::DoNotOptimize(c.data());
    }
}
BENCHMARK(BM_BuildLines);

} // namespace

BENCHMARK_MAIN();
