#include <QtTest>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file/settingsjson.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/catalogue.h"
#include "support/programs.h"
#include "support/stores.h"

// txctl's file commands, run as the real program on real files: show, diff,
// export, import and sheet, their exit statuses and their one-line errors.
class TestCliFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void show();
    void exportImportIsByteIdentical();
    void diff();
    void badSettingsFiles_data();
    void badSettingsFiles();
    void mirrorsAreANote();
    void theDrCopyOfChannel4IsData();
    void importWritesNothingOnError_data();
    void importWritesNothingOnError();
    void writeFailureKeepsTheOldFile_data();
    void writeFailureKeepsTheOldFile();
    void outputIntoAPipe_data();
    void outputIntoAPipe();
    void usage_data();
    void usage();
    void sheet();

private:
    using Run = ProgramRun;
    Run txctl(const QStringList &args);
    QString path(const QString &name) const { return dir.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes);

    QTemporaryDir dir;
    QString factoryFile, randomFile;
};

TestCliFile::Run TestCliFile::txctl(const QStringList &args)
{
    RunOptions options;
    options.workingDirectory = dir.path();
    return runProgram(TXCTL_PATH, args, options);
}

QString TestCliFile::write(const QString &name, const QByteArray &bytes)
{
    return writeFile(path(name), bytes) ? path(name) : QString();
}

void TestCliFile::initTestCase()
{
    QVERIFY(dir.isValid());
    factoryFile = write("factory.txt", settingsFileOf(factorySettings()));
    QRandomGenerator g(7);
    randomFile = write("random.txt", settingsFileOf(catalogueValuesOnly(randomInRangeSettings(g))));
    QVERIFY(!factoryFile.isEmpty() && !randomFile.isEmpty());
}

void TestCliFile::show()
{
    const Run r = txctl({"show", factoryFile});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QByteArray());
    const QList<QByteArray> lines = r.out.split('\n');
    // A line per page, group and setting (and a blank line between pages).
    int values = 0;
    for (const QByteArray &line : lines)
        values += line.startsWith("    ");
    QCOMPARE(values, int(settingsCatalogue().size()));
    for (const char *line : {"BASIC", "  SUB-TRIM", "    CH3:            REV", "    POINT4:         50 %",
                             "    TX-Alarm:       3.7 V", "    Rssi-Alarm:     -100 dBm", "  VERSION / MODE"})
        QVERIFY2(lines.contains(line), line);

    const Run json = txctl({"show", "--json", randomFile});
    QCOMPARE(json.status, 0);
    QCOMPARE(json.out, txctl({"export", randomFile}).out);
}

void TestCliFile::exportImportIsByteIdentical()
{
    for (const QString &file : {factoryFile, randomFile}) {
        const QString json = path("out.json"), back = path("back.txt");
        QCOMPARE(txctl({"export", file, "-o", json}).status, 0);
        const Run r = txctl({"import", json, "-o", back});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out + r.err, QByteArray());
        QCOMPARE(readFile(back), readFile(file));
        // A document is a SOURCE as well.
        QCOMPARE(txctl({"diff", file, json}).status, 0);
    }
}

void TestCliFile::diff()
{
    TxSettingsRecord s = factorySettings();
    s.sub[2] = 7;
    s.prm[1].master = 3;
    s.rxAlarmVolt = 5.5;
    const QString changed = write("changed.txt", settingsFileOf(s));
    const Run same = txctl({"diff", factoryFile, factoryFile});
    QCOMPARE(same.status, 0);
    QCOMPARE(same.out, QByteArray());
    const Run differ = txctl({"diff", factoryFile, changed});
    QCOMPARE(differ.status, 1);
    QCOMPARE(differ.out, QByteArray("BASIC / SUB-TRIM / CH3: 0 -> 7\n"
                                    "PROG.MIX / PROG.MIX2 / MAS: CH2 -> CH4\n"
                                    "SYSTEM / ALARM / RX-Alarm: 4.0 V -> 5.5 V\n"));
    // A file handed over as /dev/stdin (or the shell's <(...), /dev/fd/N) is
    // a file, not a port.
    RunOptions fromStdin;
    fromStdin.standardInput = changed;
    const ProgramRun piped = runProgram(TXCTL_PATH, {"diff", factoryFile, "/dev/stdin"}, fromStdin);
    QCOMPARE(piped.status, 1);
    QCOMPARE(piped.out, differ.out);
    const ProgramRun dash = runProgram(TXCTL_PATH, {"diff", factoryFile, "-"}, fromStdin);
    QCOMPARE(dash.out, differ.out);
    const Run missing = txctl({"diff", factoryFile, path("nothing.txt")});
    QCOMPARE(missing.status, 2);
    QCOMPARE(missing.err, QByteArray("txctl: " + path("nothing.txt").toUtf8() + ": no such file or port\n"));
}

void TestCliFile::badSettingsFiles_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("bytes"); // put at `at`; at -1 appends, at -2 takes as many off the end
    QTest::addColumn<QString>("message");
    QTest::newRow("too short") << -2 << QByteArray("X")
                               << "not a settings file: 242 bytes, a settings file has exactly 243";
    QTest::newRow("S letter") << 0 << QByteArray("s") << "the S line is not in place (byte 0 must hold \"S\"";
    QTest::newRow("Z letter") << 161 << QByteArray("Y")
                              << "the G line is not in place (byte 81 must hold \"G\"";
    QTest::newRow("X letter") << 242 << QByteArray(" ")
                              << "the H line is not in place (byte 162 must hold \"H\"";
    // S line bytes 9-10: sub-trim CH1 as value + 120; "E0" is 224 - 120 = 104.
    QTest::newRow("out of range") << 9 << QByteArray("E0")
                                  << "BASIC / SUB-TRIM / CH1: holds 104, outside -100..100";
    // Rev CH1 at byte 1: "Z" reads as 0, which is no value SAVE writes as "Z".
    QTest::newRow("not a number") << 1 << QByteArray("Z")
                                  << "BASIC / REVERSE / CH1: (byte 1, S line position 1) is \"Z\", which is "
                                     "not a value as SAVE writes it";
    // Not "holds -120, outside -100..100": what stands there.
    QTest::newRow("no hex digit") << 10 << QByteArray("G")
                                  << "BASIC / SUB-TRIM / CH1: (bytes 9-10, S line positions 9-10) is \"7G\"";
    // Control bytes: the loader sees them (a NUL does not end the file) and
    // the message shows them escaped, on one line.
    QTest::newRow("NUL") << 1 << QByteArray(1, '\0')
                         << "BASIC / REVERSE / CH1: (byte 1, S line position 1) is \"\\x00\"";
    QTest::newRow("escape") << 1 << QByteArray("\x1b")
                            << "BASIC / REVERSE / CH1: (byte 1, S line position 1) is \"\\x1B\"";
    QTest::newRow("line feed") << 1 << QByteArray("\n")
                               << "BASIC / REVERSE / CH1: (byte 1, S line position 1) is \"\\x0A\"";
    // G line byte 36 is the fixed "6".
    QTest::newRow("fixed text") << 81 + 36 << QByteArray("7")
                                << "byte 117, G line position 36 holds \"7\" where SAVE writes \"6\"";
}

void TestCliFile::badSettingsFiles()
{
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QByteArray file = settingsFileOf(factorySettings());
    if (at == -2)
        file.chop(bytes.size());
    else if (at < 0)
        file += bytes;
    else
        file.replace(at, bytes.size(), bytes);
    const QString bad = write("bad.txt", file);
    for (const char *command : {"show", "export"}) {
        const Run r = txctl({command, bad});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.startsWith("txctl: " + bad.toUtf8() + ": ") && r.err.count('\n') == 1, r.err);
        QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err);
    }
}

void TestCliFile::mirrorsAreANote()
{
    // The window saves the D/R UP and DOWN mirrors of the selected channel;
    // after choosing another channel on ADVANCE2 they may be stale.
    TxSettingsRecord s = factorySettings();
    s.drUp[1] = 40;
    s.drCh = 1;
    s.drUpEdit = 100;
    const QString stale = write("stale.txt", settingsFileOf(s));
    const Run r = txctl({"export", stale});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("D/R edit mirrors") && r.err.count('\n') == 1, r.err);
    QVERIFY(r.out.contains("\"advance1.dr.ch2Up\": 40,"));
    const Run quiet = txctl({"export", "-q", stale});
    QCOMPARE(quiet.err, QByteArray());
    QCOMPARE(quiet.out, r.out);
}

// With the D/R channel at 4 nothing derives the G line's copy of the rates:
// the window keeps and sends it, so show, diff and JSON carry it.
void TestCliFile::theDrCopyOfChannel4IsData()
{
    QByteArray bytes = settingsFileOf(factorySettings());
    bytes[kLineLength + 54] = '4';
    const QString a = write("ch4-a.txt", bytes);
    bytes.replace(kLineLength + 55, 4, "5060");
    const QString b = write("ch4-b.txt", bytes);
    const Run d = txctl({"diff", a, b});
    QCOMPARE(d.status, 1);
    QCOMPARE(d.out, QByteArray("ADVANCE1 / D/R / UP: 100 % -> 64 %\nADVANCE1 / D/R / DOWN: 100 % -> 80 %\n"));
    const Run show = txctl({"show", b});
    QVERIFY(show.out.contains("\n    UP:             64 %\n    DOWN:           80 %\n"));
    const QString json = path("ch4.json"), back = path("ch4-back.txt");
    QCOMPARE(txctl({"export", b, "-o", json}).status + txctl({"import", json, "-o", back}).status, 0);
    QCOMPARE(readFile(back), bytes);
}

void TestCliFile::importWritesNothingOnError_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("out of range") << QByteArray("\"basic.subTrim.ch3\": 0")
                                  << QByteArray("\"basic.subTrim.ch3\": -101")
                                  << "\"basic.subTrim.ch3\": -101 is outside -100..100";
    QTest::newRow("missing") << QByteArray("\"basic.subTrim.ch3\": 0,") << QByteArray()
                             << "\"basic.subTrim.ch3\" is missing (-100..100)";
    QTest::newRow("beyond the file") << QByteArray("\"system.alarm.rx\": 4.0")
                                     << QByteArray("\"system.alarm.rx\": 30.0")
                                     << "a settings file cannot hold 30.0 V; it holds 0.0..23.9 V";
    QTest::newRow("not json") << QByteArray("{") << QByteArray("x") << "not a JSON document";
    QTest::newRow("too large") << QByteArray("{") << "{" + QByteArray(1100000, ' ')
                               << "not a settings document (larger than 1048576 bytes)";
    // A key left in twice by an edit: which value was meant is unknown.
    QTest::newRow("key twice") << QByteArray("\"basic.subTrim.ch3\": 0")
                               << QByteArray("\"basic.subTrim.ch3\": 0, \"basic.subTrim.ch3\": 7")
                               << "the key \"basic.subTrim.ch3\" appears twice in one object";
    QTest::newRow("key twice, escaped")
        << QByteArray("\"basic.subTrim.ch3\": 0")
        << QByteArray("\"basic.subTrim.ch3\": 0, \"basic.subTrim.c\\u0068\\u0033\": 7")
        << "the key \"basic.subTrim.ch3\" appears twice";
    // A message quotes the document's text with its control characters
    // escaped: one line, nothing for the terminal to act on.
    QTest::newRow("control characters")
        << QByteArray("\"basic.reverse.ch1\": \"NOR\"")
        << QByteArray("\"basic.reverse.ch1\": \"NOR\\u0000\\n\\u001b[2J\"")
        << "\"basic.reverse.ch1\": \"NOR\\u0000\\u000a\\u001b[2J\" is not one of NOR, REV";
    QTest::newRow("not whole") << QByteArray("\"basic.subTrim.ch3\": 0")
                               << QByteArray("\"basic.subTrim.ch3\": 0.0000001")
                               << "\"basic.subTrim.ch3\": expected a whole number -100..100, got 1e-07";
    QTest::newRow("volts beyond tenths")
        << QByteArray("\"system.alarm.rx\": 4.0") << QByteArray("\"system.alarm.rx\": 4.0000001")
        << "\"system.alarm.rx\": expected volts";
}

void TestCliFile::importWritesNothingOnError()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, message);
    QByteArray json = settingsToJson(factorySettings());
    json.replace(json.indexOf(from), from.size(), to);
    const QString in = write("in.json", json);
    const QString target = write("target.txt", "old contents");
    const Run r = txctl({"import", in, "-o", target});
    QCOMPARE(r.status, 2);
    QVERIFY2(QString::fromUtf8(r.err).contains(message) && r.err.count('\n') == 1, r.err);
    QCOMPARE(readFile(target), QByteArray("old contents"));
    QCOMPARE(QDir(dir.path()).entryList({"target.txt*"}, QDir::Files | QDir::Hidden).size(), 1);
    QVERIFY(!QFile::exists(path("fresh.txt")));
    QCOMPARE(txctl({"import", in, "-o", path("fresh.txt")}).status, 2);
    QVERIFY(!QFile::exists(path("fresh.txt")));
}

// A write that fails only when the buffer goes to the disk (the file-size
// limit with SIGXFSZ ignored, as a full disk gives ENOSPC; or /dev/full) is
// an error in one line, and the file that was there stays as it was.
void TestCliFile::writeFailureKeepsTheOldFile_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shell"); // runs the program as "$0" "$@"
    QTest::addColumn<QString>("message");
    const QString limit = "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\"";
    const QString cannot = "kept: cannot write it (File too large)";
    QTest::newRow("export") << QStringList{"export", "factory.txt", "-o", "kept"} << limit << cannot;
    QTest::newRow("import") << QStringList{"import", "factory.json", "-o", "kept"} << limit << cannot;
    QTest::newRow("sheet") << QStringList{"sheet", "factory.txt", "-o", "kept"} << limit << cannot;
    const QString full = "exec \"$0\" \"$@\" >/dev/full";
    const QString noSpace = "standard output: cannot write it (No space left on device)";
    QTest::newRow("show") << QStringList{"show", "factory.txt"} << full << noSpace;
    QTest::newRow("export to output") << QStringList{"export", "factory.txt"} << full << noSpace;
    QTest::newRow("diff") << QStringList{"diff", "factory.txt", "random.txt"} << full << noSpace;
    QTest::newRow("--help") << QStringList{"--help"} << full << noSpace;
    QTest::newRow("--version") << QStringList{"--version"} << full << noSpace;
    QTest::newRow("command --help") << QStringList{"show", "--help"} << full << noSpace;
}

void TestCliFile::writeFailureKeepsTheOldFile()
{
    QFETCH(QStringList, args);
    QFETCH(QString, shell);
    QFETCH(QString, message);
    QVERIFY(!write("factory.json", settingsToJson(factorySettings())).isEmpty());
    QVERIFY(!write("kept", "old contents").isEmpty());
    RunOptions options;
    options.workingDirectory = dir.path();
    const Run r =
        runProgram("/bin/sh", QStringList{"-c", shell, TXCTL_PATH} + args + QStringList{"-q"}, options);
    QCOMPARE(r.status, 2);
    QCOMPARE(QString::fromUtf8(r.err), "txctl: " + message + "\n");
    QCOMPARE(readFile(path("kept")), QByteArray("old contents"));
    QCOMPARE(QDir(dir.path()).entryList({"kept*"}, QDir::Files | QDir::Hidden).size(), 1);
}

// -o naming a pipe or /dev/stdout: the output goes into it ("-" as well, as
// for read). A file renamed
// over it would replace the pipe (or a device node, for root) and leave its
// reader with nothing.
void TestCliFile::outputIntoAPipe_data()
{
    QTest::addColumn<QStringList>("args"); // OUT stands for the target
    QTest::addColumn<QByteArray>("expected");
    const QByteArray factoryJson = settingsToJson(factorySettings());
    for (const char *target : {"fifo", "/dev/stdout", "-"}) {
        QTest::addRow("export -o %s", target)
            << QStringList{"export", "factory.txt", "-o", target} << factoryJson;
        QTest::addRow("import -o %s", target)
            << QStringList{"import", "factory.json", "-o", target} << settingsFileOf(factorySettings());
    }
}

void TestCliFile::outputIntoAPipe()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    QVERIFY(!write("factory.json", settingsToJson(factorySettings())).isEmpty());
    const QByteArray fifo = QFile::encodeName(path("fifo"));
    QFile::remove(path("fifo"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    // Held open for reading, so the program's open does not wait.
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    const Run r = txctl(args);
    QCOMPARE(r.status, 0);
    QByteArray got = r.out;
    char buf[8192];
    for (ssize_t n; (n = ::read(reader, buf, sizeof buf)) > 0;)
        got.append(buf, int(n));
    ::close(reader);
    QCOMPARE(got, expected);
    QVERIFY(QFileInfo(path("fifo")).exists() && !QFileInfo(path("fifo")).isFile()); // still the pipe
}

void TestCliFile::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text"); // in standard output for 0, else standard error
    QTest::newRow("help") << QStringList{"show", "--help"} << 0 << "Usage: txctl show [--json] SOURCE";
    QTest::newRow("write help") << QStringList{"write", "--help"} << 0 << "--verify Read the settings back";
    QTest::newRow("diff help") << QStringList{"diff", "-h"} << 0 << "1 when they differ, 2 on an error";
    QTest::newRow("no source") << QStringList{"show"} << 2
                               << "show: wrong number of arguments (usage: txctl show [--json] SOURCE)";
    QTest::newRow("two sources") << QStringList{"export", "a", "b"} << 2
                                 << "export: wrong number of arguments";
    QTest::newRow("bad option") << QStringList{"diff", "--frob", "a", "b"} << 2 << "Unknown option 'frob'";
    // A file whose name starts with "-" is read as options: the way out is named.
    QTest::newRow("dashed name") << QStringList{"show", "-a.txt"} << 2
                                 << "(a name that starts with \"-\" goes after \"--\": txctl show -- -a.txt)";
    QTest::newRow("bad timeout") << QStringList{"read", "/dev/null", "-o", "x", "--timeout", "0"} << 2
                                 << "read: --timeout wants a number of seconds from 0.1 to 3600, not \"0\"";
    QTest::newRow("timeout nan") << QStringList{"read", "/dev/null", "-o", "x", "--timeout", "nan"} << 2
                                 << "read: --timeout wants a number of seconds from 0.1 to 3600, not \"nan\"";
    for (const char *n : {"nan", "inf", "1e300", "-1"})
        QTest::addRow("monitor seconds %s", n)
            << QStringList{"monitor", "/dev/null", "--seconds", n} << 2
            << QString("monitor: --seconds wants a positive number of seconds up to 31622400, not \"%1\"")
                   .arg(n);
    QTest::newRow("monitor csv empty")
        << QStringList{"monitor", "/dev/null", "--csv", ""} << 2 << "monitor: --csv wants a file name";
    QTest::newRow("import without -o")
        << QStringList{"import", "x.json"} << 2 << "import: -o FILE is missing";
    QTest::newRow("sheet without -o") << QStringList{"sheet", "x.txt"} << 2 << "sheet: -o OUT.pdf is missing";
    QTest::newRow("sheet paper") << QStringList{"sheet", "x.txt", "-o", "x.pdf", "--paper", "A3"} << 2
                                 << "unknown paper size \"A3\"";
    QTest::newRow("listed") << QStringList{"--help"} << 0 << "import IN.json -o FILE";
    QTest::newRow("help COMMAND") << QStringList{"help", "diff"} << 0 << "Usage: txctl diff A B";
    QTest::newRow("-q first") << QStringList{"-q", "show", "factory.txt"} << 0 << "SUB-TRIM";
}

void TestCliFile::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, text);
    const Run r = txctl(args);
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromUtf8(status == 0 ? r.out : r.err).simplified().contains(text), r.out + r.err);
}

void TestCliFile::sheet()
{
    for (const char *paper : {"A4", "Letter"}) {
        const QString pdf = path(QString("sheet-%1.pdf").arg(paper));
        const Run r = txctl({"sheet", "-q", randomFile, "-o", pdf, "--paper", paper});
        QCOMPARE(r.status, 0);
        QVERIFY(readFile(pdf).startsWith("%PDF-"));
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        if (pdftotext.isEmpty())
            continue; // the layout test reads the sheet's text without it
        QProcess p;
        p.start(pdftotext, {pdf, "-"});
        QVERIFY(p.waitForFinished(60000));
        // Runs of dashes and blanks may come out merged or split.
        const QRegularExpression loose("[\\s-]");
        const QString text = QString::fromUtf8(p.readAllStandardOutput()).remove(loose);
        QVERIFY(text.contains("Transmittersettings") && text.contains("random.txt"));
        QCOMPARE(text.count("Page"), 2); // "Page 1 of 2", "Page 2 of 2"
        for (const SettingInfo &info : settingsCatalogue()) {
            const QString group = QString(info.group).remove(loose);
            const QString caption = info.caption.section(' ', -1).remove(loose);
            QVERIFY2(text.contains(info.page) && text.contains(group), qPrintable(info.path()));
            QVERIFY2(text.contains(caption), qPrintable(info.caption));
        }
    }
}

QTEST_MAIN(TestCliFile)
#include "test_cli_file.moc"
