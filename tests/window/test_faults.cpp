#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "link/lines.h"
#include "link/receive.h"
#include "model/txsettings.h"
#include "model/validation.h"
#include "sim/pty.h"
#include "support/stores.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// The link under faults, through the real window on a real serial port: the
// far end of the pseudo-terminal is driven here, event by event (FarEnd), so the
// window's own pauses and nested loops serve it exactly as they serve a
// transmitter.

namespace {

QByteArray randomBytes(QRandomGenerator &g, int n, bool markers)
{
    QByteArray b(n, '\0');
    for (char &c : b) {
        quint8 v = quint8(g.bounded(256));
        while (!markers && v == kFrameMarker)
            v = quint8(g.bounded(256));
        c = char(v);
    }
    return b;
}

// Cuts the bytes at random places into pieces of 1..maxPiece bytes.
std::vector<QByteArray> cutRandomly(QRandomGenerator &g, const QByteArray &all, int maxPiece)
{
    std::vector<QByteArray> out;
    for (int at = 0; at < all.size();) {
        const int n = 1 + g.bounded(maxPiece);
        out.push_back(all.mid(at, n));
        at += n;
    }
    return out;
}

// The settings that the frames carry and that differ between the window's
// store and the transmitter's model, named by frame type and byte.
QStringList carriedDifferences(const TxSettingsRecord &model, const TxLiveDataRecord &modelLive)
{
    QStringList diffs;
    TxSettingsRecord want = model, got = TxSettings;
    TxLiveDataRecord wantLive = modelLive, gotLive = TxLiveData;
    std::vector<const SettingsFrameLayout *> layouts{&auxFrameLayout()};
    for (const SettingsFrameLayout &l : settingsFrameLayouts())
        layouts.push_back(&l);
    for (const SettingsFrameLayout *l : layouts)
        for (const FrameField &f : l->fields) {
            const int a = f.ref(got, gotLive), b = f.ref(want, wantLive);
            if (a != b)
                diffs << QString("type 0x%1 byte %2: %3 instead of %4")
                             .arg(l->type, 2, 16, QChar('0'))
                             .arg(f.pos)
                             .arg(a)
                             .arg(b);
        }
    const auto volts = [&diffs](const char *name, double a, double b) {
        if (qAbs(a - b) > 1e-9)
            diffs << QString("%1: %2 instead of %3").arg(name).arg(a).arg(b);
    };
    volts("txAlarmVolt", got.txAlarmVolt, want.txAlarmVolt);
    volts("rxAlarmVolt", got.rxAlarmVolt, want.rxAlarmVolt);
    volts("extAlarmVolt", got.extAlarmVolt, want.extAlarmVolt);
    return diffs;
}

// A transmitter model that differs from the start store in every carried field.
void makeModel(quint32 seed, TxSettingsRecord &s, TxLiveDataRecord &d)
{
    QRandomGenerator g(seed);
    do {
        s = randomInRangeSettings(g);
    } while (s.rev[0] == TxSettings.rev[0]);
    d = startLiveData();
    d.txVersion = 40 + int(seed % 20);
}

// Opens the port the window offers first (the pty: the test ports are set
// before the window is built) and waits for the "OK".
void openOn(MainWindow &w, PtyPair &pty, FarEnd &far)
{
    QCOMPARE(w.form()->portNameBox->currentText(), pty.slavePath());
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(far.received.contains("OK"), 10000);
}

bool closedPortWritten(const LogCatcher &log)
{
    return log.contains("device not open") || log.contains("not open");
}

int envSeconds(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void cutFramesStillArrive_data();
    void cutFramesStillArrive();
    void garbageChangesNoSetting_data();
    void garbageChangesNoSetting();
    void deviceVanishing_data();
    void deviceVanishing();
    void liveFloodKeepsWindowResponsive();
};

enum class Cut { Split, Joined, Random, RandomWithLive };
Q_DECLARE_METATYPE(Cut)

void TestFaults::cutFramesStillArrive_data()
{
    QTest::addColumn<Cut>("cut");
    QTest::addColumn<quint32>("seed");
    const struct {
        const char *name;
        Cut cut;
    } kinds[] = {{"split in two", Cut::Split},
                 {"joined in pairs", Cut::Joined},
                 {"random pieces", Cut::Random},
                 {"random pieces among live frames", Cut::RandomWithLive}};
    for (const auto &k : kinds)
        for (quint32 seed : {1u, 2u, 3u})
            QTest::newRow(qPrintable(QString("%1, seed %2").arg(k.name).arg(seed))) << k.cut << seed;
}

// However the frames of a READ are cut and joined on their way, every setting
// arrives.
void TestFaults::cutFramesStillArrive()
{
    QFETCH(Cut, cut);
    QFETCH(quint32, seed);
    TxSettingsRecord model;
    TxLiveDataRecord modelLive;
    makeModel(seed, model, modelLive);
    const std::vector<QByteArray> frames = readAnswerFrames(model, modelLive);
    QRandomGenerator g(seed * 7919u);

    std::vector<QByteArray> chunks;
    QByteArray stream;
    TxLiveDataRecord live = startLiveData();
    for (size_t i = 0; i < frames.size(); ++i) {
        const QByteArray &f = frames[i];
        switch (cut) {
        case Cut::Split: {
            const int at = 1 + g.bounded(f.size() - 1);
            chunks.push_back(f.left(at));
            chunks.push_back(f.mid(at));
            break;
        }
        case Cut::Joined:
            if (i % 2 == 1)
                chunks.back() += f;
            else
                chunks.push_back(f);
            break;
        case Cut::Random:
            stream += f;
            break;
        case Cut::RandomWithLive:
            live.servo[i % 8] = 1000 + g.bounded(1001);
            stream += buildServoFrame(live) + f + buildTelemetryFrame(live);
            break;
        }
    }
    if (!stream.isEmpty())
        chunks = cutRandomly(g, stream, 30);

    MessageBoxCatcher boxes;
    PtyPair pty;
    FarEnd far(pty);
    setTestPorts({pty.slavePath()});
    MainWindow w;
    openOn(w, pty, far);
    if (QTest::currentTestFailed())
        return;
    // Every "RR" gets the same answer (a busy machine may ask again).
    far.answer = [&](int) { return chunks; };
    w.form()->toolButton_Read->click(); // runs the whole command, the far end answering meanwhile
    QCOMPARE(boxes.count(), 0);
    const QStringList diffs = carriedDifferences(model, modelLive);
    QVERIFY2(diffs.isEmpty(), qPrintable(diffs.join("; ")));
    if (cut == Cut::RandomWithLive)
        for (int i = 0; i < 8; ++i)
            QCOMPARE(TxLiveData.servo[i], live.servo[i]);
}

enum class Garbage { BeforeAnswer, BetweenFrames, GluedToFrames };
Q_DECLARE_METATYPE(Garbage)

void TestFaults::garbageChangesNoSetting_data()
{
    QTest::addColumn<Garbage>("where");
    QTest::addColumn<bool>("markers");
    QTest::addColumn<quint32>("seed");
    const struct {
        const char *name;
        Garbage where;
    } kinds[] = {{"a burst before the answer", Garbage::BeforeAnswer},
                 {"bursts between the frames", Garbage::BetweenFrames},
                 {"bursts glued to the frames", Garbage::GluedToFrames}};
    for (const auto &k : kinds)
        for (quint32 seed : {11u, 12u, 13u})
            for (bool markers : {false, true})
                QTest::newRow(qPrintable(
                    QString("%1, %2, seed %3").arg(k.name, markers ? "any byte" : "no 0xFE").arg(seed)))
                    << k.where << markers << seed;
}

// Random bytes on the line never change a setting. Bytes before an answer
// are skipped; the answer then counts once a second one carries the same
// frames. A frame with garbage right behind it is no frame the tool can
// confirm: when every frame has some, the READ tells the user that nothing
// was changed, and keeps the settings as they were. Bursts alone change no
// setting, and a READ afterwards brings the transmitter's settings whole.
void TestFaults::garbageChangesNoSetting()
{
    QFETCH(Garbage, where);
    QFETCH(bool, markers);
    QFETCH(quint32, seed);
    TxSettingsRecord model;
    TxLiveDataRecord modelLive;
    makeModel(seed, model, modelLive);
    const std::vector<QByteArray> frames = readAnswerFrames(model, modelLive);
    QRandomGenerator g(seed * 104729u);
    // Every answer has garbage of its own.
    const auto garbled = [&](int) {
        std::vector<QByteArray> chunks;
        if (where == Garbage::BeforeAnswer) {
            chunks.push_back(randomBytes(g, 1 + g.bounded(40), markers));
            chunks.insert(chunks.end(), frames.begin(), frames.end());
            return chunks;
        }
        for (const QByteArray &f : frames) {
            const QByteArray burst = randomBytes(g, 1 + g.bounded(40), markers);
            if (where == Garbage::GluedToFrames) {
                // In front of the frame and behind it, in the same write.
                chunks.push_back(burst + f + randomBytes(g, 1 + g.bounded(10), markers));
            } else {
                chunks.push_back(f);
                chunks.push_back(burst);
            }
        }
        return chunks;
    };

    MessageBoxCatcher boxes;
    PtyPair pty;
    FarEnd far(pty);
    setTestPorts({pty.slavePath()});
    MainWindow w;
    openOn(w, pty, far);
    if (QTest::currentTestFailed())
        return;
    const TxSettingsRecord before = TxSettings;
    far.answer = garbled;
    w.form()->toolButton_Read->click(); // runs the whole command, the far end answering meanwhile
    if (where == Garbage::BeforeAnswer) {
        // The first answer lost bytes: it counts once a second one agrees.
        QCOMPARE(boxes.count(), 0);
        QVERIFY(far.asks >= 2);
        const QStringList diffs = carriedDifferences(model, modelLive);
        QVERIFY2(diffs.isEmpty(), qPrintable(diffs.join("; ")));
    } else {
        QCOMPARE(far.asks, kReadAsks);
        QVERIFY2(boxes.onlyNotWholeNote(), qPrintable(boxes.lastText()));
        QVERIFY(TxSettings == before);
    }

    // Garbage alone, in bursts of every size.
    far.answer = nullptr;
    const TxSettingsRecord read = TxSettings;
    QTRY_VERIFY_WITH_TIMEOUT(far.idle(), 20000);
    std::vector<QByteArray> bursts;
    for (int i = 0; i < 200; ++i)
        bursts.push_back(randomBytes(g, 1 + g.bounded(64), markers));
    const int sent = far.written + int(bursts.size());
    far.send(bursts);
    QTRY_VERIFY_WITH_TIMEOUT(far.idle() && far.written == sent, 30000);
    QVERIFY(w.port().isOpen());
    QCOMPARE(w.form()->openButton->text(), QString("CLOSE"));
    QVERIFY(TxSettings == read);

    const int notes = boxes.count();
    far.answer = [&](int) { return frames; };
    w.form()->toolButton_Read->click();
    QCOMPARE(boxes.count(), notes);
    const QStringList diffs = carriedDifferences(model, modelLive);
    QVERIFY2(diffs.isEmpty(), qPrintable(diffs.join("; ")));
}

enum class Command { Read, Write, Reset, Save };
Q_DECLARE_METATYPE(Command)

void TestFaults::deviceVanishing_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("cutAfterLines");  // Write, Reset, Save: lines on the wire before the plug goes
    QTest::addColumn<int>("cutAfterFrames"); // Read: frames written before the plug goes (-1: after "RR")
    QTest::newRow("READ, right after RR") << Command::Read << -1 << -1;
    QTest::newRow("READ, after 5 of 19 frames") << Command::Read << -1 << 5;
    QTest::newRow("WRITE, after the S line") << Command::Write << 1 << -1;
    QTest::newRow("WRITE, after the G line") << Command::Write << 2 << -1;
    QTest::newRow("WRITE, after the H line") << Command::Write << 3 << -1;
    QTest::newRow("RESET, after the S line") << Command::Reset << 1 << -1;
    QTest::newRow("SAVE, after the S line") << Command::Save << 1 << -1;
    QTest::newRow("SAVE, after the H line") << Command::Save << 3 << -1;
}

// The device vanishing in the middle of a command: the window returns to the
// closed state and says so, the rest of the command writes nothing to the
// closed port, and a new device opens normally afterwards.
void TestFaults::deviceVanishing()
{
    QFETCH(Command, command);
    QFETCH(int, cutAfterLines);
    QFETCH(int, cutAfterFrames);
    TxSettingsRecord model;
    TxLiveDataRecord modelLive;
    makeModel(21, model, modelLive);
    const std::vector<QByteArray> frames = readAnswerFrames(model, modelLive);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("settings.txt");
    MessageBoxCatcher boxes;
    LogCatcher log;
    PtyPair pty, again; // the device that vanishes, and one plugged in beside it
    FarEnd far(pty), farAgain(again);
    setTestPorts({pty.slavePath(), again.slavePath()});
    MainWindow w;
    openOn(w, pty, far);
    if (QTest::currentTestFailed())
        return;
    MainWindowForm *ui = w.form();

    const auto lines = [](const QByteArray &b) {
        int n = 0;
        for (const char letter : {'S', 'G', 'H'}) {
            const int at = b.indexOf(letter);
            if (at >= 0 && b.size() >= at + kLineLength)
                ++n;
        }
        return n;
    };
    if (cutAfterLines > 0)
        far.cutWhen = [&](const QByteArray &b) { return lines(b) >= cutAfterLines; };
    if (command == Command::Read) {
        far.onRead.assign(frames.begin(), frames.end());
        far.cutAfterChunks = cutAfterFrames < 0 ? 0 : cutAfterFrames;
    }

    const TxSettingsRecord before = TxSettings;
    switch (command) {
    case Command::Read:
        ui->toolButton_Read->click();
        break;
    case Command::Write:
        ui->toolButton_Send->click();
        break;
    case Command::Reset:
        ui->toolButton_Reset->click();
        break;
    case Command::Save:
        answerNextFileDialog(file);
        ui->toolButton_Save->click();
        break;
    }
    // The command has run to its end (click() returns after its last pause).
    QVERIFY(far.cut);
    QTRY_COMPARE_WITH_TIMEOUT(ui->openButton->text(), QString("OPEN"), 10000);
    QVERIFY(!w.port().isOpen());
    QVERIFY(ui->portNameBox->isEnabled());
    int notes = 0;
    for (const auto &b : boxes.boxes)
        notes += b == qMakePair(QString("Note"), QString("The serial port was disconnected!"));
    QCOMPARE(notes, 1);
    QCOMPARE(boxes.count(), 1);
    QVERIFY2(!closedPortWritten(log), qPrintable(log.messages().join("\n")));
    for (int v : TxLiveData.servo)
        QCOMPARE(v, 1000);

    switch (command) {
    case Command::Read:
        // A part of an answer changes nothing.
        QVERIFY(TxSettings == before);
        break;
    case Command::Write:
        QCOMPARE(lineH, QString::fromLatin1(buildLine(LineKind::H, TxSettings)));
        break;
    case Command::Reset: {
        TxSettingsRecord factory = before;
        restData(factory);
        restData2(factory);
        factory.txAlarmRaw = voltsToTenths(factory.txAlarmVolt);
        factory.rxAlarmRaw = voltsToTenths(factory.rxAlarmVolt);
        factory.extAlarmRaw = voltsToTenths(factory.extAlarmVolt);
        QVERIFY(TxSettings == factory);
        break;
    }
    case Command::Save: {
        // The file is written all the same.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), (lineS + lineG + lineH).toLatin1());
        break;
    }
    }

    // A device plugged in again opens as before.
    // The list offered after the close holds the other device; it opens as before.
    const int other = ui->portNameBox->findText(again.slavePath());
    QVERIFY(other >= 0);
    ui->portNameBox->setCurrentIndex(other);
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(farAgain.received.contains("OK"), 10000);
    QCOMPARE(ui->openButton->text(), QString("CLOSE"));
}

// Live frames at the wire's limit (576 a second, in one write per 10 ms or
// so) for a while: the window still runs other events at once, the refresh
// still ticks, and the last frame's values arrive. TX_FLOOD_SECONDS sets the
// length (default 15); the figures go to the log.
void TestFaults::liveFloodKeepsWindowResponsive()
{
    const int seconds = envSeconds("TX_FLOOD_SECONDS", 15);
    PtyPair pty;
    FarEnd far(pty);
    setTestPorts({pty.slavePath()});
    MainWindow w;
    w.show();
    openOn(w, pty, far);
    if (QTest::currentTestFailed())
        return;
    QTimer *refresh = nullptr;
    for (QTimer *t : w.findChildren<QTimer *>())
        if (t->interval() == 100 && t->parent() == &w)
            refresh = t;
    QVERIFY(refresh);
    int ticks = 0;
    connect(refresh, &QTimer::timeout, this, [&ticks] { ++ticks; });

    TxLiveDataRecord live = startLiveData();
    qint64 frames = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer stream;
    stream.setTimerType(Qt::PreciseTimer);
    connect(&stream, &QTimer::timeout, this, [&] {
        // As many frames as the wire would have carried by now.
        const qint64 due = clock.elapsed() * 576 / 1000;
        QByteArray burst;
        for (; frames < due; ++frames) {
            if (frames % 2 == 0) {
                live.servo[(frames / 2) % 8] = 1000 + int(frames % 1001);
                live.txVolt = 1100 + int(frames % 100);
                burst += buildServoFrame(live);
            } else {
                live.rxRssi = int(frames % 100);
                burst += buildTelemetryFrame(live);
            }
        }
        if (!burst.isEmpty())
            pty.write(burst);
    });
    stream.start(5);

    qint64 worstLatency = 0;
    int probes = 0;
    while (clock.elapsed() < seconds * 1000) {
        bool fired = false;
        QElapsedTimer probe;
        probe.start();
        QTimer::singleShot(0, this, [&fired] { fired = true; });
        QTRY_VERIFY_WITH_TIMEOUT(fired, 5000);
        worstLatency = qMax(worstLatency, probe.elapsed());
        ++probes;
        waitFor([] { return false; }, 200);
    }
    stream.stop();
    const qint64 wall = clock.elapsed();
    const int ticksSeen = ticks;
    qInfo("flood: %lld frames (%lld bytes) in %lld ms, %d refresh ticks, %d probes, worst 0 ms timer "
          "latency %lld ms",
          frames, frames * kLiveFrameLength, wall, ticksSeen, probes, worstLatency);
    // The refresh kept running (unloaded it ticks ten times a second).
    QVERIFY2(ticksSeen >= int(wall / 1000), qPrintable(QString::number(ticksSeen)));
    QVERIFY(frames >= wall * 576 / 1000 - 576);
    // The last frames arrive and show.
    QTRY_COMPARE_WITH_TIMEOUT(TxLiveData.rxRssi, live.rxRssi, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(TxLiveData.txVolt, live.txVolt, 10000);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(TxLiveData.servo[i], live.servo[i]);
    QVERIFY(w.port().isOpen());
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
