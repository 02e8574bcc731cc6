#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <vector>

#include "link/decoder.h"
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

// A live stream (servo and telemetry frames in turn, moving values) cut into
// pieces of 1..range(0) bytes, as a USB adapter hands it over: the cost of
// one piece.
void BM_DecodeCutLiveStream(benchmark::State &state)
{
    QRandomGenerator g(7);
    TxLiveDataRecord live = startLiveData();
    QByteArray stream;
    for (int n = 0; n < 4096; ++n) {
        for (int &v : live.servo)
            v = 900 + int(g.bounded(1200));
        stream += n % 2 ? buildTelemetryFrame(live) : buildServoFrame(live);
    }
    std::vector<QByteArray> pieces;
    for (int at = 0; at < stream.size();) {
        const int len = qMin(1 + int(g.bounded(int(state.range(0)))), int(stream.size()) - at);
        pieces.push_back(stream.mid(at, len));
        at += len;
    }
    TxSettingsRecord s = factorySettings();
    TxLiveDataRecord d = startLiveData();
    FrameDecoder decoder;
    size_t k = 0;
    for (auto _ : state) {
        decoder.feed(pieces[k], s, d);
        k = (k + 1) % pieces.size();
        benchmark::DoNotOptimize(d.servo[0]);
    }
}
BENCHMARK(BM_DecodeCutLiveStream)->Arg(24)->Arg(64);

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
