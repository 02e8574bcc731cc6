#pragma once

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <functional>

#include "link/decoder.h"
#include "model/txsettings.h"

// What happens to every chunk of bytes the transmitter sends, in the window
// and in txctl alike: the decoder takes its frames into the store, the D/R
// edit mirrors follow the rates, every setting is brought back into range,
// and the chunk is answered with "WWW". An empty chunk does nothing. When the
// line then stays quiet for kQuietMs, a whole frame with nothing after it is
// taken (the end of a burst).
//
// READ goes through here too: "RR", the answer staged by the decoder, and
// "RR" again while no whole set has come.
class LinkReceiver
{
public:
    LinkReceiver(TxSettingsRecord &s, TxLiveDataRecord &d);

    // Told of each frame stored; puts bytes on the wire.
    FrameSink onFrame;
    std::function<void(const QByteArray &)> send;

    void receive(const QByteArray &chunk);
    // The line has gone quiet (the timer's own work; tests call it at once).
    void lineQuiet();
    // A new link starts clean.
    void clear();
    FrameDecoder &decoder() { return frames; }

    // The hooks of one READ: the pause after each "RR" (which may end as
    // soon as done() holds) and whether the READ may go on (asked before
    // every "RR").
    struct ReadHooks {
        std::function<void(int ms, const std::function<bool()> &done)> wait;
        std::function<bool()> mayGoOn;
    };
    enum class ReadOutcome { Taken, NotWhole, Stopped };
    // "RR" and its pause; while no whole set was taken, "RR" again, at most
    // kReadAsks times. Nothing reaches the store but a whole set.
    ReadOutcome read(const ReadHooks &hooks);
    // Why the last READ took no set: "frames missing: 12" (no answer
    // brought them) and "frames no two answers carried alike: 3, 5".
    QString notWholeText() const;

private:
    void afterFrames();

    TxSettingsRecord &settings;
    TxLiveDataRecord &live;
    FrameDecoder frames;
    QTimer quietTimer;
};

// How often READ asks, and how long it waits for each later answer: with
// the first pause, about 2.5 s in all.
constexpr int kReadAsks = 3;
constexpr int kReaskWaitMs = 1000;

// "7 (AUX), 12, 13": the sequence numbers of the frames whose bits are set.
QString framesText(quint32 bits);
