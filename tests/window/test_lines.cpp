#include <QMetaObject>
#include <QRandomGenerator>
#include <QtTest>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "app/mainwindow.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "support/stores.h"
#include "support/testutil.h"

namespace {

const char kFactoryS[] = "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y";
const char kFactoryG[] = "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z";
const char kFactoryH[] = "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

// The raw alarms as the encoders derive them before building.
void deriveRaw(TxSettingsRecord &s)
{
    s.txAlarmRaw = voltsToTenths(s.txAlarmVolt);
    s.rxAlarmRaw = voltsToTenths(s.rxAlarmVolt);
    s.extAlarmRaw = voltsToTenths(s.extAlarmVolt);
}

using Setter = std::function<void(TxSettingsRecord &)>;

struct EncodingCase {
    const char *name;
    LineKind kind;
    int pos;
    Setter set;
    const char *text;
};

const EncodingCase kEncodingCases[] = {
    {"sub CH1 -100", LineKind::S, 9, [](TxSettingsRecord &s) { s.sub[0] = -100; }, "14"},
    {"sub CH1 0", LineKind::S, 9, [](TxSettingsRecord &s) { s.sub[0] = 0; }, "78"},
    {"sub CH8 100", LineKind::S, 23, [](TxSettingsRecord &s) { s.sub[7] = 100; }, "DC"},
    {"lepa CH1 0", LineKind::S, 25, [](TxSettingsRecord &s) { s.lepa[0] = 0; }, "10"},
    {"repa CH8 120", LineKind::S, 55, [](TxSettingsRecord &s) { s.repa[7] = 120; }, "88"},
    {"fs CH1 100", LineKind::S, 57, [](TxSettingsRecord &s) { s.fs[0] = 100; }, "74"},
    {"rev CH8 1", LineKind::S, 8, [](TxSettingsRecord &s) { s.rev[7] = 1; }, "1"},
    {"aux CH8 4", LineKind::S, 76, [](TxSettingsRecord &s) { s.aux[3] = 4; }, "4"},
    {"stick mode 3", LineKind::S, 79, [](TxSettingsRecord &s) { s.stkMode = 3; }, "3Y"},
    {"tx alarm 3.7", LineKind::S, 77, [](TxSettingsRecord &s) { s.txAlarmVolt = 3.7; }, "35"},
    {"tx alarm 11.1", LineKind::S, 77, [](TxSettingsRecord &s) { s.txAlarmVolt = 11.1; }, "7F"},
    {"tx alarm 23.9", LineKind::S, 77, [](TxSettingsRecord &s) { s.txAlarmVolt = 23.9; }, "FF"},
    {"ru1 -100", LineKind::G, 28, [](TxSettingsRecord &s) { s.ru[0] = -100; }, "10"},
    {"ru4 0", LineKind::G, 34, [](TxSettingsRecord &s) { s.ru[3] = 0; }, "74"},
    {"ru2 100", LineKind::G, 30, [](TxSettingsRecord &s) { s.ru[1] = 100; }, "D8"},
    {"mix1 up -100", LineKind::G, 59, [](TxSettingsRecord &s) { s.prm[0].data2 = -100; }, "10"},
    {"mix2 offset 100", LineKind::G, 69, [](TxSettingsRecord &s) { s.prm[1].data1 = 100; }, "D8"},
    {"mix3 offset -100", LineKind::H, 20, [](TxSettingsRecord &s) { s.prm[2].data1 = -100; }, "10"},
    {"mix4 down 0", LineKind::H, 33, [](TxSettingsRecord &s) { s.prm[3].data3 = 0; }, "74"},
    {"exp up CH1 100", LineKind::H, 52, [](TxSettingsRecord &s) { s.drExpUp[0] = 100; }, "D8"},
    {"elev5 after elev1", LineKind::G, 17, [](TxSettingsRecord &s) { s.elev[4] = 50; }, "AA"},
    {"elev2 third", LineKind::G, 19, [](TxSettingsRecord &s) { s.elev[1] = -50; }, "46"},
    {"elev4 last", LineKind::G, 25, [](TxSettingsRecord &s) { s.elev[3] = 0; }, "78"},
    {"mix1 master", LineKind::G, 71, [](TxSettingsRecord &s) { s.prm[0].master = 7; }, "7"},
    {"mix2 mode", LineKind::G, 76, [](TxSettingsRecord &s) { s.prm[1].mix = 2; }, "26D2Z"},
    {"mix3 mode, master, slave", LineKind::H, 17,
     [](TxSettingsRecord &s) {
         s.prm[2].mix = 2;
         s.prm[2].master = 6;
         s.prm[2].slave = 4;
     },
     "264"},
    {"rssi -100", LineKind::H, 71, [](TxSettingsRecord &s) { s.rssiAlarm = -100; }, "14"},
    {"rssi 0", LineKind::H, 71, [](TxSettingsRecord &s) { s.rssiAlarm = 0; }, "78"},
    {"ext 5.5", LineKind::H, 68, [](TxSettingsRecord &s) { s.extAlarmVolt = 5.5; }, "055"},
    {"ext 11.0", LineKind::H, 68, [](TxSettingsRecord &s) { s.extAlarmVolt = 11.0; }, "110"},
    {"ext 99.9", LineKind::H, 68, [](TxSettingsRecord &s) { s.extAlarmVolt = 99.9; }, "999"},
    {"rx 4.0", LineKind::H, 74, [](TxSettingsRecord &s) { s.rxAlarmVolt = 4.0; }, "380000X"},
    {"drCh 2 sends the edit mirrors", LineKind::G, 54,
     [](TxSettingsRecord &s) {
         s.drCh = 2;
         s.drUpEdit = 30;
         s.drDownEdit = 70;
         s.drUp[2] = 99;
         s.drDown[2] = 1;
     },
     "22E56"},
    {"drUp of channel 3 goes in H", LineKind::H, 5,
     [](TxSettingsRecord &s) {
         s.drCh = 2;
         s.drUpEdit = 30;
         s.drUp[2] = 99;
     },
     "73"},
    // Values that do not fit their field are clamped to the nearest value it carries.
    {"tx alarm 30.0 clamps", LineKind::S, 77, [](TxSettingsRecord &s) { s.txAlarmVolt = 30.0; }, "FF2Y"},
    {"rx alarm 99.9 clamps", LineKind::H, 74, [](TxSettingsRecord &s) { s.rxAlarmVolt = 99.9; }, "FF0000X"},
    {"tx alarm negative clamps", LineKind::S, 77, [](TxSettingsRecord &s) { s.txAlarmVolt = -2.0; }, "10"},
    {"D field 12 clamps", LineKind::S, 1, [](TxSettingsRecord &s) { s.rev[0] = 12; }, "9"},
    {"D field -1 clamps", LineKind::S, 79, [](TxSettingsRecord &s) { s.stkMode = -1; }, "0Y"},
    {"X+16 negative clamps", LineKind::S, 25, [](TxSettingsRecord &s) { s.lepa[0] = -5; }, "10"},
    {"X+120 below clamps", LineKind::S, 9, [](TxSettingsRecord &s) { s.sub[0] = -120; }, "10"},
    {"X+120 above clamps", LineKind::S, 9, [](TxSettingsRecord &s) { s.sub[0] = 200; }, "FF"},
    {"D3 above clamps", LineKind::H, 68, [](TxSettingsRecord &s) { s.extAlarmVolt = 150.0; }, "99914"},
    {"D3 negative clamps", LineKind::H, 68, [](TxSettingsRecord &s) { s.extAlarmVolt = -3.0; }, "000"},
};

QByteArray lineOf(LineKind kind, TxSettingsRecord s)
{
    deriveRaw(s);
    return buildLine(kind, s);
}

// Sets every int field to v and the volts to volts.
TxSettingsRecord filled(int v, double volts)
{
    TxSettingsRecord s = startSettings();
    forEachSettingsInt(s, [v](int &f) { f = v; });
    s.txAlarmVolt = s.rxAlarmVolt = s.extAlarmVolt = volts;
    return s;
}

void checkShape(const QByteArray &line, char letter, const char *tail)
{
    QCOMPARE(line.size(), kLineLength);
    QCOMPARE(line.at(0), letter);
    QVERIFY2(line.endsWith(tail), line.constData());
    const QByteArray body = line.mid(1, kLineLength - 1 - int(qstrlen(tail)));
    for (char c : body)
        QVERIFY2((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'), line.constData());
}

} // namespace

class TestLines : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetStore(); }

    void factoryLines()
    {
        const TxSettingsRecord s = factorySettings();
        QCOMPARE(lineOf(LineKind::S, s), QByteArray(kFactoryS));
        QCOMPARE(lineOf(LineKind::G, s), QByteArray(kFactoryG));
        QCOMPARE(lineOf(LineKind::H, s), QByteArray(kFactoryH));
    }

    void defaultLinesAtStart()
    {
        QCOMPARE(lineS.size(), kLineLength);
        QCOMPARE(lineG.size(), kLineLength);
        QCOMPARE(lineH.size(), kLineLength);
        QVERIFY(lineS.endsWith("Y") && lineG.endsWith("6D2Z") && lineH.endsWith("0000X"));
    }

    void buildDoesNotTouchStore()
    {
        TxSettingsRecord s = factorySettings();
        s.txAlarmVolt = 11.1;
        const TxSettingsRecord before = s;
        buildLine(LineKind::S, s);
        buildLine(LineKind::G, s);
        buildLine(LineKind::H, s);
        QVERIFY(s == before);
    }

    void encodings_data()
    {
        QTest::addColumn<int>("idx");
        for (int i = 0; i < int(std::size(kEncodingCases)); ++i)
            QTest::newRow(kEncodingCases[i].name) << i;
    }
    void encodings()
    {
        QFETCH(int, idx);
        const EncodingCase &c = kEncodingCases[idx];
        TxSettingsRecord s = factorySettings();
        c.set(s);
        const QByteArray line = lineOf(c.kind, s);
        QCOMPARE(line.size(), kLineLength);
        QCOMPARE(line.mid(c.pos, int(qstrlen(c.text))), QByteArray(c.text));
    }

    void tenths_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<int>("tenths");
        QTest::newRow("3.7") << 3.7 << 37;
        QTest::newRow("11.1") << 11.1 << 111;
        QTest::newRow("4.0") << 4.0 << 40;
        QTest::newRow("23.9") << 23.9 << 239;
        QTest::newRow("99.9") << 99.9 << 999;
        QTest::newRow("0.0") << 0.0 << 0;
        // Single precision rounds the product before it is truncated.
        QTest::newRow("2.99999999") << 2.99999999 << 30;
        QTest::newRow("2.95") << 2.95 << 29;
        QTest::newRow("-1.55 toward zero") << -1.55 << -15;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
        QTest::newRow("huge") << 1e300 << 2000000000;
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << -2000000000;
    }
    void tenths()
    {
        QFETCH(double, volts);
        QFETCH(int, tenths);
        QCOMPARE(voltsToTenths(volts), tenths);
    }

    // Whatever the store holds, a line keeps its length, its letter, its tail
    // and the fixed digit of the G line.
    void clampedShape_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("volts");
        QTest::newRow("INT_MIN") << INT_MIN << -1e300;
        QTest::newRow("INT_MAX") << INT_MAX << 1e300;
        QTest::newRow("-1") << -1 << -0.1;
        QTest::newRow("10") << 10 << 24.0;
        QTest::newRow("1000") << 1000 << 100.0;
        QTest::newRow("nan volts") << 5 << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf volts") << 5 << std::numeric_limits<double>::infinity();
    }
    void clampedShape()
    {
        QFETCH(int, value);
        QFETCH(double, volts);
        const TxSettingsRecord s = filled(value, volts);
        checkShape(lineOf(LineKind::S, s), 'S', "Y");
        const QByteArray g = lineOf(LineKind::G, s);
        checkShape(g, 'G', "6D2Z");
        QCOMPARE(g.at(36), '6');
        checkShape(lineOf(LineKind::H, s), 'H', "0000X");
    }

    void clampedShapeRandom()
    {
        QRandomGenerator g(20240611);
        for (int round = 0; round < 500; ++round) {
            TxSettingsRecord s = startSettings();
            const int spread = round % 2 ? 1000 : INT_MAX;
            forEachSettingsInt(s, [&](int &f) { f = int(g.bounded(2.0 * spread + 1) - spread); });
            s.txAlarmVolt = g.bounded(400.0) - 100.0;
            s.rxAlarmVolt = g.bounded(400.0) - 100.0;
            s.extAlarmVolt = g.bounded(400.0) - 100.0;
            checkShape(lineOf(LineKind::S, s), 'S', "Y");
            const QByteArray line = lineOf(LineKind::G, s);
            checkShape(line, 'G', "6D2Z");
            QCOMPARE(line.at(36), '6');
            checkShape(lineOf(LineKind::H, s), 'H', "0000X");
        }
    }

    // Reading the three lines back restores every field they carry.
    void roundTrip()
    {
        QRandomGenerator g(77);
        for (int round = 0; round < 300; ++round) {
            const TxSettingsRecord sent = randomInRangeSettings(g);
            TxSettingsRecord got = startSettings();
            forEachSettingsInt(got, [](int &f) { f = 12345; });
            readLine(LineKind::S, QString::fromLatin1(buildLine(LineKind::S, sent)), got);
            readLine(LineKind::G, QString::fromLatin1(buildLine(LineKind::G, sent)), got);
            readLine(LineKind::H, QString::fromLatin1(buildLine(LineKind::H, sent)), got);
            QCOMPARE(got.drRateEdit, 12345); // not in any line
            QCOMPARE(got.drExpEdit, 12345);
            got.drRateEdit = sent.drRateEdit;
            got.drExpEdit = sent.drExpEdit;
            QVERIFY2(got == sent, buildLine(LineKind::G, sent).constData());
        }
    }

    void readFields_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("value");
        const int S = int(LineKind::S), G = int(LineKind::G), H = int(LineKind::H);
        QTest::newRow("sub DC") << S << 9 << "DC"
                                << "sub0" << 100.0;
        QTest::newRow("sub lower case") << S << 9 << "dc"
                                        << "sub0" << 100.0;
        QTest::newRow("sub ZZ reads 0") << S << 9 << "ZZ"
                                        << "sub0" << -120.0;
        QTest::newRow("tx alarm volts follow") << S << 77 << "35"
                                               << "txVolt" << 3.7;
        QTest::newRow("tx alarm tenths") << S << 77 << "7F"
                                         << "txRaw" << 111.0;
        QTest::newRow("rev digit") << S << 1 << "1"
                                   << "rev0" << 1.0;
        QTest::newRow("D field hex letter") << S << 79 << "A"
                                            << "stkMode" << 10.0;
        QTest::newRow("ru -100") << G << 28 << "10"
                                 << "ru0" << -100.0;
        QTest::newRow("elev5 second") << G << 17 << "AA"
                                      << "elev4" << 50.0;
        QTest::newRow("drUpEdit") << G << 55 << "2E"
                                  << "drUpEdit" << 30.0;
        QTest::newRow("ext digit by digit") << H << 68 << "055"
                                            << "extRaw" << 55.0;
        QTest::newRow("ext volts") << H << 68 << "110"
                                   << "extVolt" << 11.0;
        QTest::newRow("ext bad digit") << H << 68 << "1Z5"
                                       << "extRaw" << 105.0;
        QTest::newRow("rssi") << H << 71 << "14"
                              << "rssi" << -100.0;
        QTest::newRow("rx volts") << H << 74 << "38"
                                  << "rxVolt" << 4.0;
        QTest::newRow("mix4 slave") << H << 28 << "7"
                                    << "prm3slave" << 7.0;
    }
    void readFields()
    {
        QFETCH(int, kind);
        QFETCH(int, pos);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(double, value);
        const char *base = kind == int(LineKind::S)   ? kFactoryS
                           : kind == int(LineKind::G) ? kFactoryG
                                                      : kFactoryH;
        QString line = QString::fromLatin1(base);
        line.replace(pos, text.size(), text);
        TxSettingsRecord s = factorySettings();
        readLine(LineKind(kind), line, s);
        const QMap<QString, double> fields = {
            {"sub0", s.sub[0]},           {"txVolt", s.txAlarmVolt}, {"txRaw", s.txAlarmRaw},
            {"rev0", s.rev[0]},           {"stkMode", s.stkMode},    {"ru0", s.ru[0]},
            {"elev4", s.elev[4]},         {"drUpEdit", s.drUpEdit},  {"extRaw", s.extAlarmRaw},
            {"extVolt", s.extAlarmVolt},  {"rssi", s.rssiAlarm},     {"rxVolt", s.rxAlarmVolt},
            {"prm3slave", s.prm[3].slave}};
        QVERIFY(fields.contains(field));
        QCOMPARE(fields.value(field), value);
    }

    void readShortLine()
    {
        TxSettingsRecord s = factorySettings();
        readLine(LineKind::H, "H74", s);
        QCOMPARE(s.drUp[0], 100);
        QCOMPARE(s.drUp[1], -16); // missing text reads as 0
        QCOMPARE(s.rxAlarmRaw, -16);
    }

    // The encoders of the window: the port closed, they change the current
    // lines and the raw alarms and send nothing.
    void windowEncodersPortClosed()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        setTestPorts({pty.slavePath()});
        MainWindow w;
        TxSettings = factorySettings();
        TxSettings.txAlarmVolt = 11.1;
        TxSettings.rxAlarmVolt = 4.5;
        TxSettings.extAlarmVolt = 5.5;
        lineS = lineG = lineH = QString();
        QVERIFY(QMetaObject::invokeMethod(&w, "SendData1"));
        QCOMPARE(TxSettings.txAlarmRaw, 111);
        QCOMPARE(lineS.mid(77, 2), QString("7F"));
        QCOMPARE(lineS.size(), kLineLength);
        QVERIFY(QMetaObject::invokeMethod(&w, "SendData2"));
        QCOMPARE(lineG, QString(kFactoryG));
        QVERIFY(QMetaObject::invokeMethod(&w, "SendData3"));
        QCOMPARE(TxSettings.rxAlarmRaw, 45);
        QCOMPARE(TxSettings.extAlarmRaw, 55);
        QCOMPARE(lineH.mid(68, 3), QString("055"));
        QCOMPARE(lineH.mid(74, 2), QString("3D"));
        QCOMPARE(readWhile(pty, 200), QByteArray());

        TxSettings = factorySettings();
        QVERIFY(QMetaObject::invokeMethod(&w, "SendData1"));
        QVERIFY(QMetaObject::invokeMethod(&w, "SendData3"));
        QCOMPARE(lineS, QString(kFactoryS));
        QCOMPARE(lineH, QString(kFactoryH));
        QCOMPARE(readWhile(pty, 200), QByteArray());
    }
};

QTEST_MAIN(TestLines)
#include "test_lines.moc"
