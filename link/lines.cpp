#include "link/lines.h"

#include <algorithm>
#include <cmath>
#include <vector>

QString lineS = "S00100000787878787878787870707070707070707070707070707070424210424242424213027E2Y";
QString lineG = "G41E2D3C4855680DCDCDCDCDC1409632A696674747474747474740074746474647464640135006D2Z";
QString lineH = "H0000000000000000000000000000000000000000000000000000000000000000000000000000000X";

namespace {

// How a field is written into a line.
enum class Enc {
    D,   // one decimal digit
    X,   // value + k as two upper-case hex digits
    D3,  // three decimal digits
    Lit, // fixed text, not read back
};

using LineRef = int &(*)(TxSettingsRecord &);

struct LineField {
    LineRef ref; // nullptr for fixed text
    Enc enc;
    int k;            // the offset of X fields
    const char *lit;  // the text of Lit fields
    int lower, upper; // the values the field can carry in its width
};

struct LineLayout {
    std::vector<LineField> head; // in position order, starting with the line letter
    const char *tail;
};

// clang-format off
#define R(member) [](TxSettingsRecord &s) -> int & { return s.member; }
// One decimal digit 0..9; two hexadecimal digits 0x10..0xFF for value + k;
// three decimal digits 0..999.
#define D(member) {R(member), Enc::D, 0, nullptr, 0, 9}
#define X(member, k) {R(member), Enc::X, k, nullptr, 0x10 - (k), 0xFF - (k)}
#define D3(member) {R(member), Enc::D3, 0, nullptr, 0, 999}
#define LIT(text) {nullptr, Enc::Lit, 0, text, 0, 0}
#define D8(arr) D(arr[0]), D(arr[1]), D(arr[2]), D(arr[3]), D(arr[4]), D(arr[5]), D(arr[6]), D(arr[7])
#define X4(arr, k) X(arr[0], k), X(arr[1], k), X(arr[2], k), X(arr[3], k)
#define X8(arr, k) X4(arr, k), X(arr[4], k), X(arr[5], k), X(arr[6], k), X(arr[7], k)

// The comments give the first position of each field.
const LineLayout kLineS = {{
    LIT("S"),               //  0
    D8(rev),                //  1..8
    X8(sub, 120),           //  9..24
    X8(lepa, 16),           // 25..40
    X8(repa, 16),           // 41..56
    X8(fs, 16),             // 57..72
    D(aux[0]), D(aux[1]),   // 73, 74
    D(aux[2]), D(aux[3]),   // 75, 76
    X(txAlarmRaw, 16),      // 77..78
    D(stkMode),             // 79
}, "Y"};

// Elevon values go in the order 1, 5, 2, 6, 3, 4; the members of mixes 1 and
// 2 interleave.
const LineLayout kLineG = {{
    LIT("G"),               //  0
    D(attiM),               //  1
    X(atti[0], 16), X(atti[1], 16), X(atti[2], 16),  // 2..7
    X(atti[3], 16), X(atti[4], 16), X(atti[5], 16),  // 8..13
    D(eleMix),              // 14
    X(elev[0], 120),        // 15
    X(elev[4], 120),        // 17
    X(elev[1], 120),        // 19
    X(elev[5], 120),        // 21
    X(elev[2], 120),        // 23
    X(elev[3], 120),        // 25
    D(ruMix),               // 27
    X4(ru, 116),            // 28..35
    LIT("6"),               // 36
    X8(delay, 16),          // 37..52
    D(drMix),               // 53
    D(drCh),                // 54
    X(drUpEdit, 16),        // 55
    X(drDownEdit, 16),      // 57
    X(prm[0].data2, 116),   // 59
    X(prm[1].data2, 116),   // 61
    X(prm[0].data3, 116),   // 63
    X(prm[1].data3, 116),   // 65
    X(prm[0].data1, 116),   // 67
    X(prm[1].data1, 116),   // 69
    D(prm[0].master),       // 71
    D(prm[1].master),       // 72
    D(prm[0].slave),        // 73
    D(prm[1].slave),        // 74
    D(prm[0].mix),          // 75
    D(prm[1].mix),          // 76
}, "6D2Z"};

// Mixes 3 and 4 one after the other: mode, master, slave, offset, up, down.
const LineLayout kLineH = {{
    LIT("H"),               //  0
    X4(drUp, 16),           //  1..8
    X4(drDown, 16),         //  9..16
    D(prm[2].mix),          // 17
    D(prm[2].master),       // 18
    D(prm[2].slave),        // 19
    X(prm[2].data1, 116),   // 20
    X(prm[2].data2, 116),   // 22
    X(prm[2].data3, 116),   // 24
    D(prm[3].mix),          // 26
    D(prm[3].master),       // 27
    D(prm[3].slave),        // 28
    X(prm[3].data1, 116),   // 29
    X(prm[3].data2, 116),   // 31
    X(prm[3].data3, 116),   // 33
    D(thcureMix),           // 35
    D(thcureOpt),           // 36
    X(thcure[0], 16), X(thcure[1], 16), X(thcure[2], 16), X(thcure[3], 16),  // 37..44
    X(thcure[4], 16), X(thcure[5], 16), X(thcure[6], 16),                    // 45..50
    D(drPosi),              // 51
    X4(drExpUp, 116),       // 52..59
    X4(drExpDown, 116),     // 60..67
    D3(extAlarmRaw),        // 68..70
    X(rssiAlarm, 120),      // 71..72
    D(drSw),                // 73
    X(rxAlarmRaw, 16),      // 74..75
}, "0000X"};
// clang-format on

#undef X8
#undef X4
#undef D8
#undef LIT
#undef D3
#undef X
#undef D
#undef R

const LineLayout &layoutOf(LineKind kind)
{
    switch (kind) {
    case LineKind::S:
        return kLineS;
    case LineKind::G:
        return kLineG;
    case LineKind::H:
    default:
        return kLineH;
    }
}

int widthOf(const LineField &f)
{
    switch (f.enc) {
    case Enc::D:
        return 1;
    case Enc::X:
        return 2;
    case Enc::D3:
        return 3;
    case Enc::Lit:
    default:
        return int(qstrlen(f.lit));
    }
}

const char kHex[] = "0123456789ABCDEF";

// A field's value, clamped to what its encoding can carry so that it always
// takes exactly its width.
void appendField(QByteArray &out, const LineField &f, int value)
{
    if (f.enc != Enc::Lit)
        value = std::clamp(value, f.lower, f.upper);
    switch (f.enc) {
    case Enc::D:
        out += char('0' + value);
        break;
    case Enc::X: {
        const int v = value + f.k;
        out += kHex[v >> 4];
        out += kHex[v & 0xF];
        break;
    }
    case Enc::D3: {
        const int v = value;
        out += char('0' + v / 100 % 10);
        out += char('0' + v / 10 % 10);
        out += char('0' + v % 10);
        break;
    }
    case Enc::Lit:
        out += f.lit;
        break;
    }
}

// A field's text as a base-16 number; text that is not one reads as 0.
int hexValue(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 16);
    return ok ? v : 0;
}

} // namespace

void setRawAlarms(LineKind kind, TxSettingsRecord &s)
{
    if (kind == LineKind::S) {
        s.txAlarmRaw = voltsToTenths(s.txAlarmVolt);
    } else if (kind == LineKind::H) {
        s.rxAlarmRaw = voltsToTenths(s.rxAlarmVolt);
        s.extAlarmRaw = voltsToTenths(s.extAlarmVolt);
    }
}

bool lineFieldRange(const TxSettingsRecord &s, const int &member, int *lower, int *upper)
{
    TxSettingsRecord &record = const_cast<TxSettingsRecord &>(s); // the refs only point
    for (LineKind kind : {LineKind::S, LineKind::G, LineKind::H})
        for (const LineField &f : layoutOf(kind).head)
            if (f.ref && &f.ref(record) == &member) {
                *lower = f.lower;
                *upper = f.upper;
                return true;
            }
    return false;
}

QByteArray buildLine(LineKind kind, const TxSettingsRecord &s)
{
    const LineLayout &l = layoutOf(kind);
    TxSettingsRecord copy = s; // the refs hand out mutable references
    QByteArray out;
    out.reserve(kLineLength);
    for (const LineField &f : l.head)
        appendField(out, f, f.ref ? f.ref(copy) : 0);
    out += l.tail;
    return out;
}

void readLine(LineKind kind, const QString &line, TxSettingsRecord &s)
{
    const LineLayout &l = layoutOf(kind);
    int pos = 0;
    for (const LineField &f : l.head) {
        const int width = widthOf(f);
        if (f.ref) {
            int &field = f.ref(s);
            switch (f.enc) {
            case Enc::D:
                field = hexValue(line.mid(pos, width));
                break;
            case Enc::X:
                field = hexValue(line.mid(pos, width)) - f.k;
                break;
            case Enc::D3:
                field = 100 * hexValue(line.mid(pos, 1)) + 10 * hexValue(line.mid(pos + 1, 1)) +
                        hexValue(line.mid(pos + 2, 1));
                break;
            case Enc::Lit:
                break;
            }
            // The volts follow their tenths at once.
            if (&field == &s.txAlarmRaw)
                s.txAlarmVolt = s.txAlarmRaw / 10.0;
            else if (&field == &s.extAlarmRaw)
                s.extAlarmVolt = s.extAlarmRaw / 10.0;
            else if (&field == &s.rxAlarmRaw)
                s.rxAlarmVolt = s.rxAlarmRaw / 10.0;
        }
        pos += width;
    }
}
