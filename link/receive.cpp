#include "link/receive.h"

#include "link/sequences.h"
#include "model/bindings.h"
#include "model/validation.h"

void receiveChunk(FrameDecoder &decoder, const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                  const std::function<void(const DecodedFrame &)> &onFrame,
                  const std::function<void(const QByteArray &)> &send)
{
    if (chunk.isEmpty())
        return;
    decoder.feed(chunk, s, d, onFrame);
    drDataSelect(s);
    validateSettings(s);
    send(kAckWord);
}
