#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

#include "model/txsettings.h"

// The binary frames that the transmitter sends to the tool.
//
// Live frames (20 bytes, streamed all the time while the port is open):
//   0xFE 0x18  servo[0..7] and txVolt, big-endian 16-bit words at bytes 2..19
//   0xFE 0x19  rxRssi (2), rxVolt (3), extVolt (4-5), telemWord3 (6-7),
//              telemWord4 (8-9); bytes 10..19 are not used
// Settings frames (12 bytes, the answer to "RR"):
//   0xFE, byte 1 (free, 0x00 when we build one), type, 8 payload bytes, 0xFE
// AUX frame (8 bytes, sequence number 7):
//   0xFE, 0x00, 0xAA, aux[0..3], 0xFE
//
// How frames are found in the received bytes (the bytes of successive chunks
// form one stream; an adapter cuts and joins them as it likes):
// - Live frames are found at any time. Settings and AUX frames only while an
//   answer is expected: from the moment "RR" goes out (openAnswer) until all
//   nineteen frames of the answer are in or kAnswerWindowMs have passed, and
//   none starting in the bytes received before "RR" went out. No
//   transmitter sends settings unasked, so outside an answer no byte, whatever
//   its pattern, changes a setting.
// - Within an answer the frames come in their order (1..19, the AUX frame as
//   7), each at most once; a frame 1 starts the answer afresh. A settings or
//   AUX frame is taken only where the order allows it.
// - A chunk that is exactly one frame under the length rules (20 bytes 0xFE
//   0x18/0x19; 12 bytes with 0xFE at both ends; 8 bytes with 0xAA at byte 2,
//   bytes 0, 1 and 7 not examined) is that frame, provided the answer's order
//   allows it; what waits from before is settled up to the chunk's start.
//   Not a chunk ending 0xFE 0xFE (a frame one byte short and the next one's
//   start) or a settings chunk starting 0xFE 0xFE (read from an end marker),
//   nor an 8-byte one that starts 0xFE 0x18/0x19 or carries an AUX source
//   out of range, nor a settings or AUX chunk that follows the head of a
//   live frame (a piece of a live frame): those are read as stream.
// - Anything else is read as a stream. A frame is taken only when it is
//   followed by what can start a frame (0xFE and a live kind, 0xFE and a
//   settings type whose end marker is in place, or the AUX frame the order
//   expects); a frame that ends with the bytes received so far waits for the
//   next chunk (a live frame is taken at once, unless a settings frame may
//   start at the same place). So a frame that lost a byte is dropped, never
//   decoded shifted: asking again repairs it.
// - In step (right after a frame) the next frame is expected right there, and
//   the AUX frame is found whatever its free bytes hold, where a frame starts
//   after it (with bytes of no frame after it, only with 0xFE at bytes 0
//   and 7). Out of step an AUX frame must also carry its sources in range. Out of step (after
//   bytes of no frame), the first frame start from which the rest of the
//   received bytes reads as whole frames wins; a candidate that would swallow
//   such a start gives way, unless it began in step and all its bytes are in,
//   and a live frame holding a live start not complete yet waits for it.
// - A byte lost inside a frame leaves it one byte short: read at full length
//   it overlaps the next frame by one byte, and read from the byte before it
//   it overlaps the frame before by one byte. Inside an answer a settings or
//   AUX frame is therefore not taken where such an overlap shows: a whole
//   frame starts at its last byte and none right after it; the settings or
//   AUX frame after it lacks a marker or is not followed by a frame start
//   (only a live frame's start is never met by a reading one byte late);
//   out of step, its second byte is a marker (the end of one frame, then the
//   start of the next) or, for the AUX frame, 0xAA stands one byte off its
//   type. Such a frame is dropped, and asking again repairs it.
// - Within a settings or AUX frame dropped as doubtful, no settings or AUX
//   frame starts but at its second byte or its last.
// - A frame taken with nothing after it that starts a frame is dropped where
//   its end marker starts a live frame, where a frame one byte short (its
//   markers, then the next start) begins at its last byte, or where it
//   carries a value out of range.
// - A settings frame that also reads as a live frame (its free byte 1 a live
//   kind) is the settings frame where whole frames go on after it and not
//   after the live reading; out of order it waits until the live reading can
//   be judged, and one carrying a value out of range is the live frame; the
//   frame the answer expects next keeps the live reading waiting until it
//   can be judged itself. A
//   live-length chunk that is the settings or AUX frame the answer expects
//   next, joined with the next frame's start (frame 6 with the AUX frame's
//   type in place), is read as stream.
// - A frame is judged by what follows as if it were taken: a frame of the
//   answer that comes before it cannot follow it. An AUX frame that does not
//   start with 0xFE is found only where the answer expects it (its frame
//   number at most two past the last frame taken).
// - An AUX chunk whose free last byte is 0xFE is taken at once, and taken
//   back when the next chunk goes on with a frame that began at that byte
//   (an AUX frame that lost a byte, joined with the next frame's start).
// - A live frame that ends with the bytes received so far is shown at once,
//   unless it holds another live frame's start (or ends in 0xFE): then it
//   waits for the next chunk, while the bytes kept stay within their bound.
//   Out of step inside an answer, a live frame holding a settings or AUX
//   frame that cannot be judged yet waits as well (a frame's end marker
//   and a free byte holding a live kind read as a live frame over the next
//   frames). A frame taken for want of a frame after it, or the answer's
//   last frame taken before anything follows it, never makes a live frame
//   give way. A 12-byte chunk of an unknown type starting like a live frame
//   is read as stream.

// A field of the store: returns a reference to it (txVersion lives in
// TxLiveData, everything else of the settings frames in TxSettings).
using FrameRef = int &(*)(TxSettingsRecord &, TxLiveDataRecord &);

// One field of a frame. `pos` is the byte index in the frame; `offset` is
// added to the value on the wire and taken off when decoding (0, 100 or 120);
// be16 fields span pos and pos + 1, big-endian, unsigned.
struct FrameField {
    int pos;
    FrameRef ref;
    int offset;
    bool be16;
};

// One frame type: the byte at index 2 (settings and AUX) or 1 (live frames),
// its sequence number (1..19 for settings and AUX frames, 0 for live frames)
// and its fields in byte order.
struct SettingsFrameLayout {
    quint8 type;
    int seq;
    std::vector<FrameField> fields;
};

constexpr quint8 kFrameMarker = 0xFE;
constexpr quint8 kServoKind = 0x18;
constexpr quint8 kTelemetryKind = 0x19;
constexpr quint8 kAuxType = 0xAA;
constexpr int kLiveFrameLength = 20;
constexpr int kSettingsFrameLength = 12;
constexpr int kAuxFrameLength = 8;
constexpr int kAuxSeq = 7;
// The frames that answer "RR": 18 settings frames and the AUX frame.
constexpr int kSettingsFrameCount = 19;
// The bytes that the length rules never examine: a transmitter may send
// anything there (we send 0x00, and 0xFE as the AUX frame's end marker).
constexpr int kSettingsFreeBytes[] = {1};
constexpr int kAuxFreeBytes[] = {0, 1, 7};

// The 18 settings frame types 0x44..0xAC, in sequence order (1..19 without 7).
const std::vector<SettingsFrameLayout> &settingsFrameLayouts();
// The settings layout of a type, or nullptr for an unknown type.
const SettingsFrameLayout *settingsFrameLayout(quint8 type);
// The AUX frame (type 0xAA, sequence 7) and the two live frames (type = kind byte).
const SettingsFrameLayout &auxFrameLayout();
const SettingsFrameLayout &servoFrameLayout();
const SettingsFrameLayout &telemetryFrameLayout();

// 256 * b[a] + b[a + 1], bytes unsigned; a byte at or past the end reads as 0.
int beWord(const QByteArray &b, int a);

// Stores the fields of a whole frame of layout l into s and d, offsets taken
// off, and sets the volts that follow the raw alarms (0x99, 0xAB).
void decodeFields(const SettingsFrameLayout &l, const QByteArray &frame, TxSettingsRecord &s,
                  TxLiveDataRecord &d);

// The frames the transmitter would send for the given store. Values that do
// not fit their byte (or word) are clamped to it.
QByteArray buildSettingsFrame(const SettingsFrameLayout &l, const TxSettingsRecord &s,
                              const TxLiveDataRecord &d);
QByteArray buildAuxFrame(const TxSettingsRecord &s);
QByteArray buildServoFrame(const TxLiveDataRecord &d);
QByteArray buildTelemetryFrame(const TxLiveDataRecord &d);

enum class FrameKind { Servo, Telemetry, Settings, Aux };
inline bool isLiveFrame(FrameKind k)
{
    return k == FrameKind::Servo || k == FrameKind::Telemetry;
}
struct DecodedFrame {
    FrameKind kind;
    int seq; // 0 for live frames or an unknown settings type
};

// What a chunk holds under the length rules alone: exactly one frame of the
// given kind, or None. (Framing names how the bytes are read; the stream is the
// decoder's business.)
enum class Framing { Chunk };
enum class FrameMatch { None, Live, Aux, Settings };
FrameMatch classifyFrame(const QByteArray &b, int i, Framing framing = Framing::Chunk);

// At most this many received bytes wait for the next chunk: a live frame and
// two settings frames (one starting inside the live frame, and what follows it).
constexpr int kMaxWaitingBytes = kLiveFrameLength + 2 * kSettingsFrameLength;

// How long an answer to "RR" may take at most before settings frames are no
// longer taken (longer than the window's 500 ms pause, for a slow transmitter).
constexpr int kAnswerWindowMs = 2500;
// The frame sequence numbers of one answer, as bits 1..19.
constexpr quint32 kAllAnswerFrames = 0xFFFFEu;

// The decoder of the received bytes. It keeps the bytes that cannot be judged
// yet until the next chunk, and whether an answer to "RR" is expected.
class FrameDecoder
{
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic
    FrameDecoder();

    // Decodes every frame that the chunk completes into s and d. onFrame is
    // called after each frame is stored (the window uses it to refresh at
    // once after settings frames). An empty chunk does nothing.
    void feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
              const std::function<void(const DecodedFrame &)> &onFrame = {});
    // "RR" goes out: settings frames are taken from now on, for one answer.
    void openAnswer();
    // Whether settings frames are taken now.
    bool answerOpen() const;
    // The sequence numbers (bits 1..19) decoded in the current answer, which
    // a frame 1 or openAnswer starts afresh.
    quint32 answerFrames() const { return got; }
    // Forgets the waiting bytes and any answer (a new link starts clean).
    void clear();
    const QByteArray &pending() const { return waiting; }
    // The time source (tests and simulations run on their own clock).
    // An empty one is the steady clock again.
    void setClock(Clock c);

private:
    enum class Verdict { No, Yes, More };
    struct Candidate {
        Verdict verdict = Verdict::No;
        const SettingsFrameLayout *layout = nullptr;
        FrameKind kind = FrameKind::Servo;
        int length = 0;
        bool weak = false;  // taken although no frame starts after it
        bool alone = false; // the answer's last frame, taken before anything follows it
    };
    void scan(QByteArray b, int fence, TxSettingsRecord &s, TxLiveDataRecord &d,
              const std::function<void(const DecodedFrame &)> &onFrame);
    Candidate candidateAt(const QByteArray &b, int i, bool inStep, int fence) const;
    Verdict startsFrame(const QByteArray &b, int j, int fence) const;
    bool readsWholeToEnd(const QByteArray &b, int i) const;
    Verdict goesOnWhole(const Candidate &c, const QByteArray &b, int i, int fence) const;
    Verdict shapeAt(const QByteArray &b, int j, int fence, int &length) const;
    Verdict wholeStartAt(const QByteArray &b, int j, int fence) const;
    bool soundAt(const QByteArray &b, int r, int fence) const;
    Verdict doubtful(const Candidate &c, const QByteArray &b, int i, bool step, int fence) const;
    bool answerAt(int j) const; // a settings or AUX frame may start at j
    bool mayTake(int seq) const;
    bool nearNext(int seq) const;
    void take(const Candidate &c, const QByteArray &b, int i, TxSettingsRecord &s, TxLiveDataRecord &d,
              const std::function<void(const DecodedFrame &)> &onFrame);
    void expireAnswer();

    bool beganAtLastByte(const QByteArray &next) const;
    bool continuesLiveFrame() const;

    // An AUX chunk taken at once, and what it replaced, until the next chunk.
    struct Undo {
        bool armed = false;
        int lastSeq = 0;
        quint32 got = 0;
        std::array<int, 4> values{}; // the four AUX sources
    } undo;
    QByteArray waiting;
    int answerFrom = 0;  // waiting[answerFrom] is the first byte after "RR" went out
    int droppedFrom = 0; // waiting[droppedFrom..droppedTo) lies inside a frame dropped as doubtful
    int droppedTo = 0;
    bool inStep = false; // waiting[0] (or the next chunk) starts right after a frame
    bool open = false;
    qint64 openedAt = 0;
    int lastSeq = 0;
    mutable int assumed = 0; // a frame being judged counts as taken for what follows it
    quint32 got = 0;
    Clock clock;
};
