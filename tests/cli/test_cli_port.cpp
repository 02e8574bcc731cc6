#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/frames.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/validation.h"
#include "sim/pty.h"
#include "sim/simprotocol.h"
#include "sim/virtualtransmitter.h"
#include "support/programs.h"
#include "support/stores.h"
#include "support/waiting.h"

// txctl's port commands, the real program against a pseudo-terminal: the
// virtual transmitter on the other end, or a bare pty whose bytes the test
// reads itself (nobody answers there, so the wire holds only what txctl says).

namespace {

struct Run {
    int status = -1;
    QString out, err;
};

using Responder = std::function<void(const QByteArray &wire, PtyPair &pty)>;

// Runs txctl (see runProgram), its output as text.
Run txctl(const QStringList &args, PtyPair *pty = nullptr, Wire *wire = nullptr, int interruptAt = -1,
          const Responder &respond = {})
{
    RunOptions options;
    options.pty = pty;
    options.wire = wire;
    options.interruptAt = interruptAt;
    options.respond = respond;
    const ProgramRun r = runProgram(QStringLiteral(TXCTL_PATH), args, options);
    return {r.status, QString::fromLocal8Bit(r.out), QString::fromLocal8Bit(r.err)};
}

// What the window's SAVE writes after a READ from a fresh start: the
// transmitter's settings as the frames carry them, on top of the start values
// for what no frame carries, with the D/R mirrors derived and validated.
QByteArray windowSaveAfterRead(const TxSettingsRecord &model)
{
    const TxSettingsRecord start = startSettings();
    TxSettingsRecord s = model;
    s.drCh = start.drCh;
    s.drUpEdit = start.drUpEdit;
    s.drDownEdit = start.drDownEdit;
    s.drRateEdit = start.drRateEdit;
    s.drExpEdit = start.drExpEdit;
    drDataSelect(s);
    validateSettings(s);
    const SettingsLines l = buildSettingsLines(s);
    return settingsFileBytes(l);
}

// A settings file as SAVE writes it, from a random in-range model.
QByteArray randomSettingsFile(quint32 seed)
{
    QRandomGenerator g(seed);
    TxSettingsRecord s = randomInRangeSettings(g);
    drDataSelect(s);
    return settingsFileOf(s);
}

// The tokens a transmitter received up to txctl's "DIS", without the "WWW"
// answers to its frames.
QStringList saidTo(const VirtualTransmitter &tx)
{
    waitFor([&] { return tx.receivedCount("DIS") > 0; }, 5000); // the last bytes may be on their way
    QStringList out;
    // A READ may ask again when the line stalls on a busy machine (the
    // answer then lost bytes to the quiet line): one "RR" stands for them.
    for (const QString &t : tx.received())
        if (t != "WWW" && !(t == "RR" && !out.isEmpty() && out.last() == "RR"))
            out << t;
    return out;
}

// A transmitter switched on: a live frame after "OK".
void liveAfterHello(const QByteArray &wire, PtyPair &pty)
{
    if (wire == "OK")
        pty.write(buildServoFrame(startLiveData()));
}

const QByteArray kFactoryLines =
    "S0010000078787878787878787070707070707070707070707070707042421042424242421302352Y"
    "G41E2D3C4855680DCDCDCDCDC140A642A6A6674747474747474740074747474747474740135006D2Z"
    "H7474747474747474003747474015747474001020314253647407474747474747474110140380000X";

} // namespace

class TestCliPort : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(QStringLiteral(TXCTL_PATH)));
        QLoggingCategory::setFilterRules("txsim.info=false\ndefault.debug=false");
    }
    void readGivesTheWindowsFile_data();
    void readGivesTheWindowsFile();
    void readAsksAgainForMissingFrames_data();
    void readAsksAgainForMissingFrames();
    void writeAndResetPutTheWindowsBytesOnTheWire_data();
    void writeAndResetPutTheWindowsBytesOnTheWire();
    void verifyCatchesAChangedValue_data();
    void verifyCatchesAChangedValue();
    void failuresAreOneLineAndLeaveNoFile_data();
    void failuresAreOneLineAndLeaveNoFile();
    void monitorRecordsTheLiveValues();
    void monitorEndsWhenThePortVanishes();
    void monitorRecordsOnlyWhatCame_data();
    void monitorRecordsOnlyWhatCame();
    void sourceThroughALinkToThePort();
    void readNamesValuesAFileCannotHold();
    void thePortIsLockedByDevice();
    void txsimLeavesOtherFilesAlone();
    void talksOnATerminal_data();
    void talksOnATerminal();
    void outputsGoThroughALink_data();
    void outputsGoThroughALink();
    void aTerminalOutputIsNeverOpened_data();
    void aTerminalOutputIsNeverOpened();
    void anInterruptedSourceLeavesNoFile_data();
    void anInterruptedSourceLeavesNoFile();
};

void TestCliPort::readGivesTheWindowsFile_data()
{
    QTest::addColumn<int>("seed"); // 0: the transmitter's own demo model
    QTest::addColumn<bool>("split");
    QTest::addColumn<int>("cut"); // pieces of 1..cut bytes, free bytes random
    QTest::newRow("demo model") << 0 << false << 0;
    QTest::newRow("random model") << 1 << false << 0;
    QTest::newRow("random model, every write split") << 2 << true << 0;
    // An adapter that cuts and joins anywhere, live frames between the
    // answer's frames, AUX byte 7 anything (0x00 included).
    QTest::newRow("random model, cut in 1..3 bytes") << 3 << false << 3;
    QTest::newRow("random model, cut in 1..24 bytes") << 4 << false << 24;
}

void TestCliPort::readGivesTheWindowsFile()
{
    QFETCH(int, seed);
    QFETCH(bool, split);
    QFETCH(int, cut);
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    if (seed > 0) {
        QRandomGenerator g{quint32(seed)};
        tx.setSettings(randomInRangeSettings(g));
    }
    tx.setSplitFrames(split);
    tx.setCut(cut);
    tx.setRandomFreeBytes(cut > 0);
    QTemporaryDir dir;
    const QString out = dir.filePath("model.txt");

    const Run r = txctl({"read", tx.slavePath(), "-o", out});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QCOMPARE(readFile(out), windowSaveAfterRead(tx.settings()));
    QVERIFY(r.err.contains("frames received 19/19"));
    const QStringList said = saidTo(tx);
    QCOMPARE(said.first(), QString("OK"));
    QCOMPARE(said.last(), QString("DIS"));
    QVERIFY(said.contains("RR"));
    QVERIFY(tx.receivedCount("WWW") >= 19); // one answer per received chunk
}

void TestCliPort::readAsksAgainForMissingFrames_data()
{
    QTest::addColumn<int>("lostDumps"); // how many answers to "RR" lack frame `lost`
    QTest::addColumn<int>("lost");
    QTest::addColumn<int>("secondLost"); // a frame the second answer lacks, 0 none
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("frame 12 lost once") << 1 << 12 << 0 << 0 << "";
    QTest::newRow("frame 12 never comes")
        << 100 << 12 << 0 << 2 << "(3 asks): frames missing: 12; frames no two answers carried alike: 1, 2,";
    // The next answer cuts frame 17 after its 8th byte, which then looks
    // like an AUX frame: the file is still one whole answer.
    QTest::newRow("frame 18 lost once, then frame 17 cut") << 1 << 18 << 0 << 0 << "";
    // The model changes between answers: frames of two answers together
    // would make a whole set that the transmitter never held.
    QTest::newRow("frame 18 lost, then frame 2") << 1 << 18 << 2 << 0 << "";
}

void TestCliPort::readAsksAgainForMissingFrames()
{
    QFETCH(int, lostDumps);
    QFETCH(int, lost);
    QFETCH(int, secondLost);
    QFETCH(int, status);
    QFETCH(QString, message);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString out = dir.filePath("model.txt");
    // Each answer comes from a model of its own.
    auto modelOf = [](int answer) {
        QRandomGenerator g(5 + answer);
        TxSettingsRecord model = randomInRangeSettings(g);
        for (int &a : model.aux)
            a = 0; // NULL: what the head of frame 17 would not say
        return model;
    };
    int answered = 0;
    auto respond = [&](const QByteArray &wire, PtyPair &p) {
        for (; answered < wire.count("RR"); ++answered) {
            const std::vector<QByteArray> dump = settingsDump(modelOf(answered), startLiveData());
            for (size_t i = 0; i < dump.size(); ++i) {
                if ((int(i) + 1 == lost && answered < lostDumps) ||
                    (int(i) + 1 == secondLost && answered == 1))
                    continue;
                if (i + 1 == 17 && answered >= lostDumps) {
                    p.write(dump[i].left(8));
                    p.write(dump[i].mid(8));
                } else {
                    p.write(dump[i]);
                }
            }
        }
    };

    Wire wire;
    const Run r = txctl({"read", pty.slavePath(), "-o", out, "--timeout", "1.5"}, &pty, &wire, -1, respond);
    QCOMPARE(r.status, status);
    QVERIFY(wire.bytes.startsWith("OKRR") && wire.bytes.endsWith("DIS"));
    if (status == 0) {
        QCOMPARE(int(wire.bytes.count("RR")), secondLost ? 3 : 2);
        QCOMPARE(readFile(out), windowSaveAfterRead(modelOf(answered - 1)));
    } else {
        QCOMPARE(int(wire.bytes.count("RR")), 3); // asked again, a bounded number of times
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
    }
}

void TestCliPort::writeAndResetPutTheWindowsBytesOnTheWire_data()
{
    QTest::addColumn<QStringList>("args"); // FILE stands for the settings file
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("interruptAt"); // SIGINT once this many bytes arrived, -1 never
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("given"); // FILE's content when not `lines`
    const QByteArray model = randomSettingsFile(7);
    const int first = 5 + kLineLength; // "OK", "WWW" for the live frame, the S line
    QTest::newRow("write") << QStringList{"write", "FILE"} << model << -1 << 0 << QByteArray();
    QTest::newRow("reset --yes") << QStringList{"reset", "--yes"} << kFactoryLines << -1 << 0 << QByteArray();
    // Ctrl-C after the S line: the write is finished, then "DIS".
    QTest::newRow("write, Ctrl-C after the first line")
        << QStringList{"write", "FILE"} << model << first << 130 << QByteArray();
    // SIGTERM (a service stopped, `timeout`) is handled as Ctrl-C; the
    // status tells the shell which signal it was.
    QTest::newRow("reset, SIGTERM after the second line")
        << QStringList{"reset", "--yes"} << kFactoryLines << first + kLineLength << 143 << QByteArray();
    // So is SIGHUP: the terminal went away (an ssh session dropped).
    QTest::newRow("write, SIGHUP after the first line")
        << QStringList{"write", "FILE"} << model << first << 129 << QByteArray();
    // Under nohup (a signal at status 0) the hang-up changes nothing.
    QTest::newRow("write under nohup, SIGHUP")
        << QStringList{"write", "FILE"} << model << first << 0 << QByteArray();
    // What the window's LOAD takes and its WRITE sends: the D/R edit copy
    // derived again, a byte-order mark and a line break passed over.
    QByteArray stale = model;
    stale.replace(kLineLength + 55, 4, model.mid(kLineLength + 55, 4) == "1010" ? "2020" : "1010");
    QTest::newRow("write, stale D/R copy, BOM and CRLF")
        << QStringList{"write", "FILE"} << model << -1 << 0 << "\xEF\xBB\xBF" + stale + "\r\n";
    // Every SOURCE: a JSON document.
    TxSettingsRecord fromModel = startSettings();
    loadSettingsText(QString::fromLatin1(model), fromModel);
    QTest::newRow("write, a JSON document")
        << QStringList{"write", "FILE"} << model << -1 << 0 << settingsToJson(fromModel);
}

void TestCliPort::writeAndResetPutTheWindowsBytesOnTheWire()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, lines);
    QFETCH(int, interruptAt);
    QFETCH(int, status);
    QFETCH(QByteArray, given);
    const bool nohup = status == 0 && interruptAt >= 0;
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");
    QVERIFY(writeFile(file, given.isEmpty() ? lines : given));
    args.replaceInStrings("FILE", file);
    args.insert(1, pty.slavePath());
    args << "--no-backup"; // the write itself: nobody answers "RR" here

    Wire wire;
    RunOptions options;
    options.pty = &pty;
    options.wire = &wire;
    options.interruptAt = interruptAt;
    options.interruptSignal = nohup ? SIGHUP : status > 128 ? status - 128 : SIGINT;
    options.respond = liveAfterHello;
    const ProgramRun r = nohup ? runProgram("nohup", QStringList{TXCTL_PATH} + args, options)
                               : runProgram(QStringLiteral(TXCTL_PATH), args, options);
    QCOMPARE(r.status, status);
    // Nothing goes out before the transmitter was heard.
    QVERIFY2(wire.bytes.startsWith("OKWWW"), wire.bytes.constData());
    const int s = wire.bytes.indexOf(lines.left(kLineLength)), g = s + kLineLength, h = g + kLineLength,
              www = h + kLineLength;
    QCOMPARE(wire.bytes.mid(s), lines + "WWW" + "DIS");
    // Each line has its pause before the next step (no upper bound: the
    // machine may be busy).
    QVERIFY2(wire.arrival(g) - wire.arrival(s) >= 700, "S to G");
    QVERIFY2(wire.arrival(h) - wire.arrival(g) >= 700, "G to H");
    QVERIFY2(wire.arrival(www) - wire.arrival(h) >= 700, "H to WWW");
    if (status == 0)
        QVERIFY(r.err.contains("line 3/3 sent"));
    if (!given.isEmpty() && !given.startsWith('{')) // the note says what the window's LOAD did
        QVERIFY2(r.err.contains("as the window's LOAD ignores it") && r.err.contains("derived again"),
                 r.err.constData());
}

void TestCliPort::verifyCatchesAChangedValue_data()
{
    QTest::addColumn<bool>("alter");
    QTest::addColumn<int>("status");
    QTest::newRow("transmitter keeps what it gets") << false << 0;
    QTest::newRow("transmitter changes the CH3 sub-trim") << true << 1;
}

void TestCliPort::verifyCatchesAChangedValue()
{
    QFETCH(bool, alter);
    QFETCH(int, status);
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    tx.setAlterOnWrite(alter);
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");
    QRandomGenerator g(11);
    TxSettingsRecord written = randomInRangeSettings(g);
    written.drCh = 2; // CH3: no frame carries it, so the transmitter cannot tell
    drDataSelect(written);
    const QByteArray bytes = settingsFileOf(written);
    QVERIFY(writeFile(file, bytes));

    const Run r = txctl({"write", tx.slavePath(), file, "--verify"});
    QCOMPARE(r.status, status);
    QCOMPARE(tx.lastLine(LineKind::S), bytes.left(kLineLength));
    const QString expected =
        alter ? QString("BASIC / SUB-TRIM / CH3: %1 -> %2\n").arg(written.sub[2]).arg(tx.settings().sub[2])
              : QString();
    QCOMPARE(r.out, expected);
    const QStringList said = saidTo(tx);
    QCOMPARE(said, (QStringList{"OK", "RR", "S", "G", "H", "RR", "DIS"})); // the backup read first
    // diff of the file and the port says what --verify said.
    const Run d = txctl({"diff", "-q", file, tx.slavePath()});
    QCOMPARE(d.status, status);
    QCOMPARE(d.out, expected);
}

void TestCliPort::failuresAreOneLineAndLeaveNoFile_data()
{
    // PORT: a pty nobody answers on; FILE: a settings file with `content`;
    // OUT: a file that must not appear.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("opens"); // the port opened: "OK" ... "DIS"; otherwise nothing on the wire
    const QByteArray good = randomSettingsFile(3);
    QByteArray subTrim = good, notANumber = good, sixChanged = good, noG = good;
    subTrim.replace(9, 2, "DD");        // CH1 sub-trim 101
    notANumber[1] = 'Z';                // reverse CH1, reads as 0
    sixChanged[kLineLength + 36] = '5'; // G line's fixed digit
    noG[kLineLength] = 'X';             // G letter not in place
    QTest::newRow("read, missing port") << QStringList{"read", "/dev/tty-no-such-port", "-o", "OUT"} << good
                                        << "/dev/tty-no-such-port: no such port" << false;
    QTest::newRow("read, silent transmitter") << QStringList{"read", "PORT", "-o", "OUT", "--timeout", "1"}
                                              << good << "no answer from the transmitter within 1 s" << true;
    QTest::newRow("write, missing port") << QStringList{"write", "no-such-port-name", "FILE"} << good
                                         << "/dev/no-such-port-name: no such port" << false;
    QTest::newRow("write, wrong size") << QStringList{"write", "PORT", "FILE"} << good.left(242)
                                       << "not a settings file: 242 bytes" << false;
    QTest::newRow("write, out of range") << QStringList{"write", "PORT", "FILE"} << subTrim
                                         << "BASIC / SUB-TRIM / CH1: holds 101, outside -100..100" << false;
    QTest::newRow("write, not a number")
        << QStringList{"write", "PORT", "FILE"} << notANumber
        << "BASIC / REVERSE / CH1: (byte 1, S line position 1) is \"Z\"" << false;
    QTest::newRow("write, fixed digit") << QStringList{"write", "PORT", "FILE"} << sixChanged
                                        << "byte 117, G line position 36 holds \"5\"" << false;
    // PORT and FILE swapped: the port is not read as a file (it might never end).
    QTest::newRow("write, a port as the file")
        << QStringList{"write", "FILE", "PORT"} << good
        << "not a port (txctl write PORT SOURCE: the port comes first)" << false;
    QTest::newRow("write, letters") << QStringList{"write", "PORT", "FILE"} << noG
                                    << "the G line is not in place" << false;
    // Nothing answers: nothing is sent but "OK" and "DIS".
    QTest::newRow("write, silent transmitter") << QStringList{"write", "PORT", "FILE"} << good
                                               << "no answer from the transmitter within 2 s" << true;
    QTest::newRow("reset, silent transmitter") << QStringList{"reset", "PORT", "--yes"} << good
                                               << "no answer from the transmitter within 2 s" << true;
    // A value a line cannot carry is not sent as another one.
    TxSettingsRecord high = factorySettings();
    high.txAlarmVolt = 25.0;
    QTest::newRow("write, a value no line carries")
        << QStringList{"write", "PORT", "FILE"} << settingsToJson(high)
        << "holds 25.0 V, a settings file can hold at most 23.9 V; nothing sent" << false;
    // Lines for a file do not go to a serial port.
    QTest::newRow("read onto a port") << QStringList{"read", "PORT", "-o", "PORT"} << good
                                      << "a terminal or serial port, not a file" << false;
    QTest::newRow("reset without a terminal") << QStringList{"reset", "PORT"} << good << "add --yes" << false;
    QTest::newRow("monitor, silent transmitter")
        << QStringList{"monitor", "PORT", "--csv", "OUT", "--timeout", "1"} << good
        << "no answer from the transmitter within 1 s" << true;
    // A run that records nothing leaves the earlier recording as it was.
    QTest::newRow("monitor, missing port") << QStringList{"monitor", "/dev/tty-no-such-port", "--csv", "OUT"}
                                           << good << "/dev/tty-no-such-port: no such port" << false;
    QTest::newRow("read, empty port")
        << QStringList{"read", "", "-o", "OUT"} << good << "no port given" << false;
    // Its temporary file would need a name over 255 bytes: said before the port.
    QTest::newRow("monitor, a name of 252 bytes")
        << QStringList{"monitor", "PORT", "--csv", "OUT" + QString(245, 'x')} << good
        << "its name is 252 bytes long; at most 248 can be written" << false;
}

void TestCliPort::failuresAreOneLineAndLeaveNoFile()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(bool, opens);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt"), out = dir.filePath("out.txt");
    QVERIFY(writeFile(file, content));
    args.replaceInStrings("PORT", pty.slavePath());
    args.replaceInStrings("FILE", file);
    args.replaceInStrings("OUT", out);

    const bool monitor = args.first() == "monitor";
    if (monitor)
        QVERIFY(writeFile(out, "earlier recording\n"));

    Wire wire;
    const Run r = txctl(args, &pty, &wire);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    // One error line (progress lines may come before it).
    QCOMPARE(r.err.count("txctl: "), 1);
    QVERIFY(r.err.section('\n', -2, -2).startsWith("txctl: "));
    QCOMPARE(r.out, QString());
    QCOMPARE(readFile(out), QByteArray(monitor ? "earlier recording\n" : ""));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             monitor ? QStringList({"model.txt", "out.txt"}) : QStringList{"model.txt"}); // no temporary left
    if (args.first() == "write" || args.first() == "reset")
        QCOMPARE(wire.bytes, QByteArray(opens ? "OKDIS" : ""));
    else if (opens)
        QVERIFY2(wire.bytes.startsWith("OK") && wire.bytes.endsWith("DIS"), wire.bytes.constData());
    else
        QCOMPARE(wire.bytes, QByteArray());
}

void TestCliPort::monitorRecordsTheLiveValues()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    tx.setMotion(false);
    TxLiveDataRecord d = tx.liveData();
    const int servo[8] = {1000, 1100, 1250, 1500, 1750, 1900, 2000, 1333};
    std::copy(servo, servo + 8, d.servo);
    d.txVolt = 1185;
    d.rxVolt = 51;
    d.extVolt = 126;
    d.rxRssi = 30;
    tx.setLiveData(d);
    QTemporaryDir dir;
    const QString csv = dir.filePath("live.csv");

    const Run r = txctl({"monitor", tx.slavePath(), "--seconds", "2", "--csv", csv});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QString()); // no terminal, and the rows go to the file
    const QStringList rows = QString::fromLatin1(readFile(csv)).split('\n', Qt::SkipEmptyParts);
    QVERIFY(rows.size() >= 6);
    QCOMPARE(rows.first(), QString("time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm"));
    double last = 0;
    for (const QString &row : rows.mid(1)) {
        const QStringList cells = row.split(',');
        QCOMPARE(cells.mid(1).join(','),
                 QString("1000,1100,1250,1500,1750,1900,2000,1333,11.85,5.1,12.6,-70"));
        QVERIFY(cells.first().toDouble() > last);
        last = cells.first().toDouble();
    }
    QVERIFY(last <= 2.1);
    QCOMPARE(saidTo(tx), (QStringList{"OK", "DIS"}));
}

// The rows of a recording as (milliseconds, values).
QVector<QPair<qint64, QString>> recordedRows(const QString &csv)
{
    QVector<QPair<qint64, QString>> rows;
    const QStringList lines = QString::fromLatin1(readFile(csv)).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1))
        rows.append({qRound64(line.section(',', 0, 0).toDouble() * 1000), line.section(',', 1)});
    return rows;
}

// What monitor records is what the link carried. A transmitter silent for a
// while (muted) leaves a gap in the recording that plot finds, not copies of
// its last values; the screen says no data comes. A monitor held up (SIGSTOP)
// skips the refreshes it missed instead of making them up in a burst: no two
// rows fall on one refresh slot.
void TestCliPort::monitorRecordsOnlyWhatCame_data()
{
    QTest::addColumn<bool>("stopMonitor"); // else the transmitter goes silent
    QTest::newRow("transmitter silent") << false;
    QTest::newRow("monitor held up") << true;
}

void TestCliPort::monitorRecordsOnlyWhatCame()
{
    QFETCH(bool, stopMonitor);
    VirtualTransmitter tx;
    PtyPair screen;
    QVERIFY(tx.isValid() && screen.isValid());
    QTemporaryDir dir;
    const QString csv = dir.filePath("live.csv");
    QByteArray shown; // the screen, read as it comes so that it never fills up
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] { shown += screen.read(); });
    drain.start(20);
    QProcess monitor;
    monitor.start("/bin/sh", {"-c", "exec \"$0\" monitor -q \"$1\" --csv \"$2\" >\"$3\"", TXCTL_PATH,
                              tx.slavePath(), csv, screen.slavePath()});
    QVERIFY(waitFor([&] { return recordedRows(csv).size() >= 3; }, 10000));
    if (stopMonitor)
        ::kill(pid_t(monitor.processId()), SIGSTOP);
    else
        tx.setMute(true);
    QElapsedTimer quiet;
    quiet.start();
    // The quiet time is set here, never measured.
    QVERIFY(waitFor([&] { return quiet.elapsed() >= 2000; }, 10000));
    if (!stopMonitor)
        QVERIFY(waitFor([&] { return shown.contains("no data from the transmitter for"); }, 10000));
    const int before = recordedRows(csv).size();
    if (stopMonitor)
        ::kill(pid_t(monitor.processId()), SIGCONT);
    else
        tx.setMute(false);
    QVERIFY(waitFor([&] { return recordedRows(csv).size() >= before + 5; }, 10000));
    monitor.terminate();
    QVERIFY(waitFor([&] { return monitor.state() == QProcess::NotRunning; }, 10000));

    const QVector<QPair<qint64, QString>> rows = recordedRows(csv);
    for (int i = 1; i < rows.size(); ++i)
        QVERIFY2((rows[i].first + 5) / 100 > (rows[i - 1].first + 5) / 100, qPrintable(QString::number(i)));
    if (!stopMonitor) {
        const Run plot = txctl({"plot", "--json", csv});
        QCOMPARE(plot.status, 0);
        QVERIFY2(!plot.out.contains("\"gaps\": [],"), qPrintable(plot.out));
    }
}

// The adapter pulled while monitor records: a pseudo-terminal hung up reads
// as end of file, not as an error of the device. Monitor must end with the
// reason instead of recording the last values for ever.
void TestCliPort::monitorEndsWhenThePortVanishes()
{
    auto *tx = new VirtualTransmitter;
    QVERIFY(tx->isValid());
    QTemporaryDir dir;
    const QString csv = dir.filePath("live.csv");
    QTimer::singleShot(1500, [&] {
        delete tx;
        tx = nullptr;
    });

    const Run r = txctl({"monitor", tx->slavePath(), "--csv", csv, "--seconds", "30"});
    delete tx;
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.endsWith("the device went away\n") && r.err.count('\n') == 1, qPrintable(r.err));
    const QStringList rows = QString::fromLatin1(readFile(csv)).split('\n', Qt::SkipEmptyParts);
    QVERIFY(rows.size() >= 2); // the header and what came before the end
    QVERIFY(rows.last().section(',', 0, 0).toDouble() < 10);
}

// A SOURCE that is a link to the port outside /dev (txsim --link) is read
// from the transmitter, not as a file that never ends.
void TestCliPort::sourceThroughALinkToThePort()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    QTemporaryDir dir;
    const QString link = dir.filePath("my radio");
    QVERIFY(QFile::link(tx.slavePath(), link));
    const QString file = dir.filePath("model.txt");
    QVERIFY(writeFile(file, windowSaveAfterRead(tx.settings())));

    const Run r = txctl({"diff", "-q", file, link});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out + r.err, QString());
    QCOMPARE(saidTo(tx).first(), QString("OK"));
}

// Values the transmitter accepts but a line's field widths do not: read saves
// the nearest, names each, and ends with 1 as diff of the two does.
void TestCliPort::readNamesValuesAFileCannotHold()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    TxSettingsRecord model = tx.settings();
    std::tie(model.txAlarmVolt, model.txAlarmRaw, model.prm[0].master) = std::make_tuple(25.0, 250, 10);
    tx.setSettings(model);
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");
    const Run r = txctl({"read", "-q", tx.slavePath(), "-o", file});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err,
             QString("txctl: PROG.MIX / PROG.MIX1 / MAS: the transmitter holds 10, a settings file can "
                     "hold at most 9; saved 9\n"
                     "txctl: SYSTEM / ALARM / TX-Alarm: the transmitter holds 25.0 V, a settings file "
                     "can hold at most 23.9 V; saved 23.9 V\n"));
    QCOMPARE(readFile(file), windowSaveAfterRead(model));
    QCOMPARE(txctl({"diff", "-q", file, tx.slavePath()}).status, 1);
}

// The same port under another name (a link, as /dev/serial/by-id/... or
// txsim --link) is the same port: a second run is told it is busy.
void TestCliPort::thePortIsLockedByDevice()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    QTemporaryDir dir;
    const QString link = dir.filePath("radio");
    QVERIFY(QFile::link(tx.slavePath(), link));
    QProcess first;
    first.start(TXCTL_PATH, {"monitor", "-q", tx.slavePath(), "--csv", dir.filePath("live.csv")});
    QVERIFY(waitFor([&] { return tx.receivedCount("OK") > 0; }, 10000));

    const Run r = txctl({"read", link, "-o", dir.filePath("model.txt")});
    first.terminate();
    QVERIFY(waitFor([&] { return first.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains("port busy"), qPrintable(r.err));
    QCOMPARE(first.exitCode(), 143);
}

// txsim --link replaces only a link to a port, and takes no stray argument.
void TestCliPort::txsimLeavesOtherFilesAlone()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("notes.txt");
    QVERIFY(writeFile(file, "mine"));
    QCOMPARE(runProgram(TXSIM_PATH, {"--link", file}).status, 2);
    QCOMPARE(runProgram(TXSIM_PATH, {"stray"}).status, 2);
    QCOMPARE(readFile(file), QByteArray("mine"));
}

// A peer on a pty that answers what txctl writes there: `reply` once the
// wire ends with `after`. A read into a FIFO nobody opens, and signalled
// then, still ends; reset's question (stdin and stderr on the pty) answered
// no is no success.
void TestCliPort::talksOnATerminal_data()
{
    QTest::addColumn<QString>("shell"); // PTY stands for the pty's path, FIFO for a FIFO
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArrayList>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // standard error, or the pty when it is there
    const std::vector<QByteArray> dump = settingsDump(factorySettings(), startLiveData());
    QTest::newRow("read into a FIFO, SIGINT")
        << "exec \"$0\" read -q PTY -o FIFO" << QByteArray("RR") << QByteArrayList(dump.begin(), dump.end())
        << 130 << QByteArray("txctl: interrupted\n");
    QTest::newRow("reset declined") << "exec \"$0\" reset /dev/null <PTY 2>PTY" << QByteArray("[y/N] ")
                                    << QByteArrayList{"n\n"} << 1
                                    << QByteArray("txctl: reset: not confirmed, nothing sent");
    // A PDF is not sent to a terminal (the output is judged before the source).
    QTest::newRow("sheet onto a terminal")
        << "exec \"$0\" sheet /dev/null -o - >PTY" << QByteArray("-") << QByteArrayList{} << 2
        << QByteArray("txctl: standard output: cannot write it (a terminal; binary output goes to a file or "
                      "a pipe)\n");
    // Rows into /dev/null, then into a pipe that head closes: no warning, no
    // error, exit 0 (exit 9: something on standard error).
    QTest::newRow("monitor into /dev/null and head")
        << "trap '' INT; \"$0\" monitor -q PTY --csv /dev/null --seconds 0.3 2>FIFO.err && "
           "{ \"$0\" monitor -q PTY --csv /dev/stdout --seconds 30 2>>FIFO.err; echo $? >FIFO.st; } | "
           "head -n 3 >/dev/null; test \"$(cat FIFO.st)\" = 0 && test ! -s FIFO.err || "
           "{ cat FIFO.err >&2; exit 9; }"
        << QByteArray("OK") << QByteArrayList{buildServoFrame(startLiveData())} << 0 << QByteArray();
}

void TestCliPort::talksOnATerminal()
{
    QFETCH(QString, shell);
    QFETCH(QByteArray, after);
    QFETCH(QByteArrayList, reply);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    PtyPair pty;
    QTemporaryDir dir;
    QVERIFY(pty.isValid() && ::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
    Wire wire;
    RunOptions options;
    options.pty = &pty;
    options.wire = &wire;
    options.interruptAfter = "DIS";
    options.respond = [&](const QByteArray &w, PtyPair &p) {
        for (const QByteArray &bytes : reply)
            if (w.endsWith(after))
                p.write(bytes);
    };
    shell.replace("PTY", pty.slavePath()).replace("FIFO", dir.filePath("fifo"));
    const ProgramRun r = runProgram("/bin/sh", {"-c", shell, TXCTL_PATH}, options);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.endsWith(said) || wire.bytes.contains(said), (r.err + wire.bytes).constData());
}

// Every output named through a symbolic link lands in the link's target: the
// link stays a link, the target keeps its permissions, and no temporary file
// stays beside either.
void TestCliPort::outputsGoThroughALink_data()
{
    QTest::addColumn<QStringList>("args"); // PORT, FILE (a settings file), CSV, OUT (the link)
    QTest::addColumn<QString>("suffix");   // of the link and its target
    QTest::newRow("read -o") << QStringList{"read", "PORT", "-o", "OUT"} << ".txt";
    QTest::newRow("monitor --csv") << QStringList{"monitor", "PORT", "--csv", "OUT", "--seconds", "0.5"}
                                   << ".csv";
    QTest::newRow("export -o") << QStringList{"export", "FILE", "-o", "OUT"} << ".json";
    QTest::newRow("import -o") << QStringList{"import", "JSON", "-o", "OUT"} << ".txt";
    QTest::newRow("sheet -o") << QStringList{"sheet", "FILE", "-o", "OUT"} << ".pdf";
    QTest::newRow("plot -o") << QStringList{"plot", "CSV", "-o", "OUT"} << ".png";
}

void TestCliPort::outputsGoThroughALink()
{
    QFETCH(QStringList, args);
    QFETCH(QString, suffix);
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    QTemporaryDir here, there;
    const QString file = here.filePath("model.txt"), json = here.filePath("model.json");
    const QString csv = here.filePath("live.csv"), target = there.filePath("target" + suffix);
    const QString link = here.filePath("link" + suffix);
    QVERIFY(writeFile(file, settingsFileOf(factorySettings())) &&
            writeFile(json, settingsToJson(factorySettings())) &&
            writeFile(csv, "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm\n"
                           "0.100,1500,1500,1500,1500,1500,1500,1500,1500,11.85,5.1,12.6,-70\n") &&
            writeFile(target, "old"));
    QVERIFY(QFile::link(target, link));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
    const QStringList before = QDir(here.path()).entryList(QDir::Files | QDir::System | QDir::Hidden);
    args.replaceInStrings("PORT", tx.slavePath()).replaceInStrings("FILE", file);
    args.replaceInStrings("JSON", json).replaceInStrings("CSV", csv).replaceInStrings("OUT", link);

    const Run r = txctl(args << "-q");
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY(QFileInfo(link).isSymLink());
    const QByteArray written = readFile(target);
    QVERIFY(written.size() > 100 && written != "old");
    struct stat st;
    QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), 0640);
    QCOMPARE(QDir(there.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target" + suffix});
    QCOMPARE(QDir(here.path()).entryList(QDir::Files | QDir::System | QDir::Hidden), before);
}

// A terminal named as an output (a serial port's bytes would reach the
// device) is refused from what the system says of the name alone: it is never
// opened, as opening a serial port may reset what hangs on it.
void TestCliPort::aTerminalOutputIsNeverOpened_data()
{
    QTest::addColumn<QStringList>("args"); // TTY: the terminal, FILE: a settings file
    QTest::newRow("monitor --csv") << QStringList{"monitor", "/dev/no-such-port", "--csv", "TTY"};
    QTest::newRow("read -o") << QStringList{"read", "/dev/no-such-port", "-o", "TTY"};
    QTest::newRow("export -o") << QStringList{"export", "FILE", "-o", "TTY"};
    QTest::newRow("sheet -o") << QStringList{"sheet", "FILE", "-o", "TTY"};
}

void TestCliPort::aTerminalOutputIsNeverOpened()
{
    QFETCH(QStringList, args);
    PtyPair pty;
    QTemporaryDir dir;
    const QString file = dir.filePath("model.txt");
    QVERIFY(pty.isValid() && writeFile(file, settingsFileOf(factorySettings())));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 &&
            ::inotify_add_watch(watch, QFile::encodeName(pty.slavePath()).constData(), IN_OPEN) >= 0);
    const Run r = txctl(args.replaceInStrings("TTY", pty.slavePath()).replaceInStrings("FILE", file));
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains("a terminal or serial port, not a file"), qPrintable(r.err));
    char event[4096];
    const ssize_t opened = ::read(watch, event, sizeof event);
    ::close(watch);
    QCOMPARE(opened, ssize_t(-1)); // no open event
}

// Ctrl-C while a SOURCE is read from the port: the output begun for it is
// dropped on the way out, the port is left with "DIS".
void TestCliPort::anInterruptedSourceLeavesNoFile_data()
{
    QTest::addColumn<QStringList>("args"); // PORT, OUT
    QTest::newRow("sheet") << QStringList{"sheet", "PORT", "-o", "OUT.pdf"};
    QTest::newRow("plot --settings") << QStringList{"plot", "OUT.csv", "--settings", "PORT", "-o", "OUT.png"};
}

void TestCliPort::anInterruptedSourceLeavesNoFile()
{
    QFETCH(QStringList, args);
    PtyPair pty;
    QTemporaryDir dir;
    QVERIFY(pty.isValid() && writeFile(dir.filePath("out.csv"), "time_s,TX_V\n0.1,11.85\n"));
    args.replaceInStrings("PORT", pty.slavePath()).replaceInStrings("OUT", dir.filePath("out"));
    Wire wire;
    const Run r = txctl(args, &pty, &wire, 4); // after "OK" and "RR"
    QCOMPARE(r.status, 130);
    QCOMPARE(r.err.section('\n', -2), QString("txctl: interrupted\n"));
    QVERIFY2(wire.bytes.startsWith("OKRR") && wire.bytes.endsWith("DIS"), wire.bytes.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.csv"});
}

QTEST_GUILESS_MAIN(TestCliPort)
#include "test_cli_port.moc"
