#include <QTemporaryDir>
#include <QtTest>

#include "link/frames.h"
#include "link/lines.h"
#include "sim/pty.h"
#include "sim/virtualtransmitter.h"
#include "support/programs.h"
#include "support/stores.h"
#include "support/testutil.h"

// The history txctl keeps of the transmitter's settings, the real program
// against the virtual transmitter, with a history folder of the test's own.

namespace {

// txctl with XDG_DATA_HOME = `home`, on an optional recorded pty.
ProgramRun txctl(const QString &home, const QStringList &args, PtyPair *pty = nullptr, Wire *wire = nullptr)
{
    RunOptions options;
    options.dataHome = home;
    options.pty = pty;
    options.wire = wire;
    options.respond = [](const QByteArray &w, PtyPair &p) { // switched on, but deaf to "RR"
        if (w == "OK")
            p.write(buildServoFrame(startLiveData()));
    };
    return runProgram(QStringLiteral(TXCTL_PATH), args, options);
}

QString folderOf(const QString &home)
{
    return home + "/txconfig/history";
}

// The entries' file names, newest first.
QStringList entries(const QString &home)
{
    return QDir(folderOf(home)).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::Reversed);
}

QByteArray entry(const QString &home, int n)
{
    return readFile(folderOf(home) + '/' + entries(home).value(n - 1));
}

} // namespace

class TestCliHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("txsim.info=false\ndefault.debug=false"); }
    void aWriteIsUndoneInOneCommand();
    void nothingGoesOutWithoutTheBackup_data();
    void nothingGoesOutWithoutTheBackup();
    void historyReferences_data();
    void historyReferences();
    void keepsAThousandEntries();
    void twoAtOnceLoseNothing();
};

void TestCliHistory::aWriteIsUndoneInOneCommand()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    QRandomGenerator g(21);
    tx.setSettings(randomInRangeSettings(g));
    QTemporaryDir home, other;
    // What the transmitter holds, read into a history of another user.
    const QString oldFile = other.filePath("old.txt"), newFile = other.filePath("new.txt");
    QCOMPARE(txctl(other.path(), {"read", "-q", tx.slavePath(), "-o", oldFile}).status, 0);
    const QByteArray oldBytes = readFile(oldFile), newBytes = settingsFileOf(randomInRangeSettings(g));
    QVERIFY(writeFile(newFile, newBytes) && oldBytes.size() == 243 && oldBytes != newBytes);

    QCOMPARE(txctl(home.path(), {"write", "-q", tx.slavePath(), newFile}).status, 0);
    const QStringList names = entries(home.path());
    QCOMPARE(names.size(), 2);
    QVERIFY2(names[0].contains(QRegularExpression("^\\d{8}T\\d{6}\\.\\d{3}Z-written-pts_\\d+-\\d+\\.txt$")),
             qPrintable(names[0]));
    QVERIFY2(names[1].contains("Z-before-write-pts_"), qPrintable(names[1]));
    // "written" holds what went out (LOAD derives the D/R edit copy again).
    const QByteArray sent = tx.lastLine(LineKind::S) + tx.lastLine(LineKind::G) + tx.lastLine(LineKind::H);
    QCOMPARE(sent.left(kLineLength), newBytes.left(kLineLength));
    QCOMPARE(entry(home.path(), 1), sent);
    QCOMPARE(entry(home.path(), 2), oldBytes);
    const ProgramRun listed = txctl(home.path(), {"history"});
    QVERIFY2(QString(listed.out)
                 .contains(QRegularExpression("^@1  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  written       "
                                              "pts_\\d+  \\d+ settings? differs? "
                                              "from @2\n@2  .*  before write  pts_\\d+  the oldest\n$")),
             listed.out.constData());

    // One command back: the old lines on the wire, byte for byte.
    QCOMPARE(txctl(home.path(), {"write", "-q", tx.slavePath(), "@2"}).status, 0);
    QCOMPARE(tx.lastLine(LineKind::S) + tx.lastLine(LineKind::G) + tx.lastLine(LineKind::H), oldBytes);
    // It kept what it replaced too (as read: the D/R edit copy no frame
    // carries is the start one).
    QCOMPARE(entries(home.path()).size(), 4);
    QVERIFY(entries(home.path())[1].contains("-before-write-"));
    QCOMPARE(entry(home.path(), 1), oldBytes);
    QVERIFY(entries(home.path())[0].contains("-written-"));
    QCOMPARE(txctl(home.path(), {"diff", "-q", "@1", oldFile}).status, 0);
}

void TestCliHistory::nothingGoesOutWithoutTheBackup_data()
{
    QTest::addColumn<QStringList>("args"); // PORT, FILE
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("kept"); // the entries' events, newest first
    QTest::newRow("write --no-backup")
        << QStringList{"write", "PORT", "FILE", "--no-backup"} << 0 << QStringList{"written"};
    QTest::newRow("reset --no-backup")
        << QStringList{"reset", "PORT", "--yes", "--no-backup"} << 0 << QStringList{"reset"};
    QTest::newRow("write, backup unanswered")
        << QStringList{"write", "PORT", "FILE", "--timeout", "1"} << 2 << QStringList{};
    QTest::newRow("reset, backup unanswered") << QStringList{"reset", "PORT", "--yes"} << 2 << QStringList{};
}

void TestCliHistory::nothingGoesOutWithoutTheBackup()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QStringList, kept);
    PtyPair pty;
    QTemporaryDir home;
    QVERIFY(pty.isValid() && home.isValid());
    QRandomGenerator g(5);
    const QString file = home.filePath("model.txt");
    QVERIFY(writeFile(file, settingsFileOf(randomInRangeSettings(g))));
    args.replaceInStrings("PORT", pty.slavePath()).replaceInStrings("FILE", file);
    Wire wire;
    const ProgramRun r = txctl(home.path(), args, &pty, &wire);
    QCOMPARE(r.status, status);
    QStringList events;
    for (const QString &name : entries(home.path()))
        events << name.section('-', 1, -3).section("-pts", 0, 0).replace('-', ' ');
    QCOMPARE(events, kept);
    if (status == 0) { // sent without a single "RR"
        QVERIFY2(!wire.bytes.contains("RR") && wire.bytes.contains("WWWDIS"), wire.bytes.constData());
        return;
    }
    QVERIFY2(QRegularExpression("^OKWWW(RR)+DIS$").match(wire.bytes).hasMatch(), wire.bytes.constData());
    QVERIFY2(r.err.endsWith(QString("; nothing sent (txctl %1 --no-backup goes on without this backup)\n")
                                .arg(args[0])
                                .toUtf8()),
             r.err.constData());
    QCOMPARE(r.err.count("txctl: "), 1);
}

void TestCliHistory::historyReferences_data()
{
    QTest::addColumn<QStringList>("args"); // two entries kept: @2 factory, @1 with CH1 sub-trim 5
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // standard output, or the error line
    QTest::newRow("diff @2 @1") << QStringList{"diff", "@2", "@1"} << 1 << "BASIC / SUB-TRIM / CH1: 0 -> 5\n";
    QTest::newRow("export @01") << QStringList{"export", "@01"} << 0 << "\"basic.subTrim.ch1\": 5,";
    QTest::newRow("@0") << QStringList{"show", "@0"} << 2
                        << "txctl: @0: not a history entry (@1 is the newest, @2 the one before; txctl "
                           "history lists them)\n";
    QTest::newRow("@x") << QStringList{"diff", "@1", "@x"} << 2 << "txctl: @x: not a history entry";
    QTest::newRow("@-1") << QStringList{"show", "@-1"} << 2 << "txctl: @-1: not a history entry";
    QTest::newRow("past the oldest") << QStringList{"sheet", "@3", "-o", "OUT"} << 2
                                     << "txctl: @3: the history holds 2 entries (txctl history lists them)\n";
    QTest::newRow("write, past the oldest")
        << QStringList{"write", "PORT", "@3"} << 2 << "txctl: @3: the history holds 2 entries";
}

void TestCliHistory::historyReferences()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir home;
    PtyPair pty;
    QVERIFY(QDir().mkpath(folderOf(home.path())) && pty.isValid());
    TxSettingsRecord s = factorySettings();
    QVERIFY(writeFile(folderOf(home.path()) + "/20261209T061502.000Z-read-ttyUSB0-1.txt", settingsFileOf(s)));
    s.sub[0] = 5;
    QVERIFY(writeFile(folderOf(home.path()) + "/20261209T061502.000Z-written-ttyUSB0-2-1.txt",
                      settingsFileOf(s)));
    args.replaceInStrings("OUT", home.filePath("out.pdf")).replaceInStrings("PORT", pty.slavePath());
    Wire wire;
    const ProgramRun r = txctl(home.path(), args, &pty, &wire);
    QCOMPARE(r.status, status);
    QVERIFY2((status == 2 ? r.err : r.out).contains(said.toUtf8()), (r.out + r.err).constData());
    QVERIFY(wire.bytes.isEmpty() && !QFile::exists(home.filePath("out.pdf")));
}

// The bound: with 1,000 entries kept, a read drops the oldest.
void TestCliHistory::keepsAThousandEntries()
{
    VirtualTransmitter tx;
    QTemporaryDir home;
    QVERIFY(tx.isValid() && QDir().mkpath(folderOf(home.path())));
    const QByteArray factory = settingsFileOf(factorySettings());
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 1000; ++i)
        QVERIFY(writeFile(folderOf(home.path()) +
                              start.addSecs(i).toString("/yyyyMMdd'T'HHmmss'.000Z-read-x-1.txt'"),
                          factory));
    const ProgramRun r = txctl(home.path(), {"read", "-q", tx.slavePath(), "-o", home.filePath("m.txt")});
    QCOMPARE(r.status, 0);
    const QStringList names = entries(home.path());
    QCOMPARE(names.size(), 1000);
    QVERIFY(names.first().contains("-read-pts_"));
    QCOMPARE(entry(home.path(), 1), readFile(home.filePath("m.txt")));
    QCOMPARE(names.last(), QString("20260101T000001.000Z-read-x-1.txt"));
    QVERIFY(txctl(home.path(), {"history"}).out.startsWith("@1    "));
}

// Two txctl at once, one history: both entries whole.
void TestCliHistory::twoAtOnceLoseNothing()
{
    VirtualTransmitter a, b;
    QTemporaryDir home;
    QVERIFY(a.isValid() && b.isValid());
    QRandomGenerator g(8);
    a.setSettings(randomInRangeSettings(g));
    RunOptions options;
    options.dataHome = home.path();
    const QString script = "\"$0\" read -q \"$1\" -o \"$2\" & \"$0\" read -q \"$3\" -o \"$4\"; wait";
    const ProgramRun r = runProgram(
        "/bin/sh",
        {"-c", script, TXCTL_PATH, a.slavePath(), home.filePath("a"), b.slavePath(), home.filePath("b")},
        options);
    QCOMPARE(r.status, 0);
    QStringList kept{readFile(home.filePath("a")), readFile(home.filePath("b"))},
        found{entry(home.path(), 1), entry(home.path(), 2)};
    kept.sort();
    found.sort();
    QCOMPARE(entries(home.path()).size(), 2);
    QCOMPARE(found, kept);
}

QTEST_GUILESS_MAIN(TestCliHistory)
#include "test_cli_history.moc"
