// Hours of a transmitter's bytes through the decoder, as a USB adapter hands
// them over: the eight sticks on a random walk, servo and telemetry frames in
// turn at 576 frames a second, the stream cut into pieces of 1..24 bytes in
// odd hours and 1..64 in even ones, now and then a byte lost.
//
//   bench_soak HOURS            no "RR": reports every setting changed (must be 0)
//   bench_soak HOURS reads      a READ every 10 s (answers cut the same way, live
//                               frames between their frames, "RR" again while
//                               no whole set came, as READ asks): reports the
//                               READs that ended with a setting the transmitter
//                               did not send, and those that took no whole set
//
// Simulated time: the decoder runs on the line's clock, not the wall's.

#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "link/decoder.h"
#include "link/receive.h"
#include "model/txsettings.h"
#include "support/reference_decoder.h"
#include "support/stores.h"

namespace {

constexpr int kBytesPerSecond = 11520;
constexpr int kFramesPerSecond = 576;
constexpr double kLossPerByte = 1e-5;

struct Soak {
    QRandomGenerator g{20261209};
    FrameDecoder decoder;
    qint64 sent = 0; // bytes on the line so far: the clock
    TxSettingsRecord s = startSettings();
    TxLiveDataRecord d = startLiveData();
    TxLiveDataRecord sticks = startLiveData();
    QByteArray uncut;
    int maxCut = 24;
    long long chunks = 0, lostBytes = 0;

    Soak()
    {
        decoder.setClock([this] { return sent * 1000 / kBytesPerSecond; });
    }
    void put(const QByteArray &bytes)
    {
        for (char c : bytes) {
            sent++;
            if (g.generateDouble() < kLossPerByte) {
                ++lostBytes;
                continue;
            }
            uncut += c;
        }
        for (;;) {
            const int len = 1 + int(g.bounded(maxCut));
            if (len > uncut.size())
                break;
            decoder.feed(uncut.left(len), s, d);
            uncut.remove(0, len);
            ++chunks;
        }
    }
    void liveFrame(long long n)
    {
        if (n % 2 == 0) {
            for (int &v : sticks.servo)
                v = qBound(900, v + int(g.bounded(7)) - 3, 2100);
            sticks.txVolt = qBound(600, sticks.txVolt + int(g.bounded(3)) - 1, 1300);
            put(buildServoFrame(sticks));
        } else {
            sticks.rxRssi = qBound(0, sticks.rxRssi + int(g.bounded(3)) - 1, 255);
            sticks.rxVolt = qBound(30, sticks.rxVolt + int(g.bounded(3)) - 1, 90);
            sticks.extVolt = qBound(0, sticks.extVolt + int(g.bounded(3)) - 1, 999);
            put(buildTelemetryFrame(sticks));
        }
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const double hours = argc > 1 ? std::atof(argv[1]) : 1.0;
    const bool reads = argc > 2 && std::string(argv[2]) == "reads";
    if (!(hours > 0)) {
        std::fprintf(stderr, "usage: bench_soak HOURS [reads]\n");
        return 2;
    }
    Soak soak;
    soak.sticks.txVolt = 1180;
    soak.sticks.rxVolt = 50;
    soak.sticks.extVolt = 110;
    soak.sticks.rxRssi = 60;
    const long long frames = (long long)(hours * 3600 * kFramesPerSecond);
    const long long readEvery = 10LL * kFramesPerSecond;
    long long changed = 0, readsDone = 0, readsWrong = 0, readsMissing = 0, asks = 0;
    TxSettingsRecord last = soak.s;
    const std::clock_t cpu0 = std::clock();

    for (long long n = 0; n < frames; ++n) {
        soak.maxCut = (n / (3600LL * kFramesPerSecond)) % 2 ? 64 : 24;
        if (reads && n % readEvery == readEvery / 2) {
            // "RR": the transmitter answers with a new model, live frames between.
            const TxSettingsRecord before = soak.s;
            const TxSettingsRecord model = randomInRangeSettings(soak.g);
            soak.decoder.feed(soak.uncut, soak.s, soak.d); // what the adapter held
            soak.uncut.clear();
            // As READ does: "RR" again while no whole set was taken, at most
            // kReadAsks times.
            const quint64 takenBefore = soak.decoder.setsTaken();
            soak.decoder.startRead();
            TxSettingsRecord carried = before;
            for (int ask = 0; ask < kReadAsks && soak.decoder.setsTaken() == takenBefore; ++ask) {
                soak.decoder.openAnswer();
                carried = before;
                for (const SettingsFrameLayout &l : settingsFrameLayouts()) {
                    if (l.seq == kAuxSeq + 1) {
                        TxLiveDataRecord dd;
                        const QByteArray aux = buildAuxFrame(model);
                        referenceDecode(aux, carried, dd);
                        soak.put(aux);
                    }
                    const QByteArray f = buildSettingsFrame(l, model, soak.d);
                    TxLiveDataRecord dd;
                    referenceDecode(f, carried, dd);
                    soak.put(f);
                    if (soak.g.bounded(3) == 0)
                        soak.liveFrame(++n);
                }
                for (int k = 0; k < kFramesPerSecond; ++k) // the wait for this answer
                    soak.liveFrame(++n);
                soak.decoder.endAnswer(soak.s, soak.d);
                asks += ask > 0;
            }
            ++readsDone;
            // Whole or nothing: the set the transmitter sent, or the one from before.
            readsWrong += !(soak.s == carried) && !(soak.s == before);
            readsMissing += !(soak.s == carried) && soak.s == before;
            last = soak.s;
            continue;
        }
        soak.liveFrame(n);
        if (n % 1024 == 0 && !(soak.s == last)) {
            ++changed;
            last = soak.s;
        }
    }
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    std::printf("simulated %.1f h: %lld frames, %lld chunks, %lld bytes lost, %.1f s CPU\n", hours, frames,
                soak.chunks, soak.lostBytes, cpu);
    if (reads)
        std::printf(
            "READs: %lld (asked again %lld times), ending with a value not sent: %lld, no whole set: %lld\n",
            readsDone, asks, readsWrong, readsMissing);
    else
        std::printf("settings changed without \"RR\": %lld\n", changed);
    return (reads ? readsWrong : changed) == 0 ? 0 : 1;
}
