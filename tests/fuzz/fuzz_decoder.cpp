// Fuzzes the received-bytes path: the input is cut into a sequence of chunks
// (the first byte of each piece gives its length, 0..63), and each chunk goes
// through the decoder into one persistent store, followed by the D/R mirror
// update and the range checks, exactly as the window handles a chunk. A
// chunk that is one frame by the length rules must match the reference
// decoder of the tests.

#include <cstddef>
#include <cstdint>

#include "../support/reference_decoder.h"
#include "fuzz_invariants.h"
#include "link/frames.h"
#include "model/bindings.h"
#include "model/validation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TxSettingsRecord s = startSettings();
    TxLiveDataRecord d = startLiveData();
    FrameDecoder decoder;
    size_t at = 0;
    while (at < size) {
        const size_t want = data[at] & 0x3F;
        ++at;
        const size_t len = want < size - at ? want : size - at;
        const QByteArray chunk(reinterpret_cast<const char *>(data + at), static_cast<int>(len));
        at += len;
        if (chunk.isEmpty())
            continue; // an empty read is not a chunk
        // A chunk that is one frame by the length rules must decode exactly as
        // the reference decoder says, whatever came before it.
        TxSettingsRecord refS = s;
        TxLiveDataRecord refD = d;
        const bool oneFrame = referenceDecode(chunk, refS, refD);
        int frames = 0;
        decoder.feed(chunk, s, d, [&frames](const DecodedFrame &) { ++frames; });
        if (oneFrame && (!(s == refS) || !(d == refD) || !decoder.pending().isEmpty()))
            fuzzcheck::fail("a one-frame chunk decoded unlike the length rules", "chunk");
        if (decoder.pending().size() >= kLiveFrameLength)
            fuzzcheck::fail("pending bytes not bounded", "pending");
        drDataSelect(s);
        validateSettings(s);
        fuzzcheck::settingsInRange(s);
        fuzzcheck::linesWellFormed(s);
    }
    return 0;
}
