// Fuzzes the decoder within answers to "RR": the input drives a transmitter
// behind an adapter (live frames, garbage, answers for random models with
// random free bytes, live frames between their frames, lost bytes, pieces of
// 1..64 bytes), two input bytes per choice, the input read round and round.
// After each answer the settings are those from before or the whole set the
// answer carried, never a mix; an answer of whole frames after no garbage
// is taken whole. (What lost bytes and garbage cost is measured by the
// property test and bench_soak, not asserted here.)

#include <QRandomGenerator>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "../support/adapter_stream.h"
#include "../support/stores.h"
#include "fuzz_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t at = 0;
    const AdapterStream::Rand rnd = [&](quint32 bound) -> quint32 {
        quint32 v = 0;
        for (int k = 0; k < 2; ++k)
            v = v << 8 | (size ? data[at++ % size] : 0u);
        return bound ? v % bound : 0;
    };
    TxSettingsRecord s = startSettings();
    TxLiveDataRecord d = startLiveData();
    AdapterStream st(rnd, s);
    st.plain = true;
    const int rounds = 1 + int(rnd(2));
    for (int r = 0; r < rounds; ++r) {
        st.live(int(rnd(8)));
        st.garbage(int(rnd(30)));
        st.live(1 + int(rnd(8)));
        QRandomGenerator g(rnd(65536));
        // One after the other, so that an input reads the same whatever the
        // compiler's order of arguments.
        const TxSettingsRecord model = randomInRangeSettings(g);
        const int version = int(rnd(65536));
        const int lossPercent = int(rnd(20));
        st.answer(model, version, lossPercent, int(rnd(60)));
        st.answerOver();
    }
    FrameDecoder decoder;
    feedInPieces(st, decoder, s, d, rnd, 1 + int(rnd(64)), {}, [&](size_t k, const TxSettingsRecord &before) {
        if (!takenWholeOrNothing(st, k, s, d, before))
            fuzzcheck::fail("an answer was not taken whole or not at all", "answer");
    });
    return 0;
}
