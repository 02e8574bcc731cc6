#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "app/mainwindow.h"
#include "link/receive.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "sim/simprotocol.h"
#include "support/stores.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// What the window puts on the wire when a write sequence meets the window
// closing, its link closing and opening again, edits in its pauses, and a
// second write sequence: never a partial or mixed set of lines.

namespace {

// The tokens of what arrived: "OK", "DIS", "RR", "WWW", or a line's text.
QStringList tokens(QByteArray wire)
{
    std::vector<SimToken> out;
    takeSimTokens(wire, out);
    QStringList names;
    for (const SimToken &t : out)
        names << (t.kind == SimTokenKind::Line ? QString::fromLatin1(t.text) : simTokenName(t));
    return names;
}

QStringList lineTokens(const SettingsLines &l)
{
    return {QString::fromLatin1(l.s), QString::fromLatin1(l.g), QString::fromLatin1(l.h)};
}

int lineCount(const QByteArray &wire)
{
    int n = 0;
    for (const QString &t : tokens(wire))
        n += t.size() == 81;
    return n;
}

// Collects what the tool writes to the far end while the event loop runs,
// and runs `onBytes` after each read (tests act when a line has arrived).
struct Wire {
    PtyPair &pty;
    QByteArray bytes;
    std::function<void()> onBytes;
    QTimer timer;
    explicit Wire(PtyPair &p) : pty(p)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const QByteArray got = pty.read(0);
            if (got.isEmpty())
                return;
            bytes += got;
            if (onBytes)
                onBytes();
        });
        timer.start(5);
    }
    // Takes what is still on its way after the window is gone.
    void drain()
    {
        for (QByteArray got = pty.read(300); !got.isEmpty(); got = pty.read(300))
            bytes += got;
    }
};

QAbstractButton *button(MainWindow &w, const QString &name)
{
    return w.findChild<QAbstractButton *>(name);
}

// A random store as the window keeps it: the D/R edit mirrors follow the
// selected channel (the refresh would make them so within 100 ms).
TxSettingsRecord randomStore(quint32 seed)
{
    QRandomGenerator g(seed);
    TxSettingsRecord s = randomInRangeSettings(g);
    drDataSelect(s);
    return s;
}

TxSettingsRecord factory(TxSettingsRecord s)
{
    restData(s);
    restData2(s);
    return s;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSequences : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void closeWindowDuringSequence_data();
    void closeWindowDuringSequence();
    void reopenDuringSequence_data();
    void reopenDuringSequence();
    void editDuringSave_data();
    void editDuringSave();
    void nestedWriteSequences_data();
    void nestedWriteSequences();
    void nestedSavesKeepTheNewer_data();
    void nestedSavesKeepTheNewer();
    void closeDuringLoadLock();
};

void TestSequences::closeWindowDuringSequence_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("closeAfterLines"); // -1: during the button's lock
    QTest::newRow("WRITE after S") << "toolButton_Send" << 1;
    QTest::newRow("WRITE after G") << "toolButton_Send" << 2;
    QTest::newRow("RESET after S") << "toolButton_Reset" << 1;
    QTest::newRow("DATA RESET after G") << "pushButton_Reset2" << 2;
    QTest::newRow("SAVE after S") << "toolButton_Save" << 1;
    QTest::newRow("SAVE after H") << "toolButton_Save" << 3;
    QTest::newRow("WRITE during its lock") << "toolButton_Send" << -1;
}

// The program ends only after the running sequence has sent all of it.
void TestSequences::closeWindowDuringSequence()
{
    QFETCH(QString, buttonName);
    QFETCH(int, closeAfterLines);
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(3);
    const bool reset = buttonName.contains("Reset");
    const bool save = buttonName == "toolButton_Save";
    SettingsLines want;
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");

    auto *w = new MainWindow;
    w->show();
    clickOpen(*w);
    Wire wire(pty);
    QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));

    bool clicked = false;
    wire.onBytes = [&] {
        if (closeAfterLines > 0 && lineCount(wire.bytes) == closeAfterLines && w->isVisible())
            w->close();
    };
    if (save)
        answerNextFileDialog(file);
    QTimer::singleShot(0, [&] {
        TxSettingsRecord expected = reset ? factory(TxSettings) : TxSettings;
        want = buildSettingsLines(expected);
        button(*w, buttonName)->click();
        clicked = true;
    });
    if (closeAfterLines < 0)
        QTimer::singleShot(50, w, [w] { w->close(); });
    // The application quits by itself once the window is closed and the
    // sequence is done; the guard only keeps a failure from hanging.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(30000);
    const int exitCode = QApplication::exec();
    guard.stop();
    QCOMPARE(exitCode, 0);
    QVERIFY(clicked);
    delete w;
    wire.drain();

    QStringList expectedTokens{"OK"};
    if (closeAfterLines >= 0) {
        expectedTokens += lineTokens(want);
        if (!save)
            expectedTokens << "WWW";
    }
    QCOMPARE(tokens(wire.bytes), expectedTokens);
    if (save)
        QCOMPARE(fileBytes(file), want.s + want.g + want.h);
}

void TestSequences::reopenDuringSequence_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("reopenAfterLines");
    QTest::newRow("WRITE after S") << "toolButton_Send" << 1;
    QTest::newRow("WRITE after G") << "toolButton_Send" << 2;
    QTest::newRow("RESET after S") << "toolButton_Reset" << 1;
    QTest::newRow("SAVE after S") << "toolButton_Save" << 1;
}

// A command belongs to the link it started on: after CLOSE and OPEN in one of
// its pauses it sends nothing more.
void TestSequences::reopenDuringSequence()
{
    QFETCH(QString, buttonName);
    QFETCH(int, reopenAfterLines);
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(4);
    const bool save = buttonName == "toolButton_Save";
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");

    MainWindow w;
    clickOpen(w);
    Wire wire(pty);
    QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));
    TxSettingsRecord expected = buttonName.contains("Reset") ? factory(TxSettings) : TxSettings;
    const SettingsLines want = buildSettingsLines(expected);
    bool reopened = false;
    wire.onBytes = [&] {
        if (!reopened && lineCount(wire.bytes) == reopenAfterLines) {
            reopened = true;
            clickOpen(w); // CLOSE
            clickOpen(w); // OPEN
        }
    };
    if (save)
        answerNextFileDialog(file);
    button(w, buttonName)->click(); // returns when the command has ended
    QVERIFY(reopened);
    QCOMPARE(w.form()->openButton->text(), QString("CLOSE"));
    wire.bytes += readWhile(pty, 300);

    QStringList expectedTokens{"OK"};
    expectedTokens += lineTokens(want).mid(0, reopenAfterLines);
    expectedTokens << "DIS"
                   << "OK";
    QCOMPARE(tokens(wire.bytes), expectedTokens);
    if (save) // the file still holds the one state the SAVE started from
        QCOMPARE(fileBytes(file), want.s + want.g + want.h);
}

void TestSequences::editDuringSave_data()
{
    QTest::addColumn<int>("editAfterLines");
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("after S") << 1 << true;
    QTest::newRow("after G") << 2 << true;
    QTest::newRow("port closed") << 0 << false;
}

// The file SAVE writes is one state of the store, exactly the lines it sent;
// the edit stays in the store for the next write.
void TestSequences::editDuringSave()
{
    QFETCH(int, editAfterLines);
    QFETCH(bool, portOpen);
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(5);
    TxSettings.sub[0] = 10;
    TxSettings.thcure[3] = 40;
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");

    MainWindow w;
    if (portOpen)
        clickOpen(w);
    Wire wire(pty);
    if (portOpen)
        QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));
    TxSettingsRecord atClick = TxSettings;
    const SettingsLines want = buildSettingsLines(atClick);
    const auto edit = [&w] {
        w.findChild<QSpinBox *>("spinBox_sub1")->setValue(-20);
        w.findChild<QSpinBox *>("spinBox_THCURE_Data04")->setValue(70);
    };
    bool edited = false;
    wire.onBytes = [&] {
        if (!edited && lineCount(wire.bytes) == editAfterLines) {
            edited = true;
            edit();
        }
    };
    if (!portOpen)
        QTimer::singleShot(1200, &w, [&] { // inside the pauses of the lines
            edited = true;
            edit();
        });
    answerNextFileDialog(file);
    w.form()->toolButton_Save->click();
    QVERIFY(edited);
    QCOMPARE(fileBytes(file), want.s + want.g + want.h);
    if (portOpen) {
        wire.bytes += readWhile(pty, 200);
        QCOMPARE(tokens(wire.bytes), QStringList{"OK"} + lineTokens(want));
    } else {
        QVERIFY(wire.bytes.isEmpty());
    }
    QCOMPARE(TxSettings.sub[0], -20);
    QCOMPARE(TxSettings.thcure[3], 70);
    QCOMPARE(lineS, QString::fromLatin1(want.s));
}

void TestSequences::nestedWriteSequences_data()
{
    QTest::addColumn<QString>("outer");
    QTest::addColumn<QString>("inner");
    QTest::addColumn<int>("innerAfterLines");
    QTest::newRow("RESET in WRITE after S") << "toolButton_Send"
                                            << "toolButton_Reset" << 1;
    QTest::newRow("RESET in WRITE after G") << "toolButton_Send"
                                            << "toolButton_Reset" << 2;
    QTest::newRow("WRITE in DATA RESET") << "pushButton_Reset2"
                                         << "toolButton_Send" << 1;
    QTest::newRow("READ in WRITE") << "toolButton_Send"
                                   << "toolButton_Read" << 1;
    // SAVE sends lines only, but within a write it closes it with "WWW".
    QTest::newRow("SAVE in WRITE after S") << "toolButton_Send"
                                           << "toolButton_Save" << 1;
    QTest::newRow("SAVE in RESET after H") << "toolButton_Reset"
                                           << "toolButton_Save" << 3;
    QTest::newRow("SAVE in DATA RESET after G") << "pushButton_Reset2"
                                                << "toolButton_Save" << 2;
}

// The transmitter ends with one consistent, newest set: the outer sequence
// does not go on with its older lines after a nested one sent its set. READ
// is no write: its "RR"s (asked again, as nothing answers) fall between two
// lines, and it tells that nothing was changed.
void TestSequences::nestedWriteSequences()
{
    QFETCH(QString, outer);
    QFETCH(QString, inner);
    QFETCH(int, innerAfterLines);
    MessageBoxCatcher boxes;
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(6);
    MainWindow w;
    clickOpen(w);
    Wire wire(pty);
    QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));
    TxSettingsRecord outerState = outer.contains("Reset") ? factory(TxSettings) : TxSettings;
    const SettingsLines outerLines = buildSettingsLines(outerState);
    // A nested WRITE sends the store as the outer RESET left it.
    TxSettingsRecord innerState = inner.contains("Reset") ? factory(TxSettings) : outerState;
    const SettingsLines innerLines = buildSettingsLines(innerState);
    QTemporaryDir dir;
    bool nested = false;
    wire.onBytes = [&] {
        if (!nested && lineCount(wire.bytes) == innerAfterLines) {
            nested = true;
            if (inner == "toolButton_Save")
                answerNextFileDialog(dir.filePath("saved.txt"));
            QTimer::singleShot(0, &w, [&] { button(w, inner)->click(); });
        }
    };
    button(w, outer)->click();
    QVERIFY(nested);
    wire.bytes += readWhile(pty, 300);
    if (inner == "toolButton_Save")
        QCOMPARE(fileBytes(dir.filePath("saved.txt")), innerLines.s + innerLines.g + innerLines.h);

    QStringList expectedTokens{"OK"};
    if (inner == "toolButton_Read") {
        expectedTokens += lineTokens(outerLines);
        for (int ask = 0; ask < kReadAsks; ++ask)
            expectedTokens.insert(1 + innerAfterLines, "RR");
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.boxes[0].first, QString("Note"));
        QVERIFY2(boxes.lastText().endsWith("Nothing was changed."), qPrintable(boxes.lastText()));
    } else {
        QCOMPARE(boxes.count(), 0);
        expectedTokens += lineTokens(outerLines).mid(0, innerAfterLines);
        expectedTokens += lineTokens(innerLines);
    }
    expectedTokens << "WWW";
    QCOMPARE(tokens(wire.bytes), expectedTokens);
}

// A SAVE to a file during the pauses of an earlier SAVE to the same file:
// the file keeps the newer settings, which are also what the wire got last,
// whichever name (a symbolic link or the file's own) each SAVE used. A newer
// SAVE that could not write (the file-size limit, as a full disk) says so,
// and the earlier one then still writes its set.
void TestSequences::nestedSavesKeepTheNewer_data()
{
    QTest::addColumn<QString>("outerName");
    QTest::addColumn<QString>("innerName");
    QTest::addColumn<bool>("innerFails");
    QTest::newRow("one name") << "same.txt"
                              << "same.txt" << false;
    QTest::newRow("the earlier through a link") << "link.txt"
                                                << "same.txt" << false;
    QTest::newRow("the newer through a link") << "same.txt"
                                              << "link.txt" << false;
    QTest::newRow("the newer cannot write") << "same.txt"
                                            << "same.txt" << true;
}

void TestSequences::nestedSavesKeepTheNewer()
{
    QFETCH(QString, outerName);
    QFETCH(QString, innerName);
    QFETCH(bool, innerFails);
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(7);
    const SettingsLines older = buildSettingsLines(TxSettings);
    QTemporaryDir dir;
    const QString file = dir.filePath("same.txt");
    QVERIFY(QFile::link(file, dir.filePath("link.txt")));
    MessageBoxCatcher boxes;
    MainWindow w;
    clickOpen(w);
    Wire wire(pty);
    QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));
    SettingsLines newer;
    bool nested = false;
    wire.onBytes = [&] {
        if (!nested && lineCount(wire.bytes) == 1) {
            nested = true;
            w.findChild<QSpinBox *>("spinBox_sub1")->setValue(TxSettings.sub[0] == 33 ? 34 : 33);
            TxSettingsRecord now = TxSettings;
            newer = buildSettingsLines(now);
            answerNextFileDialog(dir.filePath(innerName));
            QTimer::singleShot(0, &w, [&] {
                rlimit before{}, limit{0, 0};
                ::getrlimit(RLIMIT_FSIZE, &before);
                limit.rlim_max = before.rlim_max;
                ::signal(SIGXFSZ, SIG_IGN);
                if (innerFails)
                    ::setrlimit(RLIMIT_FSIZE, &limit);
                w.form()->toolButton_Save->click();
                ::setrlimit(RLIMIT_FSIZE, &before);
            });
        }
    };
    answerNextFileDialog(dir.filePath(outerName));
    w.form()->toolButton_Save->click();
    QVERIFY(nested);
    wire.bytes += readWhile(pty, 300);
    const QStringList want = QStringList({"OK", QString::fromLatin1(older.s)}) + lineTokens(newer);
    QCOMPARE(tokens(wire.bytes), want);
    const SettingsLines kept = innerFails ? older : newer;
    QCOMPARE(fileBytes(file), kept.s + kept.g + kept.h);
    QVERIFY(QFileInfo(dir.filePath("link.txt")).isSymLink());
    QCOMPARE(boxes.count(), innerFails ? 1 : 0);
}

// Closing the window within LOAD's button lock, while a WRITE runs: no file
// dialog opens, and the WRITE goes on to its end.
void TestSequences::closeDuringLoadLock()
{
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    TxSettings = randomStore(8);
    const SettingsLines lines = buildSettingsLines(TxSettings);
    MainWindow window;
    MainWindow *w = &window;
    w->show();
    clickOpen(*w);
    Wire wire(pty);
    QVERIFY(waitFor([&] { return wire.bytes == "OK"; }, 10000));
    bool dialog = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            dialog = true;
            d->reject();
        }
    });
    watch.start(10);
    bool loaded = false;
    wire.onBytes = [&] {
        if (!loaded && lineCount(wire.bytes) == 1) {
            loaded = true;
            QTimer::singleShot(0, w, [w] { w->form()->toolButton_Load->click(); });
            QTimer::singleShot(50, w, [w] { w->close(); });
        }
    };
    w->form()->toolButton_Send->click();
    QVERIFY(waitFor([&] { return wire.bytes.endsWith("WWW") && lineCount(wire.bytes) == 3; }, 10000));
    QVERIFY(waitFor([&] { return dialog; }, 1500) == false);
    QCOMPARE(tokens(wire.bytes), QStringList{"OK"} + lineTokens(lines) + QStringList{"WWW"});
}

QTEST_MAIN(TestSequences)
#include "test_sequences.moc"
