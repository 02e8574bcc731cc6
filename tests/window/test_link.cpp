#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "app/mainwindow.h"
#include "link/lines.h"
#include "link/receive.h"
#include "model/txsettings.h"
#include "sim/virtualtransmitter.h"
#include "support/editors.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// The whole link, end to end: the real window on a real serial port, the
// virtual transmitter on the other end of the pseudo-terminal, both on this
// test's event loop.

namespace {

using Get = std::function<double(const TxSettingsRecord &, const TxLiveDataRecord &)>;

// One value of the store, and which of the two directions carries it.
struct Field {
    QString name;
    Get get;
    bool frames; // the settings frames the transmitter sends on "RR"
    bool lines;  // the S, G and H lines the tool sends
};

template <size_t N>
void addArray(std::vector<Field> &f, const char *name, int (TxSettingsRecord::*m)[N], bool frames = true,
              bool lines = true)
{
    for (size_t i = 0; i < N; ++i)
        f.push_back({QString("%1[%2]").arg(name).arg(i),
                     [m, i](const TxSettingsRecord &s, const TxLiveDataRecord &) { return (s.*m)[i]; },
                     frames, lines});
}

template <typename T>
void addOne(std::vector<Field> &f, const char *name, T TxSettingsRecord::*m, bool frames = true,
            bool lines = true)
{
    f.push_back({name, [m](const TxSettingsRecord &s, const TxLiveDataRecord &) { return double(s.*m); },
                 frames, lines});
}

// Written out field by field, independently of the program's own tables.
const std::vector<Field> &fields()
{
    static const std::vector<Field> all = [] {
        using S = TxSettingsRecord;
        std::vector<Field> f;
        addArray(f, "rev", &S::rev);
        addArray(f, "sub", &S::sub);
        addArray(f, "lepa", &S::lepa);
        addArray(f, "repa", &S::repa);
        addArray(f, "fs", &S::fs);
        addArray(f, "aux", &S::aux);
        addOne(f, "txAlarmVolt", &S::txAlarmVolt);
        addOne(f, "txAlarmRaw", &S::txAlarmRaw);
        addOne(f, "stkMode", &S::stkMode);
        addArray(f, "delay", &S::delay);
        addOne(f, "drMix", &S::drMix);
        addOne(f, "drCh", &S::drCh, false);
        addOne(f, "drUpEdit", &S::drUpEdit, false);
        addOne(f, "drDownEdit", &S::drDownEdit, false);
        addOne(f, "attiM", &S::attiM);
        addArray(f, "atti", &S::atti);
        addOne(f, "eleMix", &S::eleMix);
        addArray(f, "elev", &S::elev);
        addOne(f, "ruMix", &S::ruMix);
        addArray(f, "ru", &S::ru);
        for (int k = 0; k < 4; ++k) {
            const QString p = QString("prm[%1].").arg(k);
            auto member = [&f, &p, k](const char *n, int PrmMix::*m) {
                f.push_back({p + n, [k, m](const S &s, const TxLiveDataRecord &) { return s.prm[k].*m; },
                             true, true});
            };
            member("mix", &PrmMix::mix);
            member("master", &PrmMix::master);
            member("slave", &PrmMix::slave);
            member("data1", &PrmMix::data1);
            member("data2", &PrmMix::data2);
            member("data3", &PrmMix::data3);
        }
        addOne(f, "drSw", &S::drSw);
        addOne(f, "drPosi", &S::drPosi);
        addArray(f, "drUp", &S::drUp);
        addArray(f, "drDown", &S::drDown);
        addArray(f, "drExpUp", &S::drExpUp);
        addArray(f, "drExpDown", &S::drExpDown);
        addOne(f, "thcureMix", &S::thcureMix);
        addOne(f, "thcureOpt", &S::thcureOpt);
        addArray(f, "thcure", &S::thcure);
        addOne(f, "rxAlarmVolt", &S::rxAlarmVolt);
        addOne(f, "rxAlarmRaw", &S::rxAlarmRaw);
        addOne(f, "extAlarmVolt", &S::extAlarmVolt);
        addOne(f, "extAlarmRaw", &S::extAlarmRaw);
        addOne(f, "rssiAlarm", &S::rssiAlarm);
        addOne(f, "drRateEdit", &S::drRateEdit, false, false);
        addOne(f, "drExpEdit", &S::drExpEdit, false, false);
        f.push_back(
            {"txVersion", [](const S &, const TxLiveDataRecord &d) { return d.txVersion; }, true, false});
        return f;
    }();
    return all;
}

enum class Carried { Frames, Lines, Everything };

// "name: got X, want Y" for every field (of the given direction) that differs.
QStringList differences(Carried which, const TxSettingsRecord &got, const TxLiveDataRecord &gotLive,
                        const TxSettingsRecord &want, const TxLiveDataRecord &wantLive)
{
    QStringList out;
    for (const Field &f : fields()) {
        if ((which == Carried::Frames && !f.frames) || (which == Carried::Lines && !f.lines))
            continue;
        const double g = f.get(got, gotLive), w = f.get(want, wantLive);
        if (g != w)
            out << QString("%1: got %2, want %3").arg(f.name).arg(g).arg(w);
    }
    return out;
}

// What the window's store must hold after a READ from a transmitter with
// model m: every field the frames carry, with the tool's own D/R channel and
// the edit mirrors re-derived from it.
TxSettingsRecord afterRead(const TxSettingsRecord &m, int toolDrCh)
{
    TxSettingsRecord e = m;
    e.drCh = toolDrCh;
    if (toolDrCh >= 0 && toolDrCh <= 3) {
        e.drUpEdit = e.drUp[toolDrCh];
        e.drDownEdit = e.drDown[toolDrCh];
        e.drRateEdit = e.drPosi == 0 ? e.drUp[toolDrCh] : e.drDown[toolDrCh];
        e.drExpEdit = e.drPosi == 0 ? e.drExpUp[toolDrCh] : e.drExpDown[toolDrCh];
    }
    return e;
}

QStringList readDifferences(const VirtualTransmitter &tx, int toolDrCh)
{
    return differences(Carried::Everything, TxSettings, TxLiveData, afterRead(tx.settings(), toolDrCh),
                       tx.liveData());
}

// The lines a transmitter receives after a factory reset.
const char *const kFactoryS =
    "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y";
const char *const kFactoryG =
    "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z";
const char *const kFactoryH =
    "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

constexpr int kLongWait = 20000; // generous: CI runs on two busy cores

bool openOn(MainWindow &w, VirtualTransmitter &tx)
{
    const int before = tx.receivedCount("OK");
    clickOpen(w);
    return w.form()->openButton->text() == "CLOSE" &&
           waitFor([&tx, before] { return tx.receivedCount("OK") == before + 1; }, kLongWait);
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }

    void openStreamsLiveFrames();
    void liveValuesArriveExactly();
    void readBringsTransmitterSettings_data();
    void readBringsTransmitterSettings();
    void writeThenReadRoundTrip();
    void resetsSendFactoryLines_data();
    void resetsSendFactoryLines();
    void closeSendsDisAndStopsStream();
    void deviceDropReturnsToClosed();
};

void TestLink::openStreamsLiveFrames()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    setTestPorts({tx.slavePath()});
    MainWindow w;
    QVERIFY(!tx.isStreaming());
    QVERIFY(openOn(w, tx));
    QCOMPARE(tx.received().first(), QString("OK"));
    QVERIFY(tx.isStreaming());

    // The servo outputs leave their closed-port value and keep moving.
    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.servo[0] != 1000, kLongWait);
    const int first = TxLiveData.servo[0];
    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.servo[0] != first, kLongWait);
    for (int n = 0; n < 8; ++n) {
        QVERIFY2(TxLiveData.servo[n] >= 1000 && TxLiveData.servo[n] <= 2000, qPrintable(QString::number(n)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.txVolt > 1100 && TxLiveData.rxVolt > 0 && TxLiveData.extVolt > 0,
                             kLongWait);
    // Every chunk the tool read was answered with "WWW".
    QTRY_VERIFY_WITH_TIMEOUT(tx.receivedCount("WWW") >= 5, kLongWait);
    QCOMPARE(tx.skippedBytes(), 0);
}

void TestLink::liveValuesArriveExactly()
{
    VirtualTransmitter tx;
    tx.setMotion(false);
    TxLiveDataRecord d = tx.liveData();
    const int servo[8] = {1000, 1234, 1500, 1765, 2000, 1111, 1999, 1801};
    for (int n = 0; n < 8; ++n)
        d.servo[n] = servo[n];
    d.txVolt = 1174;
    d.rxRssi = 61;
    d.rxVolt = 49;
    d.extVolt = 112;
    d.telemWord3 = 0x1234;
    d.telemWord4 = 0xFEDC;
    tx.setLiveData(d);
    setTestPorts({tx.slavePath()});
    MainWindow w;
    QVERIFY(openOn(w, tx));

    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.servo[7] == 1801 && TxLiveData.extVolt == 112, kLongWait);
    for (int n = 0; n < 8; ++n)
        QCOMPARE(TxLiveData.servo[n], servo[n]);
    QCOMPARE(TxLiveData.txVolt, 1174);
    QCOMPARE(TxLiveData.rxRssi, 61);
    QCOMPARE(TxLiveData.rxVolt, 49);
    QCOMPARE(TxLiveData.telemWord3, 0x1234);
    QCOMPARE(TxLiveData.telemWord4, 0xFEDC);
    QTRY_COMPARE_WITH_TIMEOUT(w.form()->lineEdit_8->text(), QString("1801"), kLongWait);
}

void TestLink::readBringsTransmitterSettings_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<int>("splitAt");
    QTest::addColumn<bool>("join");
    QTest::addColumn<bool>("garbage");
    QTest::addColumn<bool>("liveDuringDump");
    QTest::addColumn<int>("liveInterval");

    QTest::newRow("one frame per write") << false << 0 << false << false << false << 20;
    QTest::newRow("split at random points") << true << 0 << false << false << false << 20;
    QTest::newRow("split after the marker") << true << 1 << false << false << false << 20;
    QTest::newRow("split before the end marker") << true << 11 << false << false << false << 20;
    QTest::newRow("two frames per write") << false << 0 << true << false << false << 20;
    QTest::newRow("garbage between frames") << false << 0 << false << true << false << 20;
    QTest::newRow("live frames in between") << false << 0 << false << false << true << 20;
    QTest::newRow("wire speed, live in between") << false << 0 << false << false << true << 0;
    QTest::newRow("every fault at once") << true << 0 << true << true << true << 20;
}

void TestLink::readBringsTransmitterSettings()
{
    QFETCH(bool, split);
    QFETCH(int, splitAt);
    QFETCH(bool, join);
    QFETCH(bool, garbage);
    QFETCH(bool, liveDuringDump);
    QFETCH(int, liveInterval);

    VirtualTransmitter tx;
    tx.setLiveInterval(liveInterval);
    tx.setLiveDuringDump(liveDuringDump);
    setTestPorts({tx.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    QVERIFY(openOn(w, tx));
    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.servo[0] != 1000, kLongWait);
    QVERIFY(!readDifferences(tx, TxSettings.drCh).isEmpty()); // the window starts off different

    tx.setSplitFrames(split, splitAt);
    tx.setJoinFrames(join);
    tx.setGarbage(garbage);
    MessageBoxCatcher boxes;

    // A burst of garbage right behind every frame leaves no frame the tool
    // can confirm: the READ asks again, then tells the user that nothing
    // was changed. Without the garbage one READ brings everything.
    if (garbage) {
        const TxSettingsRecord before = TxSettings;
        ui->toolButton_Read->click();
        QCOMPARE(tx.receivedCount("RR"), kReadAsks);
        QVERIFY2(boxes.onlyNotWholeNote(), qPrintable(boxes.lastText()));
        QVERIFY(TxSettings == before);
        tx.setGarbage(false);
    }
    const int asked = tx.receivedCount("RR");
    ui->toolButton_Read->click();
    QVERIFY(tx.receivedCount("RR") > asked);
    QCOMPARE(boxes.count(), garbage ? 1 : 0);
    QCOMPARE(readDifferences(tx, 0), QStringList());
    QVERIFY(tx.settingsFramesSent() >= 19);

    // The editors show it (at the latest at the next refresh).
    QTRY_VERIFY_WITH_TIMEOUT(editorsOffStore(w).isEmpty(), kLongWait);
    QCOMPARE(ui->spinBox_sub2->value(), -6);
    QCOMPARE(ui->comboBox_rev2->currentIndex(), 1);
    QCOMPARE(ui->comboBox_RuMix->currentIndex(), 1);
    QCOMPARE(ui->spinBox_Vertion->value(), kDemoTxVersion);
    QCOMPARE(ui->doubleSpinBox_Volt->value(), 10.5);
    QCOMPARE(ui->spinBox_Rssi->value(), -85);

    // The live stream goes on afterwards.
    tx.setSplitFrames(false);
    tx.setJoinFrames(false);
    tx.setGarbage(false);
    const int sent = tx.liveFramesSent();
    QTRY_VERIFY_WITH_TIMEOUT(tx.liveFramesSent() > sent + 4, kLongWait);
    QCOMPARE(readDifferences(tx, 0), QStringList()); // and changes no setting
}

void TestLink::writeThenReadRoundTrip()
{
    VirtualTransmitter tx;
    setTestPorts({tx.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    QVERIFY(openOn(w, tx));

    // Settings as the user would leave them in the window, different from
    // the transmitter's; the TX and RX alarms within what their two digits
    // carry, the throttle-curve option (no editor) set too.
    setDistinctValues(w, 1);
    TxSettings.txAlarmVolt = 7.4;
    TxSettings.rxAlarmVolt = 6.1;
    TxSettings.thcureOpt = 3;
    ui->spinBox_sub3->setValue(-77); // and one edited through its editor
    QCOMPARE(TxSettings.sub[2], -77);
    QVERIFY(!differences(Carried::Lines, tx.settings(), tx.liveData(), TxSettings, TxLiveData).isEmpty());

    ui->toolButton_Send->click();
    QTRY_COMPARE_WITH_TIMEOUT(tx.receivedCount("H"), 1, kLongWait);
    QTRY_VERIFY_WITH_TIMEOUT(ui->toolButton_Send->isEnabled() && tx.received().contains("WWW"), kLongWait);
    QCOMPARE(tx.receivedCount("S"), 1);
    QCOMPARE(tx.receivedCount("G"), 1);
    const QStringList order = tx.received().filter(QRegularExpression("^[SGH]$"));
    QCOMPARE(order, QStringList({"S", "G", "H"}));
    QCOMPARE(tx.skippedBytes(), 0);
    QCOMPARE(TxSettings.txAlarmRaw, 74);
    QCOMPARE(TxSettings.rxAlarmRaw, 61);
    QCOMPARE(differences(Carried::Lines, tx.settings(), tx.liveData(), TxSettings, TxLiveData),
             QStringList());
    QCOMPARE(tx.lastLine(LineKind::S).size(), kLineLength);

    // Forget them in the window, read them back.
    const TxSettingsRecord written = TxSettings;
    resetStore();
    ui->toolButton_Read->click();
    QTRY_VERIFY_WITH_TIMEOUT(readDifferences(tx, 0).isEmpty(), kLongWait);
    const QStringList back = differences(Carried::Frames, TxSettings, TxLiveData, written, tx.liveData());
    QCOMPARE(back, QStringList());
    QCOMPARE(TxSettings.sub[2], -77);
}

void TestLink::resetsSendFactoryLines_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("RESET") << "toolButton_Reset";
    QTest::newRow("DATA RESET") << "pushButton_Reset2";
}

void TestLink::resetsSendFactoryLines()
{
    QFETCH(QString, button);
    VirtualTransmitter tx;
    setTestPorts({tx.slavePath()});
    MainWindow w;
    QVERIFY(openOn(w, tx));
    setDistinctValues(w, 2);

    auto *b = w.findChild<QAbstractButton *>(button);
    QVERIFY(b);
    b->click();
    QTRY_COMPARE_WITH_TIMEOUT(tx.receivedCount("H"), 1, kLongWait);
    QCOMPARE(tx.lastLine(LineKind::S), QByteArray(kFactoryS));
    QCOMPARE(tx.lastLine(LineKind::G), QByteArray(kFactoryG));
    QCOMPARE(tx.lastLine(LineKind::H), QByteArray(kFactoryH));

    // The transmitter now holds the factory settings.
    TxSettingsRecord factory = startSettings();
    restData(factory);
    restData2(factory);
    factory.txAlarmRaw = 37;
    factory.rxAlarmRaw = 40;
    factory.extAlarmRaw = 110;
    QCOMPARE(differences(Carried::Lines, tx.settings(), tx.liveData(), factory, tx.liveData()),
             QStringList());
}

void TestLink::closeSendsDisAndStopsStream()
{
    VirtualTransmitter tx;
    setTestPorts({tx.slavePath()});
    MainWindow w;
    QVERIFY(openOn(w, tx));
    QTRY_VERIFY_WITH_TIMEOUT(tx.liveFramesSent() > 4 && TxLiveData.servo[0] != 1000, kLongWait);

    clickOpen(w);
    QCOMPARE(w.form()->openButton->text(), QString("OPEN"));
    QTRY_COMPARE_WITH_TIMEOUT(tx.receivedCount("DIS"), 1, kLongWait);
    // Only the answer to a chunk that was read while "DIS" was leaving may follow it.
    const QStringList after = tx.received().mid(tx.received().lastIndexOf("DIS") + 1);
    QCOMPARE(after.size(), after.count("WWW"));
    QVERIFY(!tx.isStreaming());

    // Nothing more is sent, and the window keeps its closed-port values.
    const int sent = tx.liveFramesSent();
    waitFor([] { return false; }, 300);
    QCOMPARE(tx.liveFramesSent(), sent);
    for (int n = 0; n < 8; ++n)
        QCOMPARE(TxLiveData.servo[n], 1000);

    // Opening again starts the stream again.
    QVERIFY(openOn(w, tx));
    QTRY_VERIFY_WITH_TIMEOUT(tx.liveFramesSent() > sent && TxLiveData.servo[0] != 1000, kLongWait);
}

void TestLink::deviceDropReturnsToClosed()
{
    VirtualTransmitter tx;
    setTestPorts({tx.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    QVERIFY(openOn(w, tx));
    QTRY_VERIFY_WITH_TIMEOUT(TxLiveData.servo[0] != 1000, kLongWait);

    MessageBoxCatcher boxes;
    tx.dropDevice();
    QTRY_COMPARE_WITH_TIMEOUT(ui->openButton->text(), QString("OPEN"), kLongWait);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, kLongWait);
    QCOMPARE(boxes.boxes.first().first, QString("Note"));
    QCOMPARE(boxes.lastText(), QString("The serial port was disconnected!"));
    QVERIFY(!w.port().isOpen());
    QVERIFY(ui->portNameBox->isEnabled());
    for (int n = 0; n < 8; ++n)
        QCOMPARE(TxLiveData.servo[n], 1000);
}

QTEST_MAIN(TestLink)
#include "test_link.moc"
