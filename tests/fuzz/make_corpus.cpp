// Writes the seed inputs of the fuzz targets:
//   make_fuzz_corpus <dir>   ->  <dir>/decoder/*, <dir>/fileload/*, <dir>/answers/*
// Decoder inputs are sequences of pieces, each one length byte followed by
// that many bytes (one received chunk). The frames come from the frame
// builders, for the start store, the factory store and a random in-range one;
// file inputs are the three lines of those stores and damaged variants; the
// answer inputs are random bytes (each two of them one choice of the stream).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <cstdio>
#include <vector>

#include "link/frames.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "support/stores.h"

namespace {

using Chunks = std::vector<QByteArray>;

QByteArray pieces(const Chunks &chunks)
{
    QByteArray out;
    for (const QByteArray &c : chunks) {
        out.append(char(c.size() & 0x3F));
        out.append(c.left(0x3F));
    }
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The frames a READ brings, in sequence order (AUX as number 7).
Chunks readFrames(const TxSettingsRecord &s, const TxLiveDataRecord &d)
{
    Chunks out;
    for (const SettingsFrameLayout &l : settingsFrameLayouts()) {
        if (l.seq == kAuxSeq + 1)
            out.push_back(buildAuxFrame(s));
        out.push_back(buildSettingsFrame(l, s, d));
    }
    return out;
}

QByteArray fileOf(TxSettingsRecord s)
{
    s.txAlarmRaw = voltsToTenths(s.txAlarmVolt);
    s.rxAlarmRaw = voltsToTenths(s.rxAlarmVolt);
    s.extAlarmRaw = voltsToTenths(s.extAlarmVolt);
    return buildLine(LineKind::S, s) + buildLine(LineKind::G, s) + buildLine(LineKind::H, s);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString dec = root + "/decoder/", fil = root + "/fileload/";
    QDir().mkpath(dec);
    QDir().mkpath(fil);
    const QString ans = root + "/answers/";
    QDir().mkpath(ans);

    TxSettingsRecord factory = startSettings();
    restData(factory);
    restData2(factory);
    QRandomGenerator g(20261208);
    struct Named {
        const char *name;
        TxSettingsRecord s;
    };
    const std::vector<Named> stores = {{"start", startSettings()},
                                       {"factory", factory},
                                       {"random1", randomInRangeSettings(g)},
                                       {"random2", randomInRangeSettings(g)}};
    TxLiveDataRecord live = startLiveData();
    live.servo[0] = 1500;
    live.servo[7] = 2000;
    live.txVolt = 1180;
    live.rxRssi = 72;
    live.rxVolt = 50;
    live.extVolt = 118;
    live.txVersion = 46;

    bool ok = true;
    for (const Named &n : stores) {
        const QString tag = QString::fromLatin1(n.name);
        const Chunks frames = readFrames(n.s, live);
        // Every frame as a chunk of its own, and the whole READ one by one.
        for (size_t i = 0; i < frames.size(); ++i)
            ok &=
                writeFile(dec + tag + QString("-frame%1").arg(i + 1, 2, 10, QChar('0')), pieces({frames[i]}));
        ok &= writeFile(dec + tag + "-read", pieces(frames));
        // Two frames joined in one chunk, and each frame split in two chunks.
        Chunks joined, split;
        for (size_t i = 0; i + 1 < frames.size(); i += 2)
            joined.push_back(frames[i] + frames[i + 1]);
        for (size_t i = 0; i < frames.size(); ++i) {
            const int cut = 1 + int(i % (frames[i].size() - 1));
            split.push_back(frames[i].left(cut));
            split.push_back(frames[i].mid(cut));
        }
        ok &= writeFile(dec + tag + "-read-joined", pieces(joined));
        ok &= writeFile(dec + tag + "-read-split", pieces(split));
        // Live frames around the settings, as the stream looks during a READ.
        Chunks mixed;
        for (const QByteArray &f : frames) {
            mixed.push_back(buildServoFrame(live));
            mixed.push_back(f);
            mixed.push_back(buildTelemetryFrame(live));
        }
        ok &= writeFile(dec + tag + "-read-live", pieces(mixed));
        ok &= writeFile(dec + tag + "-live-joined",
                        pieces({buildServoFrame(live) + buildTelemetryFrame(live), buildServoFrame(live)}));

        // Files: as Save writes them, and damaged variants.
        const QByteArray file = fileOf(n.s);
        ok &= writeFile(fil + tag, file);
        ok &= writeFile(fil + tag + "-lower", file.toLower());
        QByteArray breaks = file;
        breaks.insert(162, '\n');
        breaks.insert(81, '\n');
        breaks.append('\n');
        ok &= writeFile(fil + tag + "-linebreaks", breaks);
        ok &= writeFile(fil + tag + "-161", file.left(161));
        ok &= writeFile(fil + tag + "-200", file.left(200));
        QByteArray badY = file;
        badY[80] = 'Q';
        ok &= writeFile(fil + tag + "-bad-end", badY);
        QByteArray zz = file;
        zz[9] = 'Z';
        zz[10] = 'Z';
        ok &= writeFile(fil + tag + "-zz", zz);
        ok &= writeFile(fil + tag + "-trailing", file + QByteArray(40, '\xFF'));
    }
    QRandomGenerator choices(20261209);
    for (int i = 0; i < 16; ++i) {
        QByteArray bytes(256 << (i % 4), '\0');
        for (char &c : bytes)
            c = char(choices.bounded(256));
        ok &= writeFile(ans + QString("random%1").arg(i + 1, 2, 10, QChar('0')), bytes);
    }
    return ok ? 0 : 1;
}
