#pragma once

#include <QByteArray>
#include <functional>

#include "link/frames.h"
#include "model/txsettings.h"

// What happens to every chunk of bytes the transmitter sends, in the window
// and in txctl alike: the decoder takes its frames into the store, the D/R
// edit mirrors follow the rates, every setting is brought back into range,
// and the chunk is answered with "WWW". An empty chunk does nothing.
// onFrame is told of each frame stored; send puts bytes on the wire.
void receiveChunk(FrameDecoder &decoder, const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                  const std::function<void(const DecodedFrame &)> &onFrame,
                  const std::function<void(const QByteArray &)> &send);
