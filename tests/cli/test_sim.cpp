#include <QtTest>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/decoder.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "sim/simprotocol.h"
#include "sim/virtualtransmitter.h"
#include "support/waiting.h"

// The virtual transmitter's own logic: how it takes the tool's bytes apart
// and what it sends back.

namespace {

const QByteArray kS = "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y";
const QByteArray kG = "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z";
const QByteArray kH = "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void takesTokens_data();
    void takesTokens();
    void linesReadIntoTheModel();
    void dumpIsTheModelInSequenceOrder();
    void demoModelSurvivesTheTool();
    void liveValuesStayInRange();
    void cutStreamStartsAfreshAfterOk();
};

void TestSim::takesTokens_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks"); // fed one after the other
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QByteArray>("left"); // still waiting for more

    using L = QList<QByteArray>;
    QTest::newRow("OK") << L{"OK"} << QStringList{"OK"} << 0 << QByteArray();
    QTest::newRow("commands back to back")
        << L{"OKRRWWWDISWWW"} << QStringList{"OK", "RR", "WWW", "DIS", "WWW"} << 0 << QByteArray();
    QTest::newRow("command split") << L{"W", "W", "WD", "I", "S"} << QStringList{"WWW", "DIS"} << 0
                                   << QByteArray();
    QTest::newRow("command prefix waits") << L{"WWWWW"} << QStringList{"WWW"} << 0 << QByteArray("WW");
    QTest::newRow("unknown bytes dropped") << L{"xOK\x01\xFEz"} << QStringList{"OK"} << 4 << QByteArray();
    QTest::newRow("broken command") << L{"WWxRZR"} << QStringList{} << 5 << QByteArray("R");
    QTest::newRow("three lines and WWW")
        << L{kS + kG + "WWW" + kH} << QStringList{"S", "G", "WWW", "H"} << 0 << QByteArray();
    QTest::newRow("line in pieces") << L{kG.left(1), kG.mid(1, 40), kG.mid(41, 39), kG.right(1) + "RR"}
                                    << QStringList{"G", "RR"} << 0 << QByteArray();
    QTest::newRow("line waits for its tail") << L{kH.left(80)} << QStringList{} << 0 << kH.left(80);
    QByteArray badTail = kS;
    badTail[80] = 'Z';
    QTest::newRow("wrong tail: letter dropped, rest rescanned")
        << L{badTail + "OK"} << QStringList{"OK"} << 81 << QByteArray();
    QTest::newRow("cut-off line before WWW")
        << L{kS.left(30) + "WWW"} << QStringList{"WWW"} << 30 << QByteArray();
    QTest::newRow("letter of a line inside a command stream")
        << L{"SWWWGOKH"} << QStringList{"WWW", "OK"} << 2 << QByteArray("H");
    QByteArray lower = kG;
    lower[20] = 'c';
    QTest::newRow("lower-case digit is no line") << L{lower + kS} << QStringList{"S"} << 81 << QByteArray();
}

void TestSim::takesTokens()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, tokens);
    QFETCH(int, skipped);
    QFETCH(QByteArray, left);

    QByteArray buffer;
    std::vector<SimToken> out;
    int dropped = 0;
    for (const QByteArray &c : chunks) {
        buffer += c;
        dropped += takeSimTokens(buffer, out);
    }
    QStringList names;
    for (const SimToken &t : out)
        names << simTokenName(t);
    QCOMPARE(names, tokens);
    QCOMPARE(dropped, skipped);
    QCOMPARE(buffer, left);
    for (const SimToken &t : out)
        if (t.kind == SimTokenKind::Line)
            QCOMPARE(t.text.size(), kLineLength);
}

void TestSim::linesReadIntoTheModel()
{
    QByteArray buffer = kS + kG + kH;
    std::vector<SimToken> out;
    QCOMPARE(takeSimTokens(buffer, out), 0);
    QCOMPARE(int(out.size()), 3);
    QCOMPARE(out[0].text, kS);
    QCOMPARE(out[1].text, kG);
    QCOMPARE(out[2].text, kH);
    QCOMPARE(out[2].line, LineKind::H);
}

void TestSim::dumpIsTheModelInSequenceOrder()
{
    const TxSettingsRecord model = demoSettings();
    TxLiveDataRecord live = startLiveData();
    live.txVersion = kDemoTxVersion;
    const std::vector<QByteArray> frames = settingsDump(model, live);
    QCOMPARE(int(frames.size()), 19);

    // Each frame on its own, the line quiet after it, as the tool decodes
    // it: the answer is taken whole once its last frame is in.
    TxSettingsRecord s = startSettings();
    TxLiveDataRecord d = startLiveData();
    FrameDecoder decoder;
    decoder.openAnswer(); // "RR" went out
    QList<int> seqs;
    for (const QByteArray &f : frames) {
        QVERIFY(f.size() == kSettingsFrameLength || f.size() == kAuxFrameLength);
        QCOMPARE(quint8(f[0]), kFrameMarker);
        QCOMPARE(quint8(f[f.size() - 1]), kFrameMarker);
        decoder.feed(f, s, d, [&](const DecodedFrame &df) { seqs << df.seq; });
        decoder.quiet(s, d, [&](const DecodedFrame &df) { seqs << df.seq; });
        QVERIFY(decoder.pending().isEmpty());
    }
    QCOMPARE(decoder.setsTaken(), quint64(1));
    QList<int> expected;
    for (int i = 1; i <= 19; ++i)
        expected << i;
    QCOMPARE(seqs, expected);
    QCOMPARE(frames[6].size(), kAuxFrameLength); // AUX is number 7
    QCOMPARE(quint8(frames[6][2]), kAuxType);

    // Everything but the D/R selection and its mirrors, which no frame carries.
    TxSettingsRecord want = model;
    want.drCh = s.drCh;
    want.drUpEdit = s.drUpEdit;
    want.drDownEdit = s.drDownEdit;
    want.drRateEdit = s.drRateEdit;
    want.drExpEdit = s.drExpEdit;
    QVERIFY(s == want);
    QCOMPARE(d.txVersion, kDemoTxVersion);
}

void TestSim::demoModelSurvivesTheTool()
{
    // The model is one the window can show and the lines can carry: through
    // the three lines and back it is unchanged, and it differs from both the
    // start and the factory settings in every group.
    const TxSettingsRecord m = demoSettings();
    TxSettingsRecord back = startSettings();
    readLine(LineKind::S, QString::fromLatin1(buildLine(LineKind::S, m)), back);
    readLine(LineKind::G, QString::fromLatin1(buildLine(LineKind::G, m)), back);
    readLine(LineKind::H, QString::fromLatin1(buildLine(LineKind::H, m)), back);
    back.drRateEdit = m.drRateEdit;
    back.drExpEdit = m.drExpEdit;
    QVERIFY(back == m);
    TxSettingsRecord factory = startSettings();
    restData(factory);
    restData2(factory);
    for (LineKind k : {LineKind::S, LineKind::G, LineKind::H}) {
        QVERIFY(buildLine(k, m) != buildLine(k, factory));
        QVERIFY(buildLine(k, m) != buildLine(k, startSettings()));
    }
}

void TestSim::liveValuesStayInRange()
{
    TxLiveDataRecord d = startLiveData();
    QSet<int> seen;
    for (int i = 0; i < 2000; ++i) {
        moveLiveValues(d, i * 0.013);
        for (int n = 0; n < 8; ++n) {
            QVERIFY(d.servo[n] >= 1000 && d.servo[n] <= 2000);
            seen.insert(d.servo[n]);
        }
        QVERIFY(d.txVolt > 1150 && d.txVolt < 1210);
        QVERIFY(d.rxRssi >= 0 && d.rxRssi <= 100);
    }
    QVERIFY(seen.contains(1000) && seen.contains(2000) && seen.contains(1500));
}

// With --cut the stream goes out in random pieces; "DIS" ends it whole: the
// tail of the last frame that was not cut yet is dropped with it, so the
// first bytes after the next "OK" are a new frame's, not an old frame's end.
void TestSim::cutStreamStartsAfreshAfterOk()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    tx.setMotion(false);
    tx.setCut(24);
    tx.setSeed(3);
    const int fd = ::open(QFile::encodeName(tx.slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios raw;
    QVERIFY(::tcgetattr(fd, &raw) == 0);
    ::cfmakeraw(&raw);
    QVERIFY(::tcsetattr(fd, TCSANOW, &raw) == 0);
    QByteArray got;
    qint64 total = 0;
    auto readSome = [&] {
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0; total += n)
            got.append(buf, int(n));
    };
    for (int round = 0; round < 20; ++round) {
        got.clear();
        QVERIFY(::write(fd, "OK", 2) == 2);
        QVERIFY(waitFor([&] { return readSome(), got.size() >= 100 + round * 7; }, 10000));
        QVERIFY2(got.startsWith(buildServoFrame(tx.liveData())),
                 qPrintable(QString("round %1: %2").arg(round).arg(QString(got.left(24).toHex(' ')))));
        QVERIFY(::write(fd, "DIS", 3) == 3);
        QVERIFY(waitFor([&] { return tx.receivedCount("DIS") > round; }, 10000));
        QVERIFY(waitFor([&] { return readSome(), total == tx.bytesWritten(); }, 10000));
    }
    ::close(fd);
}

QTEST_MAIN(TestSim)
#include "test_sim.moc"
