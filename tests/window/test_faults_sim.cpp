#include <QAbstractButton>
#include <QtTest>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "model/txsettings.h"
#include "model/validation.h"
#include "sim/virtualtransmitter.h"
#include "support/stores.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// The link under faults with the virtual transmitter's own switches, through
// the real window: whatever the line does to its frames, a READ brings every
// setting of the transmitter's memory.

namespace {

// Carried settings that differ between the window's store and the
// transmitter's memory, named by frame type and byte.
QStringList carriedDifferences(const VirtualTransmitter &tx)
{
    QStringList diffs;
    TxSettingsRecord want = tx.settings(), got = TxSettings;
    TxLiveDataRecord wantLive = tx.liveData(), gotLive = TxLiveData;
    std::vector<const SettingsFrameLayout *> layouts{&auxFrameLayout()};
    for (const SettingsFrameLayout &l : settingsFrameLayouts())
        layouts.push_back(&l);
    for (const SettingsFrameLayout *l : layouts)
        for (const FrameField &f : l->fields) {
            if (l->type == kServoKind || l->type == kTelemetryKind)
                continue;
            const int a = f.ref(got, gotLive), b = f.ref(want, wantLive);
            if (a != b)
                diffs << QString("type 0x%1 byte %2: %3 instead of %4")
                             .arg(l->type, 2, 16, QChar('0'))
                             .arg(f.pos)
                             .arg(a)
                             .arg(b);
        }
    return diffs;
}

} // namespace

class TestFaultsSim : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void readUnderFaults_data();
    void readUnderFaults();
};

void TestFaultsSim::readUnderFaults_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("join");
    QTest::addColumn<int>("liveInterval"); // 0: as fast as the wire allows
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("randomFree"); // free bytes of settings and AUX frames random
    for (quint32 seed : {1u, 2u}) {
        const QString s = QString(", seed %1").arg(seed);
        QTest::newRow(qPrintable("split" + s)) << true << false << 20 << seed << false;
        QTest::newRow(qPrintable("joined" + s)) << false << true << 20 << seed << false;
        QTest::newRow(qPrintable("split and joined" + s)) << true << true << 20 << seed << false;
        QTest::newRow(qPrintable("split and joined, full live stream" + s))
            << true << true << 0 << seed << false;
        QTest::newRow(qPrintable("random free bytes" + s)) << false << false << 20 << seed << true;
    }
}

void TestFaultsSim::readUnderFaults()
{
    QFETCH(bool, split);
    QFETCH(bool, join);
    QFETCH(int, liveInterval);
    QFETCH(quint32, seed);
    QFETCH(bool, randomFree);
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    QRandomGenerator g(seed);
    tx.setSettings(randomInRangeSettings(g));
    tx.setSeed(seed);
    tx.setLiveInterval(liveInterval);
    tx.setLiveDuringDump(true);
    tx.setSplitFrames(split);
    tx.setJoinFrames(join);
    tx.setRandomFreeBytes(randomFree);
    if (randomFree) {
        // Such frames are only frames as chunks of their own: give each its
        // own moment on the line.
        tx.setLiveDuringDump(false);
        tx.setSettingsInterval(40);
    }

    setTestPorts({tx.slavePath()});
    MainWindow w;
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(tx.isStreaming(), 10000);
    // With random free bytes a frame is a frame only as a chunk of its own;
    // should the pseudo-terminal join two under load, that frame is lost.
    // And settings frame 17 cut right after its 8th byte is a whole AUX frame
    // by the length rules (the frames carry no checksum). In both cases the
    // next READ brings the frame again, as a user would click again.
    for (int read = 0; read < (randomFree || split ? 4 : 1); ++read) {
        const int dumps = tx.dumpsCompleted();
        w.form()->toolButton_Read->click();
        QTRY_VERIFY_WITH_TIMEOUT(tx.dumpsCompleted() > dumps && !tx.isDumping(), 20000);
        if (waitFor([&] { return carriedDifferences(tx).isEmpty(); }, 3000))
            break;
    }
    QVERIFY2(carriedDifferences(tx).isEmpty(), qPrintable(carriedDifferences(tx).join("\n")));
    QCOMPARE(w.form()->openButton->text(), QString("CLOSE"));
}

QTEST_MAIN(TestFaultsSim)
#include "test_faults_sim.moc"
