#include "link/frames.h"

#include "model/validation.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>

namespace {

// clang-format off
// A field reference as a plain function: S(x) names TxSettings.x, L(x) names
// TxLiveData.x. Captureless lambdas convert to FrameRef.
#define S(member) [](TxSettingsRecord &s, TxLiveDataRecord &) -> int & { return s.member; }
#define L(member) [](TxSettingsRecord &, TxLiveDataRecord &d) -> int & { return d.member; }
// A byte, a byte carrying the value plus an offset, a big-endian word.
#define B(pos, member) {pos, S(member), 0, false}
#define O(pos, member, off) {pos, S(member), off, false}
#define W(pos, member) {pos, S(member), 0, true}
// Eight bytes of one array at bytes 3..10.
#define ROW8(arr, off) O(3, arr[0], off), O(4, arr[1], off), O(5, arr[2], off), O(6, arr[3], off), \
                       O(7, arr[4], off), O(8, arr[5], off), O(9, arr[6], off), O(10, arr[7], off)

const std::vector<SettingsFrameLayout> kSettingsFrames = {
    {0x44, 1, {ROW8(rev, 0)}},
    {0x55, 2, {ROW8(sub, 120)}},
    {0x66, 3, {ROW8(lepa, 0)}},
    {0x77, 4, {ROW8(repa, 0)}},
    {0x88, 5, {ROW8(fs, 0)}},
    {0x99, 6, {W(3, txAlarmRaw), W(5, stkMode), {7, L(txVersion), 0, true}}},
    {0xA1, 8, {B(3, attiM), B(4, atti[0]), B(5, atti[1]), B(6, atti[2]), B(7, atti[3]),
               B(8, atti[4]), B(9, atti[5])}},
    // Elevon values travel in the order 1, 5, 2, 6, 3, 4.
    {0xA2, 9, {B(3, eleMix), O(4, elev[0], 120), O(5, elev[4], 120), O(6, elev[1], 120),
               O(7, elev[5], 120), O(8, elev[2], 120), O(9, elev[3], 120)}},
    {0xA3, 10, {B(3, ruMix), O(4, ru[0], 100), O(5, ru[1], 100), O(6, ru[2], 100),
                O(7, ru[3], 100), B(8, drMix)}},
    {0xA4, 11, {ROW8(delay, 0)}},
    {0xA5, 12, {B(3, drUp[0]), B(4, drUp[1]), B(5, drUp[2]), B(6, drUp[3]),
                B(7, drDown[0]), B(8, drDown[1]), B(9, drDown[2]), B(10, drDown[3])}},
    // Mixes 1 and 2 interleave member by member.
    {0xA6, 13, {O(3, prm[0].data2, 100), O(4, prm[1].data2, 100), O(5, prm[0].data3, 100),
                O(6, prm[1].data3, 100), O(7, prm[0].data1, 100), O(8, prm[1].data1, 100),
                B(9, prm[0].master), B(10, prm[1].master)}},
    {0xA7, 14, {B(3, prm[0].slave), B(4, prm[1].slave), B(5, prm[0].mix), B(6, prm[1].mix)}},
    // Mixes 3 and 4 go one after the other.
    {0xA8, 15, {B(3, prm[2].mix), B(4, prm[2].master), B(5, prm[2].slave),
                O(6, prm[2].data1, 100), O(7, prm[2].data2, 100), O(8, prm[2].data3, 100),
                B(9, prm[3].mix), B(10, prm[3].master)}},
    {0xA9, 16, {B(3, prm[3].slave), O(4, prm[3].data1, 100), O(5, prm[3].data2, 100),
                O(6, prm[3].data3, 100), B(7, thcureMix), B(8, thcureOpt), B(9, thcure[0]),
                B(10, thcure[1])}},
    {0xAA, 17, {B(3, thcure[2]), B(4, thcure[3]), B(5, thcure[4]), B(6, thcure[5]),
                B(7, thcure[6])}},
    {0xAB, 18, {B(3, drSw), B(4, drPosi), W(5, extAlarmRaw), O(7, rssiAlarm, 100),
                B(8, rxAlarmRaw)}},
    {0xAC, 19, {O(3, drExpUp[0], 100), O(4, drExpUp[1], 100), O(5, drExpUp[2], 100),
                O(6, drExpUp[3], 100), O(7, drExpDown[0], 100), O(8, drExpDown[1], 100),
                O(9, drExpDown[2], 100), O(10, drExpDown[3], 100)}},
};

const SettingsFrameLayout kAuxFrame = {kAuxType, kAuxSeq,
    {B(3, aux[0]), B(4, aux[1]), B(5, aux[2]), B(6, aux[3])}};

const SettingsFrameLayout kServoFrame = {kServoKind, 0, {
    {2, L(servo[0]), 0, true}, {4, L(servo[1]), 0, true}, {6, L(servo[2]), 0, true},
    {8, L(servo[3]), 0, true}, {10, L(servo[4]), 0, true}, {12, L(servo[5]), 0, true},
    {14, L(servo[6]), 0, true}, {16, L(servo[7]), 0, true}, {18, L(txVolt), 0, true}}};

const SettingsFrameLayout kTelemetryFrame = {kTelemetryKind, 0, {
    {2, L(rxRssi), 0, false}, {3, L(rxVolt), 0, false}, {4, L(extVolt), 0, true},
    {6, L(telemWord3), 0, true}, {8, L(telemWord4), 0, true}}};

#undef ROW8
#undef W
#undef O
#undef B
#undef S
#undef L
// clang-format on

constexpr quint8 kTxAlarmType = 0x99;
constexpr quint8 kRxAlarmType = 0xAB;

inline quint8 byteAt(const QByteArray &b, int i)
{
    return static_cast<quint8>(b.at(i));
}

// Puts the fields of l into frame (which already has its length).
void encodeFields(const SettingsFrameLayout &l, const TxSettingsRecord &s, const TxLiveDataRecord &d,
                  QByteArray &frame)
{
    // The refs hand out mutable references; the copies keep the callers' records untouched.
    TxSettingsRecord sc = s;
    TxLiveDataRecord dc = d;
    for (const FrameField &f : l.fields) {
        const long long v = static_cast<long long>(f.ref(sc, dc)) + f.offset;
        if (f.be16) {
            const int w = static_cast<int>(std::clamp<long long>(v, 0, 0xFFFF));
            frame[f.pos] = static_cast<char>(w >> 8);
            frame[f.pos + 1] = static_cast<char>(w & 0xFF);
        } else {
            frame[f.pos] = static_cast<char>(std::clamp<long long>(v, 0, 0xFF));
        }
    }
}

bool isLiveKind(quint8 k)
{
    return k == kServoKind || k == kTelemetryKind;
}

void store(const SettingsFrameLayout &l, FrameKind kind, const QByteArray &frame, TxSettingsRecord &s,
           TxLiveDataRecord &d, const std::function<void(const DecodedFrame &)> &onFrame)
{
    decodeFields(l, frame, s, d);
    if (l.seq > 0)
        d.readFlag = l.seq;
    if (onFrame)
        onFrame({kind, l.seq});
}

// A frame that lost a payload byte, joined with the next frame's first byte,
// has the length of a whole one: its own end marker then stands right before
// the last byte. No value the transmitter sends in the last payload byte of a
// frame is 0xFE, so such a chunk is read as part of the stream, where the
// bytes after it tell whether a frame starts at its last byte.
bool endsOneShort(const QByteArray &chunk)
{
    const int n = chunk.size();
    return n >= 2 && byteAt(chunk, n - 2) == kFrameMarker && byteAt(chunk, n - 1) == kFrameMarker;
}

// Whether every value a settings or AUX frame carries lies in its range. A
// frame that nothing after it confirms is taken only then.
bool carriesInRange(const SettingsFrameLayout &l, const QByteArray &frame)
{
    static const TxSettingsRecord factory = startSettings();
    TxSettingsRecord s = factory;
    TxLiveDataRecord d;
    decodeFields(l, frame, s, d);
    TxSettingsRecord checked = s;
    validateSettings(checked);
    return checked == s;
}

// Counts a frame as taken while what follows it is judged.
struct Assume {
    Assume(int &slot, int seq) : slot(slot), was(slot) { slot = std::max(slot, seq); }
    ~Assume() { slot = was; }
    int &slot;
    const int was;
};

qint64 steadyMs()
{
    static QElapsedTimer t;
    if (!t.isValid())
        t.start();
    return t.elapsed();
}

} // namespace

FrameMatch classifyFrame(const QByteArray &b, int i, Framing)
{
    const int n = b.size() - i;
    const auto at = [&b, i](int k) { return byteAt(b, i + k); };
    // One chunk, one frame: its length picks the kind, and only the bytes the
    // length rules name are examined.
    switch (n) {
    case kLiveFrameLength:
        return at(0) == kFrameMarker && isLiveKind(at(1)) ? FrameMatch::Live : FrameMatch::None;
    case kSettingsFrameLength:
        return at(0) == kFrameMarker && at(11) == kFrameMarker ? FrameMatch::Settings : FrameMatch::None;
    case kAuxFrameLength:
        return at(2) == kAuxType ? FrameMatch::Aux : FrameMatch::None;
    default:
        return FrameMatch::None;
    }
}

FrameDecoder::FrameDecoder() : clock(steadyMs) {}

void FrameDecoder::setClock(Clock c)
{
    clock = c ? std::move(c) : Clock(steadyMs);
}

bool FrameDecoder::continuesLiveFrame() const
{
    // The waiting bytes end with the head of a live frame (its kind perhaps
    // still to come).
    const int w = waiting.size();
    for (int p = std::max(0, w - kLiveFrameLength + 1); p < w; ++p)
        if (byteAt(waiting, p) == kFrameMarker && (p + 1 == w || isLiveKind(byteAt(waiting, p + 1))))
            return true;
    return false;
}

bool FrameDecoder::beganAtLastByte(const QByteArray &next) const
{
    // No frame starts right after the AUX frame, but one that began with its
    // last byte goes on: a live kind, or a settings type with the end marker
    // eleven bytes after that 0xFE (where the bytes are in).
    if (byteAt(next, 0) == kFrameMarker)
        return false;
    if (isLiveKind(byteAt(next, 0)))
        return true;
    return next.size() >= 2 && settingsFrameLayout(byteAt(next, 1)) &&
           (next.size() <= kSettingsFrameLength - 2 ||
            byteAt(next, kSettingsFrameLength - 2) == kFrameMarker);
}

void FrameDecoder::openAnswer()
{
    undo.armed = false;
    // The bytes received before "RR" went out hold no frame of its answer.
    answerFrom = waiting.size();
    open = true;
    openedAt = clock();
    lastSeq = 0;
    got = 0;
}

void FrameDecoder::expireAnswer()
{
    open = answerOpen();
}

bool FrameDecoder::answerOpen() const
{
    // Open until every frame is in or its time has run out.
    return open && got != kAllAnswerFrames && clock() - openedAt <= kAnswerWindowMs;
}

void FrameDecoder::clear()
{
    undo.armed = false;
    waiting.clear();
    answerFrom = 0;
    droppedFrom = droppedTo = 0;
    inStep = false;
    open = false;
    lastSeq = 0;
    got = 0;
}

bool FrameDecoder::nearNext(int seq) const
{
    // The next frame of the answer, or the one after it when one was lost.
    return mayTake(seq) && seq - std::max(lastSeq, assumed) <= 2;
}

bool FrameDecoder::answerAt(int j) const
{
    return open && j >= answerFrom;
}

bool FrameDecoder::mayTake(int seq) const
{
    // Forward through the answer, each frame once.
    return open && seq > std::max(lastSeq, assumed) && !(got & (1u << seq));
}

FrameDecoder::Verdict FrameDecoder::startsFrame(const QByteArray &b, int j, int fence) const
{
    if (j == fence)
        return Verdict::Yes; // the chunk after the fence is a frame of its own
    const int n = b.size();
    if (j >= n)
        return Verdict::More;
    if (byteAt(b, j) != kFrameMarker) {
        // Only the AUX frame may start with any byte, where the answer
        // expects it.
        if (!answerAt(j) || !nearNext(kAuxSeq))
            return Verdict::No;
        return j + 2 >= n ? Verdict::More : byteAt(b, j + 2) == kAuxType ? Verdict::Yes : Verdict::No;
    }
    if (j + 1 >= n)
        return Verdict::More;
    if (isLiveKind(byteAt(b, j + 1)))
        return Verdict::Yes;
    if (!answerAt(j))
        return Verdict::No;
    if (j + 2 >= n)
        return Verdict::More;
    const quint8 type = byteAt(b, j + 2);
    if (type == kAuxType && mayTake(kAuxSeq))
        return Verdict::Yes;
    const SettingsFrameLayout *l = settingsFrameLayout(type);
    if (!l || !mayTake(l->seq))
        return Verdict::No;
    if (j + 11 >= n)
        return j + 11 >= fence && fence < n ? Verdict::No : Verdict::More;
    return byteAt(b, j + 11) == kFrameMarker ? Verdict::Yes : Verdict::No;
}

FrameDecoder::Candidate FrameDecoder::candidateAt(const QByteArray &b, int i, bool step, int fence) const
{
    const int n = b.size();
    const auto have = [&](int k) { return i + k < n; };
    const auto at = [&](int k) { return byteAt(b, i + k); };
    // A frame that ends past the fence is no frame: the chunk there is one of
    // its own.
    // What follows is judged as if this frame were taken (a frame of the
    // answer that came before it cannot follow it).
    const auto judge = [&](int len, int seq = 0) {
        if (i + len > fence)
            return Verdict::No;
        const Assume taken(assumed, seq);
        return startsFrame(b, i + len, fence);
    };
    const bool marker = at(0) == kFrameMarker;

    // Settings and AUX frames, where the answer's order allows them.
    Candidate settings{Verdict::No, nullptr, FrameKind::Settings, 0};
    bool settingsWeak = false;  // taken although what follows starts no frame
    bool settingsAlone = false; // the answer's last frame, taken before anything follows it
    if (answerAt(i) && (marker || (step && nearNext(kAuxSeq)))) {
        if (!have(2)) {
            settings.verdict = Verdict::More;
        } else {
            const quint8 type = at(2);
            const SettingsFrameLayout *l = settingsFrameLayout(type);
            // The AUX frame (7) and frame 17 share the type byte; the order
            // tells them apart, and the AUX frame comes first.
            if (type == kAuxType && mayTake(kAuxSeq)) {
                Verdict v = judge(kAuxFrameLength, kAuxSeq);
                // Bytes of no frame may follow it, as below; an AUX frame
                // that lost a byte has the next frame start at its byte 7.
                // Only one with its own markers at bytes 0 and 7: of the
                // others one byte alone is examined, and one that lost a
                // source reads its last one from what follows it.
                const bool marked = at(0) == kFrameMarker && have(kAuxFrameLength - 1) &&
                                    at(kAuxFrameLength - 1) == kFrameMarker;
                if (v == Verdict::No && nearNext(kAuxSeq) && marked && have(kAuxFrameLength)) {
                    const Verdict shifted = startsFrame(b, i + kAuxFrameLength - 1, fence);
                    v = shifted == Verdict::No     ? Verdict::Yes
                        : shifted == Verdict::More ? Verdict::More
                                                   : Verdict::No;
                    settingsWeak = v == Verdict::Yes;
                }
                // After bytes of no frame, one byte examined is little: an
                // AUX frame there must also carry its sources in range.
                if (v == Verdict::Yes && !step && !carriesInRange(kAuxFrame, b.mid(i, kAuxFrameLength)))
                    v = Verdict::No;
                settings = {v, &kAuxFrame, FrameKind::Aux, kAuxFrameLength};
            }
            // An AUX frame taken only for want of a frame after it gives way
            // to a settings frame that can be judged whole.
            const bool auxWeak = settings.verdict == Verdict::Yes && settingsWeak;
            if ((settings.verdict != Verdict::Yes || auxWeak) && marker && l && mayTake(l->seq)) {
                Verdict v = Verdict::More;
                if (i + kSettingsFrameLength > fence)
                    v = Verdict::No;
                else if (have(11))
                    v = at(11) == kFrameMarker ? judge(kSettingsFrameLength, l->seq) : Verdict::No;
                // Its end marker right before a last 0xFE is what a frame one
                // byte short and the next one's start look like: then only a
                // start with its own marker counts as what follows, or the
                // AUX frame right after frame 6.
                if (v == Verdict::Yes && at(10) == kFrameMarker && i + kSettingsFrameLength < fence &&
                    have(kSettingsFrameLength) && at(kSettingsFrameLength) != kFrameMarker) {
                    // (The AUX frame after frame 6 carrying its sources in
                    // range: live bytes read as one rarely do.)
                    const int aux = i + kSettingsFrameLength;
                    if (l->seq + 1 != kAuxSeq || aux + kAuxFrameLength > fence)
                        v = Verdict::No;
                    else if (aux + kAuxFrameLength > n)
                        v = Verdict::More;
                    else if (!carriesInRange(kAuxFrame, b.mid(aux, kAuxFrameLength)))
                        v = Verdict::No;
                }
                // In step, or for the frame the answer expects next, what
                // follows may be bytes of no frame or a frame that lost its
                // first bytes. A frame of ours that lost a byte shows a marker right
                // before its end marker (its own end, then the next frame's
                // start): that one is dropped; otherwise its bytes are whole.
                bool weak = false;
                // Nothing follows the last frame of an answer but what the
                // transmitter streams anyway: it is not kept waiting for that.
                bool alone = false;
                if (v == Verdict::More && l->seq == kSettingsFrameCount && nearNext(l->seq) &&
                    i + kSettingsFrameLength == n && fence >= n && at(11) == kFrameMarker &&
                    at(10) != kFrameMarker) {
                    v = Verdict::Yes;
                    alone = true;
                }
                if (v == Verdict::No && nearNext(l->seq) && have(11) && at(11) == kFrameMarker &&
                    i + kSettingsFrameLength <= std::min<int>(fence, n) && at(10) != kFrameMarker) {
                    v = Verdict::Yes;
                    weak = true;
                }
                if (auxWeak ? v == Verdict::More || (v == Verdict::Yes && !weak)
                            : v == Verdict::Yes || settings.verdict == Verdict::No) {
                    settings = {v, l, FrameKind::Settings, kSettingsFrameLength};
                    settingsWeak = weak;
                    settingsAlone = alone;
                }
            }
        }
    }

    Candidate live{Verdict::No, nullptr, FrameKind::Servo, kLiveFrameLength};
    bool liveAtEnd = false; // taken although nothing follows yet
    if (marker) {
        if (!have(1)) {
            live.verdict = Verdict::More;
        } else if (isLiveKind(at(1))) {
            live.kind = at(1) == kServoKind ? FrameKind::Servo : FrameKind::Telemetry;
            live.layout = at(1) == kServoKind ? &kServoFrame : &kTelemetryFrame;
            // A live frame is shown at once when it ends with the bytes
            // received so far.
            liveAtEnd = i + kLiveFrameLength == n && fence >= n;
            live.verdict = liveAtEnd ? Verdict::Yes : judge(kLiveFrameLength);
        }
    }

    // Both may fit (a settings frame's free byte 1 can be a live kind): the
    // frame the answer expects next wins, then a live frame followed by a
    // frame, then a settings frame followed by bytes of no frame.
    settings.weak = settingsWeak;
    settings.alone = settingsAlone;
    // Where both readings start here, a settings or AUX frame carrying a
    // value no transmitter sends is the live frame's bytes.
    if (settings.verdict == Verdict::Yes && live.verdict != Verdict::No &&
        !carriesInRange(*settings.layout, b.mid(i, settings.length)))
        settings.verdict = Verdict::No;
    if (settings.verdict == Verdict::Yes && !settingsWeak) {
        if (live.verdict != Verdict::Yes || settings.layout->seq == lastSeq + 1) {
            // Out of order, a frame that also starts like a live frame waits
            // until the live reading can be judged.
            if (live.verdict == Verdict::More && settings.layout->seq != lastSeq + 1 && !settingsAlone)
                settings.verdict = Verdict::More;
            return settings;
        }
        const Verdict whole = liveAtEnd ? Verdict::No : goesOnWhole(settings, b, i, fence);
        if (whole != Verdict::No) {
            settings.verdict = whole;
            return settings;
        }
    }
    if (settings.verdict == Verdict::More && liveAtEnd)
        return settings;
    // The frame the answer expects next waits to be judged before the live
    // reading over it is taken.
    if (settings.verdict == Verdict::More && settings.layout && settings.layout->seq == lastSeq + 1)
        return settings;
    if (live.verdict != Verdict::No)
        return live;
    return settings;
}

FrameDecoder::Verdict FrameDecoder::goesOnWhole(const Candidate &c, const QByteArray &b, int i,
                                                int fence) const
{
    // A settings frame whose free byte is a live kind reads as a live frame
    // too. Where no whole frame follows the live reading, the settings frame
    // is the sound one if one follows it (Yes), or once that is known (More).
    if (wholeStartAt(b, i + kLiveFrameLength, fence) != Verdict::No)
        return Verdict::No;
    const Assume taken(assumed, c.layout->seq);
    return wholeStartAt(b, i + c.length, fence);
}

FrameDecoder::Verdict FrameDecoder::shapeAt(const QByteArray &b, int j, int fence, int &length) const
{
    // The marker bytes of a frame at j, all of them (the answer's order asked).
    length = 0;
    const int n = b.size();
    if (j >= fence || j < 0)
        return Verdict::No;
    if (j >= n)
        return Verdict::More;
    const bool marker = byteAt(b, j) == kFrameMarker;
    if (marker) {
        if (j + 1 >= n)
            return Verdict::More;
        if (isLiveKind(byteAt(b, j + 1))) {
            length = kLiveFrameLength;
            return Verdict::Yes;
        }
    }
    if (!answerAt(j) || (!marker && !nearNext(kAuxSeq)))
        return Verdict::No;
    if (j + 2 >= n)
        return Verdict::More;
    const quint8 type = byteAt(b, j + 2);
    if (type == kAuxType && mayTake(kAuxSeq)) {
        length = kAuxFrameLength;
        return Verdict::Yes;
    }
    const SettingsFrameLayout *l = marker ? settingsFrameLayout(type) : nullptr;
    if (!l || !mayTake(l->seq))
        return Verdict::No;
    if (j + 11 >= std::min(n, fence))
        return j + 11 >= fence ? Verdict::No : Verdict::More;
    length = kSettingsFrameLength;
    return byteAt(b, j + 11) == kFrameMarker ? Verdict::Yes : Verdict::No;
}

FrameDecoder::Verdict FrameDecoder::wholeStartAt(const QByteArray &b, int j, int fence) const
{
    // A frame whose markers are all in place at j and after which the next
    // one begins: what a frame boundary looks like.
    if (j == fence)
        return Verdict::Yes;
    int len = 0;
    const Verdict v = shapeAt(b, j, fence, len);
    if (v != Verdict::Yes)
        return v;
    // The answer's last frame is not kept waiting for what follows it, as
    // when it is read itself.
    if (len == kSettingsFrameLength && byteAt(b, j + 2) == settingsFrameLayouts().back().type &&
        j + len == b.size() && fence >= b.size() && byteAt(b, j + 10) != kFrameMarker)
        return Verdict::Yes;
    return startsFrame(b, j + len, fence);
}

FrameDecoder::Verdict FrameDecoder::doubtful(const Candidate &c, const QByteArray &b, int i, bool step,
                                             int fence) const
{
    // A frame that lost a byte is one byte short. Read at its full length it
    // ends on the first byte of the frame after it, and the reading goes on
    // one byte late; read from the byte before it (the end of the frame
    // before), it ends where the next frame starts. Both readings overlap a
    // sound frame by one byte. Where the bytes around a frame show such an
    // overlap, nothing tells which reading is sound, and the frame is not
    // taken: asking again repairs it, a shifted value never would.
    // Yes: doubtful; More: judged once more bytes are in; No: sound.
    const int next = i + c.length;
    const int end = std::min<int>(fence, b.size());
    // What follows is judged as if this frame were taken.
    const Assume assume(assumed, c.layout->seq);

    // 1. A reading one byte late meets a live frame's kind byte, or the byte
    // after a settings frame's first marker: never a live frame's start. A
    // settings or AUX frame after it must stand whole (all its markers, and
    // the next frame starting after it).
    if (next < end &&
        !(byteAt(b, next) == kFrameMarker && next + 1 < b.size() && isLiveKind(byteAt(b, next + 1))) &&
        startsFrame(b, next, fence) == Verdict::Yes) {
        const Verdict straight = wholeStartAt(b, next, fence);
        if (straight != Verdict::Yes)
            return straight == Verdict::More ? Verdict::More : Verdict::Yes;
    }
    // 2. A whole frame starts at this frame's last byte, and none right after
    // it. The AUX frame waits until that is known; a settings frame is judged
    // on the bytes already in, since one read a byte late also shows its own
    // end marker at its byte 10, which candidateAt checks where nothing
    // confirms the frame. The frame there stands instead of this one, so any
    // frame the answer still lacks counts.
    assumed = assume.was;
    const Verdict shifted = next < end ? wholeStartAt(b, next - 1, fence) : Verdict::No;
    assumed = c.layout->seq;
    if (shifted != Verdict::No) {
        const Verdict straight = wholeStartAt(b, next, fence);
        if (straight == Verdict::No && shifted == Verdict::Yes)
            return Verdict::Yes;
        if (straight != Verdict::Yes && c.kind == FrameKind::Aux)
            return Verdict::More;
    }
    // A frame taken for want of a frame after it: one that lost a byte has
    // the next frame, one byte short, start at its last byte (its markers
    // there and ten bytes on, the frame after it right behind).
    // The answer's last frame is judged on the bytes already in: nothing of
    // the answer comes after it.
    if (c.weak) {
        const int j = next - 1;
        const auto wait = [&](int k) {
            return k < fence && c.layout->seq != kSettingsFrameCount ? Verdict::More : Verdict::No;
        };
        // Its end marker is a live frame's start.
        if (byteAt(b, j) == kFrameMarker) {
            if (next >= end)
                return wait(next);
            if (isLiveKind(byteAt(b, next)))
                return Verdict::Yes;
        }
        if (j + 11 >= end)
            return wait(j + 11);
        if (byteAt(b, j) == kFrameMarker && byteAt(b, j + 10) == kFrameMarker &&
            byteAt(b, j + 11) == kFrameMarker)
            return Verdict::Yes;
    }
    // 3. After bytes of no frame: its first byte may be the end of the frame
    // before and its second the start of the next (0xFE there), or, for the
    // AUX frame, its type may be the type of an AUX frame one byte off.
    if (!step) {
        if (byteAt(b, i + 1) == kFrameMarker)
            return Verdict::Yes;
        if (c.kind == FrameKind::Aux && (byteAt(b, i + 1) == kAuxType || byteAt(b, i + 3) == kAuxType))
            return Verdict::Yes;
    }
    return Verdict::No;
}

bool FrameDecoder::soundAt(const QByteArray &b, int r, int fence) const
{
    // A frame that a start before it gives way to: judged whole by what
    // follows it (not only by bytes of no frame), and not doubtful.
    const Candidate o = candidateAt(b, r, false, fence);
    if (o.verdict != Verdict::Yes || o.weak || o.alone)
        return false;
    const bool live = isLiveFrame(o.kind);
    return live || doubtful(o, b, r, false, fence) == Verdict::No;
}

bool FrameDecoder::readsWholeToEnd(const QByteArray &b, int i) const
{
    // Whether the bytes from i on read as whole frames, the last one perhaps
    // not complete yet (shapes only: the answer's order is not asked).
    const int n = b.size();
    while (i < n) {
        const quint8 first = byteAt(b, i);
        if (first != kFrameMarker)
            return false;
        if (i + 1 >= n)
            return true;
        int len = 0;
        if (isLiveKind(byteAt(b, i + 1))) {
            len = kLiveFrameLength;
        } else {
            if (!answerAt(i))
                return false;
            if (i + 2 >= n)
                return true;
            const quint8 type = byteAt(b, i + 2);
            if (type == kAuxType && i + kAuxFrameLength < n && byteAt(b, i + kAuxFrameLength) == kFrameMarker)
                len = kAuxFrameLength;
            else if (settingsFrameLayout(type))
                len = kSettingsFrameLength;
            else
                return false;
            if (len == kSettingsFrameLength && i + 11 < n && byteAt(b, i + 11) != kFrameMarker)
                return false;
        }
        i += len;
    }
    return true;
}

void FrameDecoder::take(const Candidate &c, const QByteArray &b, int i, TxSettingsRecord &s,
                        TxLiveDataRecord &d, const std::function<void(const DecodedFrame &)> &onFrame)
{
    const QByteArray frame = b.mid(i, c.length);
    const int seq = c.layout->seq;
    if (seq > 0) {
        lastSeq = seq;
        got |= 1u << seq;
    }
    store(*c.layout, c.kind, frame, s, d, onFrame);
}

void FrameDecoder::scan(QByteArray b, int fence, TxSettingsRecord &s, TxLiveDataRecord &d,
                        const std::function<void(const DecodedFrame &)> &onFrame)
{
    bool step = inStep;
    int i = 0;
    const int end = std::min<int>(fence, b.size());
    // Keeps the bytes from i on for the next chunk.
    const auto keep = [&] {
        waiting = b.mid(i);
        answerFrom = std::max(0, answerFrom - i);
        droppedFrom -= i;
        droppedTo -= i;
        inStep = step;
    };
    // The bytes kept stay within their bound: a live frame and a settings
    // frame, or inside an answer a live frame and what judges a settings
    // frame starting within it.
    const auto mayKeep = [&](int bound = kLiveFrameLength + kSettingsFrameLength) {
        return b.size() - i < bound;
    };
    while (i < end) {
        Candidate c = candidateAt(b, i, step, fence);
        const bool live = isLiveFrame(c.kind);
        // In step, a live frame that ends with the bytes received so far is
        // shown at once, unless it holds another live frame's start: garbage
        // that reads as live frames may end ten bytes before a true one.
        if (c.verdict == Verdict::Yes && step && live && i + c.length == b.size() && fence >= b.size() &&
            mayKeep()) {
            bool inner = false;
            for (int r = i + 1; r < b.size() && !inner; ++r)
                inner = byteAt(b, r) == kFrameMarker && (r + 1 == b.size() || isLiveKind(byteAt(b, r + 1)));
            if (inner) {
                keep();
                return;
            }
        }
        if (c.verdict == Verdict::Yes && !step) {
            // Out of step: a start further on from which everything reads
            // as whole frames is the better bet than one that swallows it,
            // and so is a settings frame the answer is waiting for.
            const bool whole = readsWholeToEnd(b, i);
            bool innerLiveStart = false;
            bool innerSettingsStart = false;
            for (int r = i + 1; r < i + c.length && r < b.size(); ++r) {
                if (byteAt(b, r) != kFrameMarker)
                    continue;
                // Only a frame that can be judged whole there counts.
                const Candidate other = candidateAt(b, r, false, fence);
                // (Not one taken for want of a frame after it.)
                const bool settingsThere =
                    live && open && !other.weak && !other.alone &&
                    (other.kind == FrameKind::Settings || other.kind == FrameKind::Aux);
                if (other.verdict == Verdict::More && (r + 1 == b.size() || isLiveKind(byteAt(b, r + 1))))
                    innerLiveStart = true;
                if (other.verdict == Verdict::More && settingsThere)
                    innerSettingsStart = true;
                if (other.verdict != Verdict::Yes)
                    continue;
                if ((!whole && readsWholeToEnd(b, r)) || settingsThere) {
                    c.verdict = Verdict::No;
                    break;
                }
            }
            // After garbage, a live frame that holds the start of another
            // live frame not yet complete waits until that one can be judged
            // (garbage ending in 0xFE 0x18 ten bytes before a true frame
            // would otherwise swallow it), as long as the bytes kept stay
            // within their bound.
            if (c.verdict == Verdict::Yes && live && innerLiveStart && mayKeep()) {
                keep();
                return;
            }
            // Inside an answer, likewise one that holds a settings or AUX
            // frame not judged yet: a frame's end marker and a free byte
            // holding a live kind start a live frame over the next frames.
            if (c.verdict == Verdict::Yes && innerSettingsStart && mayKeep(kMaxWaitingBytes)) {
                keep();
                return;
            }
        }
        // Within a frame dropped as doubtful, no frame of ours starts but at
        // its second byte (it was read a byte early) or its last (it lost one).
        if (c.verdict == Verdict::Yes && !live && i >= droppedFrom && i < droppedTo)
            c.verdict = Verdict::No;
        if (c.verdict == Verdict::Yes && open &&
            (c.kind == FrameKind::Settings || c.kind == FrameKind::Aux)) {
            const Verdict doubt = (c.weak || c.alone) && !carriesInRange(*c.layout, b.mid(i, c.length))
                                      ? Verdict::Yes
                                      : doubtful(c, b, i, step, fence);
            if (doubt == Verdict::More) {
                // Judged once the bytes after it are in.
                keep();
                return;
            }
            if (doubt == Verdict::Yes) {
                c.verdict = Verdict::No;
                droppedFrom = i + 2;
                droppedTo = i + c.length - 1;
            }
        }
        if (c.verdict == Verdict::Yes) {
            take(c, b, i, s, d, onFrame);
            i += c.length;
            step = true;
            expireAnswer();
            continue;
        }
        if (c.verdict == Verdict::More) {
            // A start that cannot be judged yet waits for the next chunk,
            // unless a frame that can be judged whole follows within it:
            // then the start was stale.
            // A frame begun in step whose bytes are all in is not stale: only
            // what follows it is not judged yet.
            int r = i + 1;
            if (step && c.length > 0 && i + c.length <= b.size())
                r = b.size();
            while (r < b.size() && !soundAt(b, r, fence))
                ++r;
            if (r >= b.size()) {
                keep();
                return;
            }
            i = r;
            step = false;
            continue;
        }
        // Nothing starts here: look for the next frame marker.
        step = false;
        ++i;
        while (i < end && byteAt(b, i) != kFrameMarker)
            ++i;
    }
    waiting.clear();
    answerFrom = 0;
    droppedFrom = droppedTo = 0;
    inStep = step;
}

void FrameDecoder::feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                        const std::function<void(const DecodedFrame &)> &onFrame)
{
    if (chunk.isEmpty())
        return;
    if (undo.armed) {
        undo.armed = false;
        if (beganAtLastByte(chunk)) {
            for (size_t k = 0; k < kAuxFrame.fields.size(); ++k)
                kAuxFrame.fields[k].ref(s, d) = undo.values[k];
            lastSeq = undo.lastSeq;
            got = undo.got;
            inStep = false;
        }
    }
    expireAnswer();
    // A chunk that is one frame under the length rules is that frame, where
    // the answer's order allows it: the waiting bytes are settled up to it.
    // Not where the bytes before it are a frame begun in step: then the chunk
    // goes on with that frame and only looks like one of its own.
    FrameMatch whole =
        waiting.isEmpty() || !inStep ? classifyFrame(chunk, 0, Framing::Chunk) : FrameMatch::None;
    // A settings frame with a live kind in its free byte, joined with the
    // next frame's start (or with the AUX frame, which may start with any
    // byte), has a live frame's length and kind; so has an AUX frame joined
    // with the next frame. Where it is the frame the answer expects next,
    // with its end marker (for the AUX frame, its own or the next frame's)
    // and the next start in place, the stream tells (a servo output never
    // puts a settings type in byte 2 or 14, telemetry leaves bytes 10..19
    // at 0).
    if (whole == FrameMatch::Live && open) {
        const quint8 type = byteAt(chunk, 2);
        const SettingsFrameLayout *l = settingsFrameLayout(type);
        const SettingsFrameLayout *after = settingsFrameLayout(byteAt(chunk, 10));
        const bool auxAfter = l && l->seq + 1 == kAuxSeq && byteAt(chunk, 14) == kAuxType;
        if ((l && nearNext(l->seq) && byteAt(chunk, 11) == kFrameMarker &&
             (byteAt(chunk, 12) == kFrameMarker || auxAfter)) ||
            (type == kAuxType && nearNext(kAuxSeq) && byteAt(chunk, 8) == kFrameMarker &&
             (byteAt(chunk, 7) == kFrameMarker || (after && byteAt(chunk, 19) == kFrameMarker))))
            whole = FrameMatch::None;
    }
    const SettingsFrameLayout *layout = nullptr;
    FrameKind kind = FrameKind::Settings;
    if (whole == FrameMatch::Live) {
        const bool servo = byteAt(chunk, 1) == kServoKind;
        layout = servo ? &kServoFrame : &kTelemetryFrame;
        kind = servo ? FrameKind::Servo : FrameKind::Telemetry;
    } else if (whole == FrameMatch::Aux && mayTake(kAuxSeq) &&
               !(byteAt(chunk, 0) == kFrameMarker && isLiveKind(byteAt(chunk, 1))) &&
               carriesInRange(kAuxFrame, chunk) && !continuesLiveFrame()) {
        // (Only one byte of it is examined: one that starts like a live
        // frame, carries a value no transmitter sends, or follows the head of
        // a live frame may be a piece of a live frame, and the stream tells.)
        layout = &kAuxFrame;
        kind = FrameKind::Aux;
    } else if (whole == FrameMatch::Settings && open) {
        const SettingsFrameLayout *l = settingsFrameLayout(byteAt(chunk, 2));
        // (One of a type we do not know that starts like a live frame is
        // the head of one: the stream tells.)
        if (!l && !isLiveKind(byteAt(chunk, 1)) && !continuesLiveFrame()) {
            // A frame of a type we do not know changes nothing.
            if (!waiting.isEmpty())
                scan(waiting + chunk, waiting.size(), s, d, onFrame);
            waiting.clear();
            answerFrom = 0;
            droppedFrom = droppedTo = 0;
            inStep = true;
            if (onFrame)
                onFrame({FrameKind::Settings, 0});
            return;
        }
        // (One starting 0xFE 0xFE may be read from the end marker of the
        // frame before, one that lost a byte, and one after the head of a
        // live frame may be its tail, servo bytes FE xx 44..AC and the next
        // frame's start: the stream tells.)
        if (l && mayTake(l->seq) && !endsOneShort(chunk) && byteAt(chunk, 1) != kFrameMarker &&
            !continuesLiveFrame())
            layout = l;
    }
    if (layout) {
        if (!waiting.isEmpty())
            scan(waiting + chunk, waiting.size(), s, d, onFrame);
        // An AUX frame that lost a byte, joined with the next frame's 0xFE,
        // has the length of a whole one whose free last byte is 0xFE. It is
        // taken now, and taken back if the next chunk shows that a frame
        // began at its last byte.
        undo.armed = kind == FrameKind::Aux && byteAt(chunk, kAuxFrameLength - 1) == kFrameMarker;
        if (undo.armed) {
            undo.lastSeq = lastSeq;
            undo.got = got;
            for (size_t k = 0; k < undo.values.size(); ++k)
                undo.values[k] = kAuxFrame.fields[k].ref(s, d);
        }
        take({Verdict::Yes, layout, kind, chunk.size()}, chunk, 0, s, d, onFrame);
        waiting.clear();
        answerFrom = 0;
        droppedFrom = droppedTo = 0;
        inStep = true;
        expireAnswer();
        return;
    }
    scan(waiting + chunk, std::numeric_limits<int>::max(), s, d, onFrame);
    expireAnswer();
}

const std::vector<SettingsFrameLayout> &settingsFrameLayouts()
{
    return kSettingsFrames;
}

const SettingsFrameLayout *settingsFrameLayout(quint8 type)
{
    for (const SettingsFrameLayout &l : kSettingsFrames)
        if (l.type == type)
            return &l;
    return nullptr;
}

const SettingsFrameLayout &auxFrameLayout()
{
    return kAuxFrame;
}

const SettingsFrameLayout &servoFrameLayout()
{
    return kServoFrame;
}

const SettingsFrameLayout &telemetryFrameLayout()
{
    return kTelemetryFrame;
}

int beWord(const QByteArray &b, int a)
{
    const auto at = [&b](int i) { return i >= 0 && i < b.size() ? int(byteAt(b, i)) : 0; };
    return 256 * at(a) + at(a + 1);
}

void decodeFields(const SettingsFrameLayout &l, const QByteArray &frame, TxSettingsRecord &s,
                  TxLiveDataRecord &d)
{
    for (const FrameField &f : l.fields) {
        const int raw = f.be16 ? beWord(frame, f.pos) : int(byteAt(frame, f.pos));
        f.ref(s, d) = raw - f.offset;
    }
    // The alarm volts follow their tenths (types 0x99 and 0xAB only exist as settings frames).
    if (l.type == kTxAlarmType) {
        s.txAlarmVolt = s.txAlarmRaw / 10.0;
    } else if (l.type == kRxAlarmType) {
        s.extAlarmVolt = s.extAlarmRaw / 10.0;
        s.rxAlarmVolt = s.rxAlarmRaw / 10.0;
    }
}

QByteArray buildSettingsFrame(const SettingsFrameLayout &l, const TxSettingsRecord &s,
                              const TxLiveDataRecord &d)
{
    QByteArray f(kSettingsFrameLength, '\0');
    f[0] = static_cast<char>(kFrameMarker);
    f[2] = static_cast<char>(l.type);
    f[11] = static_cast<char>(kFrameMarker);
    encodeFields(l, s, d, f);
    return f;
}

QByteArray buildAuxFrame(const TxSettingsRecord &s)
{
    QByteArray f(kAuxFrameLength, '\0');
    f[0] = static_cast<char>(kFrameMarker);
    f[2] = static_cast<char>(kAuxType);
    f[7] = static_cast<char>(kFrameMarker);
    encodeFields(kAuxFrame, s, TxLiveDataRecord{}, f);
    return f;
}

QByteArray buildServoFrame(const TxLiveDataRecord &d)
{
    QByteArray f(kLiveFrameLength, '\0');
    f[0] = static_cast<char>(kFrameMarker);
    f[1] = static_cast<char>(kServoKind);
    encodeFields(kServoFrame, TxSettingsRecord{}, d, f);
    return f;
}

QByteArray buildTelemetryFrame(const TxLiveDataRecord &d)
{
    QByteArray f(kLiveFrameLength, '\0');
    f[0] = static_cast<char>(kFrameMarker);
    f[1] = static_cast<char>(kTelemetryKind);
    encodeFields(kTelemetryFrame, TxSettingsRecord{}, d, f);
    return f;
}
