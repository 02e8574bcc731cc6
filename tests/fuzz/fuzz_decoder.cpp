// Fuzzes the received-bytes path: the input is cut into a sequence of chunks
// (the first byte of each piece gives its length, 0..63, and with its bit
// 0x40 the line goes quiet after the chunk), and each chunk goes
// through the decoder into one persistent store, followed by the D/R mirror
// update and the range checks, exactly as the window handles a chunk. No
// "RR" went out, so no setting may change; a live chunk must match the
// reference decoder of the tests.

#include <cstddef>
#include <cstdint>

#include "../support/reference_decoder.h"
#include "fuzz_invariants.h"
#include "link/decoder.h"
#include "model/bindings.h"
#include "model/validation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TxSettingsRecord s = startSettings();
    TxLiveDataRecord d = startLiveData();
    FrameDecoder decoder;
    size_t at = 0;
    bool quietBefore = true; // a new link starts with a frame
    while (at < size) {
        const size_t want = data[at] & 0x3F;
        const bool quietAfter = data[at] & 0x40;
        ++at;
        const size_t len = want < size - at ? want : size - at;
        const QByteArray chunk(reinterpret_cast<const char *>(data + at), static_cast<int>(len));
        at += len;
        if (chunk.isEmpty())
            continue; // an empty read is not a chunk
        // No answer was asked for: whatever the bytes, no setting changes,
        // and a chunk that is one live frame by the length rules, sent alone
        // between two quiet spells, shows its values exactly as the
        // reference decoder says.
        const TxSettingsRecord before = s;
        const bool clean = quietBefore && quietAfter;
        decoder.feed(chunk, s, d);
        if (quietAfter)
            decoder.quiet(s, d);
        quietBefore = quietAfter;
        if (!(s == before))
            fuzzcheck::fail("a setting changed outside an answer", "chunk");
        TxSettingsRecord refS = s;
        TxLiveDataRecord refD = d;
        if (clean && chunk.size() == kLiveFrameLength && referenceDecode(chunk, refS, refD) && !(d == refD))
            fuzzcheck::fail("a live chunk decoded unlike the length rules", "chunk");
        if (decoder.pending().size() >= kMaxWaitingBytes)
            fuzzcheck::fail("pending bytes not bounded", "pending");
        drDataSelect(s);
        validateSettings(s);
        fuzzcheck::settingsInRange(s);
        fuzzcheck::linesWellFormed(s);
    }
    return 0;
}
