#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

#include "link/frames.h"
#include "model/txsettings.h"

// The decoder of the received bytes: a framer and the answer it stages.
//
// The framer (the rules, each a function of FrameDecoder or a few lines
// under its number; docs/reliability.md has the table):
//  1 One buffer: every byte goes into `buf`; where a chunk ends never
//    matters. A verdict that needs bytes not yet received waits for them.
//  2 A frame is recognised by its header where a frame must start
//    (headersAt): 0xFE 0x18 / 0xFE 0x19, a live frame; inside an answer
//    0xFE ?? T with T the type of the next expected frame or a later one and
//    0xFE at byte 11, a settings frame; inside an answer where frame 7 is due,
//    ?? ?? 0xAA, the AUX frame.
//  3 A frame is taken when the bytes right after it start a frame, or when
//    the line has gone quiet after it (confirmed); exactly its length is
//    consumed. A quiet line ends a burst: the bytes left are dropped and the
//    next byte starts a frame (quiet).
//  4 Settings and AUX frames only inside an answer window (openAnswer until
//    a set is taken or kAnswerWindowMs passed), in the answer's order, and
//    only when every value they carry is in range (headersAt).
//  5 Out of sync, skip to the first position where two frames chain (frame,
//    frame, next header) (chainAt); there a settings or AUX frame whose
//    byte 1 is 0xFE is refused: it is the end marker of the frame before,
//    joined to a frame that lost a byte.
//  6 Live frames are decoded at any time and confirmed like any other frame
//    (take).
//
// The answer (whole or nothing): settings and AUX frames never go to the
// store one by one. A run of frames 1..19 is clean when every frame of it
// was taken in sync and no byte was skipped since "RR"; a clean run is taken
// whole at once. The frames of other runs are votes: a frame is settled when
// two answers carry the same values, and the set is taken when all nineteen
// are settled (settle).

// How long an answer to "RR" may take at most before settings frames are no
// longer taken (longer than the window's 500 ms pause, for a slow transmitter).
constexpr int kAnswerWindowMs = 2500;
// The line counts as quiet when no byte came for this long (more than an
// adapter's latency timer): a whole frame with nothing after it is taken
// then, and what is left of the burst is dropped.
constexpr int kQuietMs = 100;
// At most this many received bytes wait: two frames and the header of a
// third, the most that a verdict needs.
constexpr int kMaxWaitingBytes = 2 * kLiveFrameLength + kSettingsFrameLength;

using FrameSink = std::function<void(const DecodedFrame &)>;

class FrameDecoder
{
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic
    FrameDecoder();

    // Takes every frame that the bytes received so far confirm: live frames
    // into d, a whole answer into s (and its version into d). onFrame is
    // called after each frame stored. An empty chunk does nothing.
    void feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
              const FrameSink &onFrame = {});
    // The line has gone quiet: a whole frame with nothing after it is taken,
    // the bytes left are dropped, and the next byte starts a frame.
    void quiet(TxSettingsRecord &s, TxLiveDataRecord &d, const FrameSink &onFrame = {});
    // Whether a frame waits for what follows it (the receive path then
    // calls quiet() once the line has been quiet for kQuietMs).
    bool waitsForQuiet() const { return !buf.isEmpty(); }

    // A READ begins: answers of earlier READs no longer count.
    void startRead();
    // "RR" goes out: settings frames are taken from now on, for one answer.
    void openAnswer();
    // The READ waits no longer for this answer: it counts as it stands.
    void endAnswer(TxSettingsRecord &s, TxLiveDataRecord &d, const FrameSink &onFrame = {});
    // Whether settings frames are taken now.
    bool answerOpen() const;
    // The frames (bits 1..19) of the answer being read.
    quint32 answerFrames() const { return run.got; }
    // The frames (bits 1..19) settled in this READ so far: in a clean
    // answer, or carried alike by two answers.
    quint32 settledFrames() const;
    // The frames (bits 1..19) that came in any answer of this READ.
    quint32 seenFrames() const;
    // The answer being read has brought its last frame.
    bool answerEnded() const { return open && lastSeq == kSettingsFrameCount; }
    // How many whole sets were taken since this decoder was made.
    quint64 setsTaken() const { return taken; }
    // Forgets the waiting bytes and any answer (a new link starts clean).
    void clear();
    const QByteArray &pending() const { return buf; }
    // The time source (tests and simulations run on their own clock).
    // An empty one is the steady clock again.
    void setClock(Clock c);

private:
    enum class Verdict { No, Yes, More };
    struct Shape {
        const SettingsFrameLayout *layout = nullptr; // nullptr: not known yet (More)
        FrameKind kind = FrameKind::Servo;
        int length = 0;
    };
    // At most one frame of each kind starts at a position.
    struct Shapes {
        std::array<Shape, 3> v;
        int n = 0;
        void push_back(const Shape &f) { v[size_t(n++)] = f; }
        const Shape *begin() const { return v.data(); }
        const Shape *end() const { return v.data() + n; }
    };
    struct Store {
        TxSettingsRecord &s;
        TxLiveDataRecord &d;
        const FrameSink &onFrame;
    };

    int lastFor(int p, int last) const;
    Shapes headersAt(int p, int last, bool resync) const; // rule 2, rule 4
    void auxAt(int p, int last, bool fromEndMarker, Shapes &out) const;
    void settingsAt(int p, int last, bool fromEndMarker, Shapes &out) const;
    void liveAt(int p, Shapes &out) const;
    Verdict startsFrame(int p, int last, bool quiet) const;               // rule 2
    Verdict confirmed(int p, const Shape &f, int last, bool quiet) const; // rule 3
    Verdict inSyncAt(bool quiet, Shape &chosen) const;                    // rules 2, 3
    Verdict chainAt(int p, bool quiet, Shape &chosen) const;              // rule 5
    void frame(bool quiet, Store st);                                     // rule 1
    void skip(int count);
    void take(const Shape &f, bool afterSkip, Store st); // rule 6 and the answer's frames
    void expire(Store st);
    void closeRun();
    void settle(Store st);
    void takeSet(const std::array<QByteArray, kSettingsFrameCount + 1> &frames, Store st);

    QByteArray buf;
    bool inSync = true; // buf[0] starts right after a frame taken
    bool open = false;
    qint64 openedAt = 0;
    int answerFrom = 0; // buf[answerFrom] is the first byte after "RR" went out
    int lastSeq = 0;    // the answer's last frame taken
    bool skippedSinceAsk = false;
    struct Run {
        std::array<QByteArray, kSettingsFrameCount + 1> frames; // by sequence number
        quint32 got = 0;
        bool clean = true;
    } run;
    std::array<std::vector<QByteArray>, kSettingsFrameCount + 1> votes;
    bool settlePending = false;
    quint64 taken = 0;
    Clock clock;
};
