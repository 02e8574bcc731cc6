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

} // namespace

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
