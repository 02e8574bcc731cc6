#include "sim/simprotocol.h"

#include <cmath>

#include "link/frames.h"

namespace {

struct Command {
    const char *text;
    SimTokenKind kind;
};

const Command kCommands[] = {
    {"OK", SimTokenKind::Ok},
    {"DIS", SimTokenKind::Dis},
    {"RR", SimTokenKind::ReadRequest},
    {"WWW", SimTokenKind::Www},
};

struct LineShape {
    char letter;
    LineKind kind;
    const char *tail;
};

const LineShape kLines[] = {
    {'S', LineKind::S, "Y"},
    {'G', LineKind::G, "6D2Z"},
    {'H', LineKind::H, "0000X"},
};

const LineShape *lineShape(char letter)
{
    for (const LineShape &l : kLines)
        if (l.letter == letter)
            return &l;
    return nullptr;
}

bool isHeadChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

enum class Match { No, Partial, Whole };

// Does a line of shape l start at the front of b?
Match matchLine(const LineShape &l, const QByteArray &b)
{
    const int tailLength = int(qstrlen(l.tail));
    const int headEnd = kLineLength - tailLength;
    const int n = qMin(b.size(), kLineLength);
    for (int i = 1; i < n; ++i) {
        if (i < headEnd ? !isHeadChar(b[i]) : b[i] != l.tail[i - headEnd])
            return Match::No;
    }
    return b.size() >= kLineLength ? Match::Whole : Match::Partial;
}

Match matchCommand(const char *text, const QByteArray &b)
{
    const int len = int(qstrlen(text));
    const int n = qMin(b.size(), len);
    if (qstrncmp(b.constData(), text, uint(n)) != 0)
        return Match::No;
    return b.size() >= len ? Match::Whole : Match::Partial;
}

} // namespace

QString simTokenName(const SimToken &t)
{
    switch (t.kind) {
    case SimTokenKind::Ok:
        return "OK";
    case SimTokenKind::Dis:
        return "DIS";
    case SimTokenKind::ReadRequest:
        return "RR";
    case SimTokenKind::Www:
        return "WWW";
    case SimTokenKind::Line:
        break;
    }
    switch (t.line) {
    case LineKind::S:
        return "S";
    case LineKind::G:
        return "G";
    case LineKind::H:
        break;
    }
    return "H";
}

int takeSimTokens(QByteArray &buffer, std::vector<SimToken> &out)
{
    int skipped = 0;
    int at = 0;
    while (at < buffer.size()) {
        // A view of the bytes not yet taken (copied out only as whole tokens).
        const QByteArray rest = QByteArray::fromRawData(buffer.constData() + at, buffer.size() - at);
        bool partial = false;
        bool taken = false;
        if (const LineShape *l = lineShape(rest[0])) {
            const Match m = matchLine(*l, rest);
            if (m == Match::Whole) {
                out.push_back({SimTokenKind::Line, l->kind, QByteArray(rest.constData(), kLineLength)});
                at += kLineLength;
                taken = true;
            } else if (m == Match::Partial) {
                partial = true;
            }
        }
        for (const Command &c : kCommands) {
            if (taken)
                break;
            const Match m = matchCommand(c.text, rest);
            if (m == Match::Whole) {
                out.push_back({c.kind, LineKind::S, QByteArray(c.text)});
                at += int(qstrlen(c.text));
                taken = true;
            } else if (m == Match::Partial) {
                partial = true;
            }
        }
        if (taken)
            continue;
        if (partial)
            break;
        ++at;
        ++skipped;
    }
    buffer.remove(0, at);
    return skipped;
}

void randomizeFreeBytes(QByteArray &frame, QRandomGenerator &random)
{
    const auto fill = [&](const auto &positions) {
        for (int p : positions)
            frame[p] = char(random.bounded(256));
    };
    if (frame.size() == kSettingsFrameLength)
        fill(kSettingsFreeBytes);
    else if (frame.size() == kAuxFrameLength)
        fill(kAuxFreeBytes);
}

std::vector<QByteArray> settingsDump(const TxSettingsRecord &s, const TxLiveDataRecord &d)
{
    std::vector<QByteArray> frames;
    bool auxSent = false;
    for (const SettingsFrameLayout &l : settingsFrameLayouts()) {
        if (!auxSent && l.seq > kAuxSeq) {
            frames.push_back(buildAuxFrame(s));
            auxSent = true;
        }
        frames.push_back(buildSettingsFrame(l, s, d));
    }
    if (!auxSent)
        frames.push_back(buildAuxFrame(s));
    return frames;
}

void moveLiveValues(TxLiveDataRecord &d, double seconds)
{
    constexpr double kTwoPi = 6.283185307179586;
    // Sticks first (fast, a pilot flying), then the knobs and switches (slow).
    static const double periods[8] = {2.3, 3.1, 5.7, 2.9, 7.0, 9.0, 11.0, 13.0};
    static const double phases[8] = {0.0, 1.3, 4.7, 2.1, 0.5, 3.3, 5.9, 1.1};
    for (int i = 0; i < 8; ++i)
        d.servo[i] = 1500 + int(std::lround(500.0 * std::sin(kTwoPi * seconds / periods[i] + phases[i])));
    d.txVolt = 1180 + int(std::lround(12.0 * std::sin(kTwoPi * seconds / 60.0)));
    d.rxVolt = 50 + int(std::lround(1.0 * std::sin(kTwoPi * seconds / 17.0)));
    d.extVolt = 111 + int(std::lround(2.0 * std::sin(kTwoPi * seconds / 23.0)));
    d.rxRssi = 48 + int(std::lround(8.0 * std::sin(kTwoPi * seconds / 7.0)));
    d.telemWord3 = 0;
    d.telemWord4 = 0;
}

TxSettingsRecord demoSettings()
{
    TxSettingsRecord s = startSettings();
    const int rev[8] = {0, 1, 1, 0, 0, 1, 0, 0};
    const int sub[8] = {4, -6, 0, 3, 0, -2, 0, 0};
    const int lepa[8] = {100, 110, 96, 100, 90, 96, 96, 96};
    const int repa[8] = {105, 110, 96, 98, 90, 96, 96, 96};
    const int fs[8] = {50, 45, 0, 50, 50, 50, 50, 50};
    const int delay[8] = {100, 100, 100, 100, 100, 100, 70, 100};
    for (int i = 0; i < 8; ++i) {
        s.rev[i] = rev[i];
        s.sub[i] = sub[i];
        s.lepa[i] = lepa[i];
        s.repa[i] = repa[i];
        s.fs[i] = fs[i];
        s.delay[i] = delay[i];
    }
    const int aux[4] = {0, 1, 2, 3};
    for (int i = 0; i < 4; ++i)
        s.aux[i] = aux[i];
    s.txAlarmRaw = 105;
    s.txAlarmVolt = 10.5;
    s.stkMode = 2;

    s.attiM = 1;
    const int atti[6] = {10, 25, 40, 60, 75, 90};
    for (int i = 0; i < 6; ++i)
        s.atti[i] = atti[i];
    s.eleMix = 0;
    const int elev[6] = {90, 90, 100, -100, 100, 100};
    for (int i = 0; i < 6; ++i)
        s.elev[i] = elev[i];
    s.ruMix = 1;
    const int ru[4] = {60, -60, 55, 55};
    for (int i = 0; i < 4; ++i)
        s.ru[i] = ru[i];
    s.prm[0] = {2, 0, 3, 0, 20, -20}; // aileron to rudder
    s.prm[1] = {1, 2, 1, 0, -8, 0};   // throttle to elevator, switched off
    s.prm[2] = {2, 4, 1, -5, 15, 10}; // flaps to elevator
    s.prm[3] = {0, 1, 5, 0, 0, 0};

    s.drMix = 1;
    s.drSw = 0;
    s.drPosi = 0;
    const int drUp[4] = {100, 100, 100, 100};
    const int drDown[4] = {70, 70, 100, 75};
    const int expUp[4] = {10, 10, 0, 5};
    const int expDown[4] = {30, 25, 0, 20};
    for (int i = 0; i < 4; ++i) {
        s.drUp[i] = drUp[i];
        s.drDown[i] = drDown[i];
        s.drExpUp[i] = expUp[i];
        s.drExpDown[i] = expDown[i];
    }
    s.drCh = 0;
    s.drUpEdit = s.drUp[0];
    s.drDownEdit = s.drDown[0];
    s.drRateEdit = s.drUp[0];
    s.drExpEdit = s.drExpUp[0];

    s.thcureMix = 1;
    s.thcureOpt = 0;
    const int th[7] = {0, 20, 38, 55, 70, 85, 100};
    for (int i = 0; i < 7; ++i)
        s.thcure[i] = th[i];
    s.rxAlarmRaw = 46;
    s.rxAlarmVolt = 4.6;
    s.extAlarmRaw = 108;
    s.extAlarmVolt = 10.8;
    s.rssiAlarm = -85;
    return s;
}
