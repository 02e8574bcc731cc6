#include "link/frames.h"

#include <algorithm>

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

int frameLength(FrameMatch m)
{
    switch (m) {
    case FrameMatch::Live:
        return kLiveFrameLength;
    case FrameMatch::Aux:
        return kAuxFrameLength;
    case FrameMatch::Settings:
        return kSettingsFrameLength;
    default:
        return 0;
    }
}

bool isFrame(FrameMatch m)
{
    return frameLength(m) > 0;
}

using FrameSink = std::function<void(const DecodedFrame &)>;

void store(const SettingsFrameLayout &l, FrameKind kind, const QByteArray &frame, TxSettingsRecord &s,
           TxLiveDataRecord &d, const FrameSink &onFrame)
{
    decodeFields(l, frame, s, d);
    if (l.seq > 0)
        d.readFlag = l.seq;
    if (onFrame)
        onFrame({kind, l.seq});
}

// Stores the frame of kind m that starts at b[i].
void storeFrame(FrameMatch m, const QByteArray &b, int i, TxSettingsRecord &s, TxLiveDataRecord &d,
                const FrameSink &onFrame)
{
    const QByteArray frame = b.mid(i, frameLength(m));
    switch (m) {
    case FrameMatch::Live:
        if (byteAt(frame, 1) == kServoKind)
            store(kServoFrame, FrameKind::Servo, frame, s, d, onFrame);
        else
            store(kTelemetryFrame, FrameKind::Telemetry, frame, s, d, onFrame);
        break;
    case FrameMatch::Aux:
        store(kAuxFrame, FrameKind::Aux, frame, s, d, onFrame);
        break;
    case FrameMatch::Settings:
        if (const SettingsFrameLayout *l = settingsFrameLayout(byteAt(frame, 2)))
            store(*l, FrameKind::Settings, frame, s, d, onFrame);
        else if (onFrame)
            onFrame({FrameKind::Settings, 0}); // an unknown type changes no field
        break;
    default:
        break;
    }
}

// The first index >= from at which a whole frame starts in the stream, or -1.
int nextFrame(const QByteArray &b, int from)
{
    for (int j = from; j < b.size(); ++j)
        if (isFrame(classifyFrame(b, j, Framing::Stream)))
            return j;
    return -1;
}

} // namespace

FrameMatch classifyFrame(const QByteArray &b, int i, Framing framing)
{
    const int n = b.size() - i;
    const auto at = [&b, i](int k) { return byteAt(b, i + k); };
    if (framing == Framing::Chunk) {
        // One chunk, one frame: its length picks the kind, and only the bytes
        // the length rules name are examined.
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
    // A byte stream: a frame starts at 0xFE, the byte after it tells a live
    // frame, and settings and AUX frames must carry their end marker.
    if (n < 1 || at(0) != kFrameMarker)
        return FrameMatch::None;
    if (n < 2)
        return FrameMatch::Partial;
    if (isLiveKind(at(1)))
        return n >= kLiveFrameLength ? FrameMatch::Live : FrameMatch::Partial;
    if (n < 3)
        return FrameMatch::Partial;
    const quint8 type = at(2);
    if (type == kAuxType) {
        // The AUX frame and settings frame 17 share the type byte; the AUX
        // frame ends at byte 7, frame 17 has a curve point (0..100) there.
        if (n < kAuxFrameLength)
            return FrameMatch::Partial;
        if (at(7) == kFrameMarker)
            return FrameMatch::Aux;
    } else if (!settingsFrameLayout(type)) {
        return FrameMatch::None;
    }
    if (n < kSettingsFrameLength)
        return FrameMatch::Partial;
    return at(11) == kFrameMarker ? FrameMatch::Settings : FrameMatch::None;
}

void FrameDecoder::feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                        const std::function<void(const DecodedFrame &)> &onFrame)
{
    if (chunk.isEmpty())
        return;
    // A chunk that is one frame by the length rules is that frame, whatever
    // waits from before: the waiting bytes were a fragment that never got its
    // rest.
    const FrameMatch whole = classifyFrame(chunk, 0, Framing::Chunk);
    if (whole != FrameMatch::None) {
        waiting.clear();
        storeFrame(whole, chunk, 0, s, d, onFrame);
        return;
    }

    QByteArray b;
    if (waiting.isEmpty()) {
        b = chunk;
    } else {
        b = waiting + chunk;
        waiting.clear();
        // When the chunk begins with a frame of its own, the waiting bytes
        // give way unless, together with the chunk, they make a frame with
        // its end marker that is followed by nothing or by the next frame's
        // 0xFE. So a stale fragment never swallows a good frame.
        if (isFrame(classifyFrame(chunk, 0, Framing::Stream))) {
            const FrameMatch m = classifyFrame(b, 0, Framing::Stream);
            const int len = frameLength(m);
            const bool marked = m == FrameMatch::Settings || m == FrameMatch::Aux;
            if (!marked || (len < b.size() && byteAt(b, len) != kFrameMarker))
                b = chunk;
        }
    }

    int i = 0;
    while (i < b.size()) {
        const FrameMatch m = classifyFrame(b, i, Framing::Stream);
        if (m == FrameMatch::None) {
            ++i;
        } else if (m == FrameMatch::Partial) {
            // A whole frame further on means this start is stale.
            const int j = nextFrame(b, i + 1);
            if (j < 0) {
                waiting = b.mid(i);
                return;
            }
            i = j;
        } else {
            storeFrame(m, b, i, s, d, onFrame);
            i += frameLength(m);
        }
    }
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
