#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "sim/virtualtransmitter.h"
#include "support/editors.h"
#include "support/stores.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

namespace {

const QByteArray kFactoryLines =
    "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y"
    "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z"
    "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b += char(v);
    return b;
}

// A byte array of n bytes: the given ones, then zeros.
QByteArray padded(const QByteArray &b, int n)
{
    return b + QByteArray(n - b.size(), '\0');
}

QByteArray settingsFrame(int type, std::initializer_list<int> payload, int last = 0xFE)
{
    return bytes({0xFE, 0x00, type}) + padded(bytes(payload), 8) + char(last);
}

QByteArray subFrame(int value)
{
    const int b = value + 120;
    return settingsFrame(0x55, {b, b, b, b, b, b, b, b});
}

QByteArray servoFrame()
{
    return padded(bytes({0xFE, 0x18, 0x05, 0xDC}), 20);
}

const QByteArray kAux = bytes({0xFE, 0x00, 0xAA, 1, 3, 0, 2, 0xFE});

// Lets the event loop run for ms without reading the port.
void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

// The window with its port open on a pseudo-terminal; "OK" already read.
struct Rig {
    PtyPair pty;
    std::unique_ptr<MainWindow> w;
    bool open()
    {
        if (!pty.isValid())
            return false;
        setTestPorts({pty.slavePath()});
        w = std::make_unique<MainWindow>();
        clickOpen(*w);
        return w->port().isOpen() &&
               readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }) == "OK";
    }
    MainWindowForm *ui() const { return w->form(); }
    // Clicks READ: settings frames are taken from now on, for one answer.
    bool ask()
    {
        ui()->toolButton_Read->click();
        return readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }) == "RR";
    }
    // Writes a chunk to the tool and returns its answer, once 3 bytes are back.
    QByteArray send(const QByteArray &chunk)
    {
        pty.write(chunk);
        return readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 3; });
    }
    void stopRefresh()
    {
        for (QTimer *t : w->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
            t->stop();
    }
};

// What the tool writes while a command runs, with the time each piece arrived.
struct Collector {
    PtyPair &pty;
    QElapsedTimer clock;
    QTimer timer;
    QByteArray data;
    QList<QPair<qint64, int>> arrivals; // (ms since start, offset in data)
    explicit Collector(PtyPair &p) : pty(p)
    {
        clock.start();
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start(5);
    }
    void poll()
    {
        const QByteArray got = pty.read(0);
        if (!got.isEmpty()) {
            arrivals.append({clock.elapsed(), data.size()});
            data += got;
        }
    }
    bool waitFor(int n)
    {
        return ::waitFor([&] { return data.size() >= n; }, 10000);
    }
    // When the byte at offset arrived (ms).
    qint64 timeOf(int offset) const
    {
        qint64 t = -1;
        for (const auto &a : arrivals)
            if (a.second <= offset)
                t = a.first;
        return t;
    }
};

// The tool's output cut into what it wrote: whole 81-byte lines, "RR", "WWW".
bool tokenize(const QByteArray &out, QList<QByteArray> &tokens)
{
    int i = 0;
    while (i < out.size()) {
        const char c = out.at(i);
        int len = 0;
        if (c == 'S' || c == 'G' || c == 'H')
            len = kLineLength;
        else if (c == 'R')
            len = 2;
        else if (c == 'W')
            len = 3;
        else
            return false;
        const QByteArray t = out.mid(i, len);
        if (t.size() != len)
            return false;
        if ((c == 'R' && t != "RR") || (c == 'W' && t != "WWW"))
            return false;
        if (len == kLineLength && !t.endsWith(c == 'S' ? "Y" : c == 'G' ? "6D2Z" : "0000X"))
            return false;
        tokens.append(t);
        i += len;
    }
    return true;
}

QAbstractButton *commandButton(MainWindowForm *ui, const QString &name)
{
    if (name == "toolButton_Read")
        return ui->toolButton_Read;
    if (name == "toolButton_Send")
        return ui->toolButton_Send;
    if (name == "toolButton_Reset")
        return ui->toolButton_Reset;
    return ui->pushButton_Reset2;
}

// The frame-carried fields in which two stores differ, as "type:byte".
QStringList carriedDiff(TxSettingsRecord a, TxSettingsRecord b)
{
    QStringList out;
    TxLiveDataRecord la = startLiveData(), lb = la; // txVersion is no setting
    std::vector<SettingsFrameLayout> layouts = settingsFrameLayouts();
    layouts.push_back(auxFrameLayout());
    for (const SettingsFrameLayout &l : layouts)
        for (const FrameField &f : l.fields)
            if (f.ref(a, la) != f.ref(b, lb))
                out << QString("%1:%2").arg(l.type, 2, 16).arg(f.pos);
    return out;
}

} // namespace

class TestDecoderWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetStore(); }

    // Every non-empty chunk is answered with exactly one "WWW".
    void answersEveryChunk_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::newRow("servo") << servoFrame();
        QTest::newRow("settings") << subFrame(30);
        QTest::newRow("aux") << kAux;
        QTest::newRow("three bytes") << bytes({1, 2, 3});
        QTest::newRow("bad end marker") << settingsFrame(0x55, {1}, 0x00);
        QTest::newRow("unknown type") << settingsFrame(0x50, {});
        QTest::newRow("two frames") << subFrame(10) + kAux;
    }
    void answersEveryChunk()
    {
        QFETCH(QByteArray, chunk);
        Rig r;
        QVERIFY(r.open());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(r.send(chunk), QByteArray("WWW"));
        QCOMPARE(readWhile(r.pty, 300), QByteArray()); // nothing more
    }

    void storeChangesThenValidated()
    {
        Rig r;
        QVERIFY(r.open());
        QVERIFY(r.ask());
        r.send(subFrame(40));
        QCOMPARE(TxSettings.sub[0], 40);
        QCOMPARE(TxSettings.sub[7], 40);
        // A sub-trim byte of 0 decodes to -120, and validation puts it back to 0.
        QVERIFY(r.ask());
        r.send(settingsFrame(0x55, {0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(TxSettings.sub[3], 0);
        // The D/R mirrors follow a D/R frame at once.
        TxSettings.drCh = 1;
        r.send(settingsFrame(0xA5, {90, 80, 70, 60, 50, 40, 30, 20}));
        QCOMPARE(TxSettings.drUp[1], 80);
        QCOMPARE(TxSettings.drUpEdit, 80);
        QCOMPARE(TxSettings.drDownEdit, 40);
        r.send(servoFrame());
        QCOMPARE(TxLiveData.servo[0], 1500);
    }

    void splitAndJoinedThroughThePort()
    {
        Rig r;
        QVERIFY(r.open());
        const QByteArray f = settingsFrame(0xA1, {2, 10, 20, 30, 40, 50, 60});
        QVERIFY(r.ask());
        QCOMPARE(r.send(f.left(5)), QByteArray("WWW"));
        QCOMPARE(TxSettings.attiM, 4); // not yet
        // Judged once the next frame begins.
        QCOMPARE(r.send(f.mid(5) + servoFrame().left(2)), QByteArray("WWW"));
        QCOMPARE(TxSettings.attiM, 2);
        QCOMPARE(TxSettings.atti[5], 60);

        QVERIFY(r.ask());
        QCOMPARE(r.send(subFrame(-20) + settingsFrame(0xA4, {1, 2, 3, 4, 5, 6, 7, 8}) + servoFrame()),
                 QByteArray("WWW"));
        QCOMPARE(TxSettings.sub[2], -20);
        QCOMPARE(TxSettings.delay[7], 8);
    }

    // A 12-byte frame shows in the editors at once; the AUX frame waits for
    // the refresh timer.
    void settingsFrameRefreshesAtOnce()
    {
        Rig r;
        QVERIFY(r.open());
        r.stopRefresh();
        QSpinBox *sub1 = r.ui()->spinBox_sub1;
        QComboBox *aux5 = r.ui()->comboBox_AUX5;
        QCOMPARE(sub1->value(), 0);
        QVERIFY(r.ask());
        r.send(subFrame(55));
        QCOMPARE(sub1->value(), 55);

        const int auxBefore = aux5->currentIndex();
        r.send(bytes({0xFE, 0x00, 0xAA, 4, 3, 0, 2, 0xFE}));
        QCOMPARE(TxSettings.aux[0], 4);
        QCOMPARE(aux5->currentIndex(), auxBefore);

        // An unknown type refreshes too: the AUX value now shows.
        r.send(settingsFrame(0x50, {}));
        QCOMPARE(aux5->currentIndex(), 4);
    }

    void emptyReadWritesNothing()
    {
        Rig r;
        QVERIFY(r.open());
        const TxSettingsRecord before = TxSettings;
        QVERIFY(QMetaObject::invokeMethod(r.w.get(), "serialPort_readyRead"));
        QCOMPARE(readWhile(r.pty, 300), QByteArray());
        QVERIFY(TxSettings == before);
    }

    void readFlagLogged_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<int>("readFlag");
        QTest::newRow("V-tail") << settingsFrame(0xA3, {1, 100, 100, 100, 100, 0}) << "ReadFlag:10" << 10;
        QTest::newRow("aux") << kAux << "ReadFlag:7" << 7;
        QTest::newRow("last") << settingsFrame(0xAC, {100, 100, 100, 100, 100, 100, 100, 100})
                              << "ReadFlag:19" << 19;
        QTest::newRow("live") << servoFrame() << "" << 0;
        QTest::newRow("unknown type") << settingsFrame(0x50, {}) << "" << 0;
    }
    void readFlagLogged()
    {
        QFETCH(QByteArray, chunk);
        QFETCH(QString, message);
        QFETCH(int, readFlag);
        Rig r;
        QVERIFY(r.open());
        QVERIFY(r.ask());
        LogCatcher log;
        r.send(chunk);
        QCOMPARE(TxLiveData.readFlag, readFlag);
        int flags = 0;
        for (const QString &m : log.messages())
            if (m.startsWith("ReadFlag:"))
                ++flags;
        if (message.isEmpty()) {
            QCOMPARE(flags, 0);
        } else {
            QCOMPARE(flags, 1);
            QVERIFY(log.messages().contains(message));
        }
    }

    void commandsPortClosed_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("READ") << "toolButton_Read";
        QTest::newRow("WRITE") << "toolButton_Send";
        QTest::newRow("RESET") << "toolButton_Reset";
        QTest::newRow("DATA RESET") << "pushButton_Reset2";
    }
    void commandsPortClosed()
    {
        QFETCH(QString, button);
        PtyPair pty;
        QVERIFY(pty.isValid());
        setTestPorts({pty.slavePath()});
        MainWindow w;
        setDistinctValues(w, 1);
        const TxSettingsRecord before = TxSettings;
        const QString s = lineS, g = lineG, h = lineH;
        MessageBoxCatcher boxes;
        QAbstractButton *b = commandButton(w.form(), button);
        QElapsedTimer t;
        t.start();
        b->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 5000);
        QVERIFY(t.elapsed() >= 180);
        QCOMPARE(boxes.boxes[0].first, QString("Note"));
        QCOMPARE(boxes.boxes[0].second, QString("Please open the serial port!"));
        QVERIFY(b->isEnabled());
        QVERIFY(TxSettings == before);
        QCOMPARE(lineS, s);
        QCOMPARE(lineG, g);
        QCOMPARE(lineH, h);
        QCOMPARE(readWhile(pty, 200), QByteArray());
    }

    void readWritesRR()
    {
        Rig r;
        QVERIFY(r.open());
        Collector out(r.pty);
        QElapsedTimer t;
        t.start();
        r.ui()->toolButton_Read->click();
        QVERIFY(t.elapsed() >= 650); // 200 ms lock, then 500 ms after "RR"
        settle(200);
        out.poll();
        QCOMPARE(out.data, QByteArray("RR"));
        QVERIFY(out.timeOf(0) >= 180);
    }

    // WRITE sends S, G and H about 800 ms apart and then "WWW"; a second
    // click within its first 200 ms does nothing.
    void writeSendsThreeLines()
    {
        Rig r;
        QVERIFY(r.open());
        setDistinctValues(*r.w, 2);
        TxSettings.txAlarmVolt = 11.1;
        Collector out(r.pty);
        QTimer::singleShot(100, [&] { r.ui()->toolButton_Send->click(); });
        r.ui()->toolButton_Send->click();
        QVERIFY(out.waitFor(246));
        settle(300);
        out.poll();
        QCOMPARE(out.data.size(), 246);
        QCOMPARE(QString::fromLatin1(out.data.mid(0, 81)), lineS);
        QCOMPARE(QString::fromLatin1(out.data.mid(81, 81)), lineG);
        QCOMPARE(QString::fromLatin1(out.data.mid(162, 81)), lineH);
        QCOMPARE(out.data.mid(243), QByteArray("WWW"));
        QCOMPARE(lineS.mid(77, 2), QString("7F"));
        QCOMPARE(TxSettings.txAlarmRaw, 111);
        // Lower bounds only: the pauses are at least what they should be.
        QVERIFY(out.timeOf(0) >= 180);
        QVERIFY(out.timeOf(81) - out.timeOf(0) >= 700);
        QVERIFY(out.timeOf(162) - out.timeOf(81) >= 700);
        QVERIFY(out.timeOf(243) - out.timeOf(162) >= 700);
    }

    // A READ whose answer comes amid the live stream, all of it cut as an
    // adapter cuts it (pieces of 1..24 bytes, free bytes random); asked again
    // while a frame is missing, as a user would. The WRITE after it sends the
    // model read: the transmitter's memory stays as it was.
    void writeAfterCutReadSendsTheModel()
    {
        VirtualTransmitter tx;
        QRandomGenerator g(31);
        const TxSettingsRecord model = randomInRangeSettings(g);
        tx.setSettings(model);
        tx.setSeed(31);
        tx.setLiveInterval(0);
        tx.setLiveDuringDump(true);
        tx.setCut(24);
        tx.setRandomFreeBytes(true);
        setTestPorts({tx.slavePath()});
        MainWindow w;
        clickOpen(w);
        QTRY_VERIFY_WITH_TIMEOUT(tx.isStreaming(), 10000);
        for (int read = 0; read < 4 && !carriedDiff(TxSettings, model).isEmpty(); ++read) {
            const int dumps = tx.dumpsCompleted();
            w.form()->toolButton_Read->click();
            QTRY_VERIFY_WITH_TIMEOUT(tx.dumpsCompleted() > dumps && !tx.isDumping(), 20000);
            waitFor([&] { return carriedDiff(TxSettings, model).isEmpty(); }, 3000);
        }
        QVERIFY2(carriedDiff(TxSettings, model).isEmpty(),
                 qPrintable(carriedDiff(TxSettings, model).join(' ')));
        w.form()->toolButton_Send->click();
        QTRY_VERIFY_WITH_TIMEOUT(!tx.lastLine(LineKind::H).isEmpty(), 10000);
        QVERIFY2(carriedDiff(tx.settings(), model).isEmpty(),
                 qPrintable(carriedDiff(tx.settings(), model).join(' ')));
    }

    // Frames arriving during a WRITE are answered between the lines, never
    // inside one.
    void writeWithTrafficKeepsLinesWhole()
    {
        Rig r;
        QVERIFY(r.open());
        Collector out(r.pty);
        QTimer feeder;
        int fed = 0;
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            r.pty.write(servoFrame());
            ++fed;
        });
        feeder.start(37);
        r.ui()->toolButton_Send->click();
        feeder.stop();
        settle(300);
        out.poll();
        QList<QByteArray> tokens;
        QVERIFY2(tokenize(out.data, tokens), out.data.constData());
        QStringList lines;
        int answers = 0;
        for (const QByteArray &t : tokens) {
            if (t.size() == kLineLength)
                lines << QString::fromLatin1(t);
            else
                ++answers;
        }
        QCOMPARE(lines, (QStringList{lineS, lineG, lineH}));
        QVERIFY(fed > 10);
        QVERIFY(answers >= 2 && answers <= fed + 1);
        QCOMPARE(tokens.last(), QByteArray("WWW"));
    }

    // RESET and DATA RESET send the factory lines whatever the settings were.
    void resetSendsFactoryLines_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("seed");
        QTest::newRow("RESET") << "toolButton_Reset" << 1;
        QTest::newRow("DATA RESET") << "pushButton_Reset2" << 2;
    }
    void resetSendsFactoryLines()
    {
        QFETCH(QString, button);
        QFETCH(int, seed);
        Rig r;
        QVERIFY(r.open());
        setDistinctValues(*r.w, seed);
        Collector out(r.pty);
        commandButton(r.ui(), button)->click();
        QVERIFY(out.waitFor(246));
        settle(300);
        out.poll();
        QCOMPARE(out.data, kFactoryLines + "WWW");
        QCOMPARE(TxSettings.sub[0], 0);
        QCOMPARE(TxSettings.txAlarmVolt, 3.7);
        QCOMPARE(TxSettings.stkMode, 2);
        QCOMPARE(TxSettings.rssiAlarm, -100);
    }

    // READ clicked while a WRITE pauses puts "RR" between two lines.
    void readDuringWrite()
    {
        Rig r;
        QVERIFY(r.open());
        Collector out(r.pty);
        QTimer::singleShot(1300, [&] { r.ui()->toolButton_Read->click(); });
        r.ui()->toolButton_Send->click();
        settle(300);
        out.poll();
        QList<QByteArray> tokens;
        QVERIFY2(tokenize(out.data, tokens), out.data.constData());
        QStringList kinds;
        for (const QByteArray &t : tokens)
            kinds << QString::fromLatin1(t.left(t.size() == kLineLength ? 1 : 3));
        // Nominally it falls in the pause after the G line; on a busy machine
        // it may fall in another pause, but always between two writes.
        const int rr = kinds.indexOf("RR");
        QVERIFY2(rr > 0 && rr < kinds.size() - 1, qPrintable(kinds.join(' ')));
        kinds.removeAt(rr);
        QCOMPARE(kinds, (QStringList{"S", "G", "H", "WWW"}));
    }
};

QTEST_MAIN(TestDecoderWindow)
#include "test_decoder_window.moc"
