// The commands that talk to the transmitter: ports, read, write, reset,
// monitor, and the reading behind every SOURCE that names a port.

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/waitms.h"
#include "cli/args.h"
#include "cli/cli.h"
#include "cli/file_source.h"
#include "cli/history.h"
#include "cli/port_link.h"
#include "file/settingsfile_strict.h"
#include "file/settingsfile.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/catalogue.h"
#include "model/telemetry.h"

namespace {

// How long a read waits for all frames, unless --timeout says otherwise.
constexpr int kDefaultTimeoutS = 5;
// How long write and reset wait to hear the transmitter before they send.
constexpr int kHeardWithinMs = 2000;
// The refresh of monitor, as the window's display refresh.
constexpr int kMonitorRefreshMs = 100;
// The longest recording monitor takes: a year.
constexpr int kMonitorMaxSeconds = 366 * 24 * 3600;

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

// A progress line that updates in place on a terminal; elsewhere only the
// final state is printed.
class InPlaceProgress
{
public:
    explicit InPlaceProgress(bool quiet) : quiet(quiet), terminal(isTerminal(STDERR_FILENO)) {}
    ~InPlaceProgress() { finish(); }
    void update(const QString &text)
    {
        last = text;
        if (quiet || !terminal)
            return;
        std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
        std::fflush(stderr);
        shown = true;
    }
    void finish()
    {
        if (quiet || last.isEmpty())
            return;
        if (terminal && shown)
            std::fprintf(stderr, "\n");
        else
            std::fprintf(stderr, "%s\n", qPrintable(last));
        last.clear();
        shown = false;
    }

private:
    bool quiet;
    bool terminal;
    bool shown = false;
    QString last;
};

// --timeout SECONDS, from 0.1 to 3600, of `command`.
bool timeoutMs(const QCommandLineParser &parser, const QString &command, int *ms)
{
    bool ok = false;
    const double s = parser.value("timeout").toDouble(&ok);
    if (!ok || !(s >= 0.1 && s <= 3600)) { // "nan" reads as a number too
        failWith(QString("%1: --timeout wants a number of seconds from 0.1 to 3600, not \"%2\"")
                     .arg(command, parser.value("timeout")));
        return false;
    }
    *ms = int(s * 1000 + 0.5);
    return true;
}

const QCommandLineOption kTimeoutOption("timeout",
                                        "Wait at most SECONDS for the transmitter's settings (default 5).",
                                        "SECONDS", QString::number(kDefaultTimeoutS));

int interrupted(PortLink &link, const QString &what = QString())
{
    link.close();
    std::fprintf(stderr, "txctl: interrupted%s\n", qPrintable(what.isEmpty() ? QString() : "; " + what));
    return interruptExitStatus();
}

// Reads the settings over an open link with progress on standard error,
// after the window's button lock ("RR" never follows "OK" or a WRITE sooner
// in the window).
bool readWithProgress(PortLink &link, int timeout, bool quiet, QString *error)
{
    waitMs(kButtonLockMs);
    InPlaceProgress bar(quiet);
    bar.update(QString("frames received 0/%1").arg(kSettingsFrameCount));
    return readSettingsOverLink(
        link, timeout,
        [&](int n) { bar.update(QString("frames received %1/%2").arg(n).arg(kSettingsFrameCount)); }, error);
}

// Sends the write sequence for `s` (the lines are built from it, as the
// window builds them, so its raw alarm tenths follow its volts). The first
// Ctrl-C lets the sequence finish (it takes 2.4 s at most); a second one
// stops it between two steps. Returns the number of steps sent.
int sendWrite(PortLink &link, TxSettingsRecord &s, bool quiet)
{
    const LinkSequence steps = writeSequence(buildSettingsLines(s));
    int sent = 0;
    bool told = false;
    link.run(
        steps,
        [&] {
            if (interruptRequested() && !told && !quiet) {
                std::fprintf(stderr, "finishing the write (Ctrl-C again to stop it now)\n");
                told = true;
            }
            return interruptCount() < 2;
        },
        [&](int i) {
            sent = i + 1;
            if (i < 3)
                progress(quiet, QString("line %1/3 sent").arg(i + 1));
        });
    return sent;
}

QString interruptedWriteNote(int sent, int total)
{
    if (sent == total)
        return "the write was finished first";
    return QString("the write stopped after %1 of %2 steps, the transmitter may hold part of it")
        .arg(sent)
        .arg(total);
}

QStringList lineCarryProblems(const TxSettingsRecord &s, const QString &holder, const QString &then);

const QCommandLineOption kNoBackupOption("no-backup",
                                         "Do not read the transmitter's settings into the history first "
                                         "(no \"RR\" before the write).");

// The settings as the history keeps them: the file the window's SAVE writes.
QByteArray historyBytes(const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    return settingsFileBytes(buildSettingsLines(copy));
}

// Adds an entry to the history; a failure is told but changes no outcome.
void keepInHistory(HistoryEvent event, const QString &port, const TxSettingsRecord &s)
{
    QString error;
    if (!addHistoryEntry(event, port, historyBytes(s), &error))
        std::fprintf(stderr, "txctl: %s\n", qPrintable(error));
}

// What write and reset keep of the settings they replace.
struct Backup {
    bool wanted = true;
    HistoryEvent event = HistoryEvent::BeforeWrite;
    int timeoutMs = kDefaultTimeoutS * 1000;
    const char *command = "write";
};

// Opens `port` and sends the write sequence for `s` after the window's button
// lock, as its WRITE and RESET do, once the transmitter has been heard: it
// streams live frames whenever its port is open, so silence means nobody is
// there (switched off, the wrong port) and nothing is sent. Unless told not
// to, it first reads the settings the transmitter holds into the history;
// when that fails, nothing is sent. Returns -1 when every step went out (the
// link still open), otherwise the exit status with the reason reported.
int openAndWrite(PortLink &link, const QString &port, TxSettingsRecord &s, bool quiet, const Backup &backup)
{
    installInterruptHandler();
    QString error;
    if (!link.open(port, &error))
        return failWith(error);
    QElapsedTimer clock;
    clock.start();
    const bool heard = waitUntil(
        [&] { return link.deviceLost() || (link.chunksReceived() > 0 && clock.elapsed() >= kButtonLockMs); },
        clock, kHeardWithinMs);
    if (interruptRequested())
        return interrupted(link, "nothing sent");
    if (link.deviceLost())
        return failWith(QString("%1: the device went away; nothing sent").arg(link.path()));
    if (!heard) {
        link.close();
        return failWith(QString("%1: no answer from the transmitter within %2 s (is it switched on?); "
                                "nothing sent")
                            .arg(link.path())
                            .arg(kHeardWithinMs / 1000));
    }
    if (backup.wanted) {
        const QString without =
            QString("nothing sent (txctl %1 --no-backup goes on without this backup)").arg(backup.command);
        const bool read = readWithProgress(link, backup.timeoutMs, quiet, &error);
        if (interruptRequested())
            return interrupted(link, "nothing sent");
        if (!read) {
            link.close();
            return failWith(QString("reading the settings to keep before the %1: %2; %3")
                                .arg(backup.command, error, without));
        }
        if (!addHistoryEntry(backup.event, link.path(), historyBytes(link.settings), &error)) {
            link.close();
            return failWith(QString("%1; %2").arg(error, without));
        }
        for (const QString &line : lineCarryProblems(link.settings, "the transmitter", "kept"))
            progress(quiet, "history: " + line);
        progress(quiet, "the settings so far are kept in the history (txctl history)");
        waitMs(kButtonLockMs); // as the window's buttons after a READ
    }
    // The transmitter must not be left with half a write: a signal waits
    // until the write and the report on it are done.
    InterruptHold hold;
    const int sent = sendWrite(link, s, quiet);
    const int total = int(writeSequence(SettingsLines{}).size());
    if (interruptRequested())
        return interrupted(link, interruptedWriteNote(sent, total));
    if (link.deviceLost())
        return failWith(
            QString("%1: the device went away after %2 of %3 steps").arg(link.path()).arg(sent).arg(total));
    return -1;
}

// One line per setting of `s` that a settings line cannot carry as it is:
// "PATH: HOLDER holds 25.0 V, a settings file can hold at most 23.9 V" and
// `then` with what the line gets ("saved 23.9 V").
QStringList lineCarryProblems(const TxSettingsRecord &s, const QString &holder, const QString &then)
{
    QStringList out;
    for (const SettingInfo &info : settingsCatalogue()) {
        const int v = settingValue(info, s);
        if (info.carrier == SettingCarrier::FramesOnly || settingFitsLine(info, v))
            continue;
        int lo = 0, hi = 0;
        settingLineRange(info, &lo, &hi);
        const int bound = v > hi ? hi : lo;
        const QString path = info.path();
        QString line = QString("%1%2%3 holds %4, a settings file can hold %5 %6")
                           .arg(path, path.endsWith(':') ? " " : ": ", holder, settingValueText(info, v),
                                v > hi ? "at most" : "at least", settingValueText(info, bound));
        if (!then.isEmpty())
            line += QString("; %1 %2").arg(then, settingValueText(info, bound));
        out << line;
    }
    return out;
}

// ---- ports ----

int runPorts(const QStringList &args)
{
    QCommandLineParser parser;
    const int done = parseCommand(parser, args, "ports",
                                  "Lists the serial ports: name, description, manufacturer, VID:PID, "
                                  "serial number. A port you may not open is marked.",
                                  0);
    if (done >= 0)
        return done;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        progress(parser.isSet("quiet"), "no serial ports found");
        return kExitOk;
    }
    QList<QStringList> rows;
    for (const QSerialPortInfo &p : ports) {
        auto orDash = [](const QString &t) { return t.isEmpty() ? QString("-") : t; };
        const QString ids = p.hasVendorIdentifier() && p.hasProductIdentifier()
                                ? QString("%1:%2")
                                      .arg(p.vendorIdentifier(), 4, 16, QChar('0'))
                                      .arg(p.productIdentifier(), 4, 16, QChar('0'))
                                : QString("-");
        QString note;
        if (portAccessProblem(p.systemLocation()).startsWith("permission"))
            note = QString("no permission: %1").arg(kDialoutHint);
        rows << QStringList{p.portName(), orDash(p.description()),  orDash(p.manufacturer()),
                            ids,          orDash(p.serialNumber()), note};
    }
    QVector<int> widths(5, 0);
    for (const QStringList &r : rows)
        for (int i = 0; i < 5; ++i)
            widths[i] = qMax(widths[i], int(r[i].size()));
    QString text;
    for (const QStringList &r : rows) {
        for (int i = 0; i < 5; ++i)
            text += (i == 4 && r[5].isEmpty()) ? r[i] : r[i].leftJustified(widths[i] + 2);
        text += r[5] + '\n';
    }
    return printOut(text.toLocal8Bit()) ? kExitOk : kExitError;
}

// ---- read ----

int runRead(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("PORT", kPortArgumentHelp);
    parser.addOption({{"o", "output"}, "The settings file to write.", "FILE"});
    parser.addOption(kTimeoutOption);
    const int done = parseCommand(
        parser, args, "read PORT -o FILE",
        "Reads the settings from the transmitter on PORT into FILE, exactly as the window's SAVE writes "
        "them after a READ. FILE is replaced only when every frame arrived (\"-\" writes to standard "
        "output). A value the transmitter holds that a settings file cannot (an alarm above 23.9 V, a "
        "mix master of 10) is named, the file gets the nearest it can hold, and the exit status is 1. "
        "What was read is added to the history (txctl history).",
        1);
    if (done >= 0)
        return done;
    const bool quiet = parser.isSet("quiet");
    const QString out = parser.value("output");
    if (out.isEmpty())
        return missingOption(args, "-o FILE");
    int timeout = 0;
    if (!timeoutMs(parser, args.value(0), &timeout))
        return kExitError;

    installInterruptHandler();
    // The file is opened first, so a bad place to write is known before the
    // transmitter is asked; it replaces the old file only when committed.
    OutputFile file(out);
    QString error;
    if (!file.open(&error))
        return failWith(error);

    PortLink link;
    if (!link.open(parser.positionalArguments().at(0), &error))
        return failWith(error);
    const bool ok = readWithProgress(link, timeout, quiet, &error);
    if (interruptRequested())
        return interrupted(link, "nothing written");
    link.close();
    if (!ok)
        return failWith(error + (out == "-" ? QString() : QString("; %1 not written").arg(out)));

    TxSettingsRecord s = link.settings;
    // Values the transmitter accepts but a line's field widths do not: the
    // file gets the nearest it can hold, and the run says so (exit status 1,
    // a difference, as diff of the file and the port finds it).
    const QStringList clipped = lineCarryProblems(s, "the transmitter", "saved");
    if (!file.write(settingsFileBytes(buildSettingsLines(s)), &error))
        return failWith(error);
    keepInHistory(HistoryEvent::Read, link.path(), s);
    for (const QString &line : clipped)
        std::fprintf(stderr, "txctl: %s\n", qPrintable(line));
    progress(quiet, QString("saved %1 (transmitter version %2)")
                        .arg(out == "-" ? QString("to standard output") : out)
                        .arg(link.live.txVersion));
    return clipped.isEmpty() ? kExitOk : kExitDiffers;
}

// ---- write ----

int runWrite(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("PORT", kPortArgumentHelp);
    parser.addPositionalArgument("SOURCE", kSourceArgumentHelp);
    parser.addOption({"verify", "Read the settings back afterwards and compare."});
    parser.addOption(kNoBackupOption);
    parser.addOption(kTimeoutOption);
    const int done = parseCommand(
        parser, args, "write PORT SOURCE [--verify] [--no-backup]",
        "Writes the settings of SOURCE to the transmitter on PORT, as the window's WRITE does after LOAD: "
        "a settings file is sent as LOAD takes it (a note says where that differs from its bytes). A "
        "SOURCE that does not load whole, or holds a value a settings line cannot carry, is refused and "
        "nothing is sent. --verify reads the settings back and lists every setting that differs (exit "
        "status 1). The settings the transmitter held are read into the history first (\"before write\") "
        "and what was sent is added (\"written\"): txctl write PORT @2 puts the old ones back. When that "
        "read fails, nothing is sent; --no-backup writes without it.",
        2);
    if (done >= 0)
        return done;
    const bool quiet = parser.isSet("quiet");
    int timeout = 0;
    if (!timeoutMs(parser, args.value(0), &timeout))
        return kExitError;

    // The port is looked at first: a SOURCE that is a port is read before
    // anything goes out, and PORT and SOURCE given the wrong way round are
    // told apart.
    const QString port = parser.positionalArguments().at(0);
    const QString path = portDevicePath(port);
    struct stat st;
    if (!port.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISCHR(st.st_mode))
        return failWith(
            QString("%1: not a port (txctl write PORT SOURCE: the port comes first); nothing sent")
                .arg(port));
    const QString problem = port.isEmpty() ? QString() : portAccessProblem(path);
    if (!problem.isEmpty())
        return failWith(QString("%1: %2; nothing sent").arg(path, problem));

    LoadedSource source;
    QString error;
    if (!loadSourceFull(parser.positionalArguments().at(1), quiet, source, &error,
                        StaleEditMirrors::Rederive))
        return failWith(error + "; nothing sent");
    if (!source.note.isEmpty())
        progress(quiet, source.note);
    TxSettingsRecord s = source.settings;
    const QStringList unfit = lineCarryProblems(s, source.name, QString());
    if (!unfit.isEmpty())
        return failWith(unfit.first() + "; nothing sent");

    PortLink link;
    Backup backup;
    backup.wanted = !parser.isSet("no-backup");
    backup.timeoutMs = timeout;
    const int failed = openAndWrite(link, parser.positionalArguments().at(0), s, quiet, backup);
    if (failed >= 0)
        return failed;
    keepInHistory(HistoryEvent::Written, link.path(), s);
    progress(quiet, "written");

    if (!parser.isSet("verify")) {
        link.close();
        return kExitOk;
    }
    const bool ok = readWithProgress(link, timeout, quiet, &error);
    if (interruptRequested())
        return interrupted(link, "the write was finished, the check was not");
    link.close();
    if (!ok)
        return failWith("verify: " + error);
    const QStringList diffs = settingDifferences(s, link.settings, true);
    QString listed;
    for (const QString &d : diffs)
        listed += d + '\n';
    if (!printOut(listed.toUtf8()))
        return kExitError;
    if (!diffs.isEmpty()) {
        std::fprintf(
            stderr,
            "txctl: verify: %d setting%s on the transmitter differ%s from the file (file -> transmitter)\n",
            int(diffs.size()), diffs.size() == 1 ? "" : "s", diffs.size() == 1 ? "s" : "");
        return kExitDiffers;
    }
    progress(quiet, "verified: the transmitter holds what was written");
    return kExitOk;
}

// ---- reset ----

// Asks on the terminal; false when the answer is not yes.
bool confirmOnTerminal(const QString &question)
{
    std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
    std::fflush(stderr);
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        std::fprintf(stderr, "\n"); // end of input: the answer line was never ended
        return false;
    }
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return a == "y" || a == "yes";
}

int runReset(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("PORT", kPortArgumentHelp);
    parser.addOption({"yes", "Do not ask."});
    parser.addOption(kNoBackupOption);
    const int done = parseCommand(parser, args, "reset PORT [--yes] [--no-backup]",
                                  "Resets the transmitter on PORT to the factory settings, as the window's "
                                  "RESET does. Asks first on a terminal; --yes skips the question (and is "
                                  "needed without a terminal). The settings the transmitter held are read "
                                  "into the history first (\"before reset\"): txctl write PORT @2 puts them "
                                  "back. When that read fails, nothing is sent; --no-backup resets without "
                                  "it.",
                                  1);
    if (done >= 0)
        return done;
    const bool quiet = parser.isSet("quiet");
    const QString port = parser.positionalArguments().at(0);
    const QString path = portDevicePath(port);
    const QString problem = portAccessProblem(path);
    if (!problem.isEmpty())
        return failWith(QString("%1: %2").arg(path, problem));
    if (!parser.isSet("yes")) {
        if (!isTerminal(STDIN_FILENO) || !isTerminal(STDERR_FILENO))
            return failWith("reset: no terminal to ask for confirmation; add --yes to reset without asking "
                            "(nothing sent)");
        if (!confirmOnTerminal(QString("Reset the transmitter on %1 to the factory settings?").arg(path))) {
            failWith("reset: not confirmed, nothing sent");
            return kExitNotDone;
        }
    }

    TxSettingsRecord s = startSettings();
    restData(s);
    restData2(s);
    PortLink link;
    Backup backup;
    backup.wanted = !parser.isSet("no-backup");
    backup.event = HistoryEvent::BeforeReset;
    backup.command = "reset";
    const int failed = openAndWrite(link, port, s, quiet, backup);
    if (failed >= 0)
        return failed;
    link.close();
    keepInHistory(HistoryEvent::Reset, link.path(), s);
    progress(quiet, "reset to the factory settings");
    return kExitOk;
}

// ---- monitor ----

QString csvHeader()
{
    return "time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm";
}

QString csvRow(double seconds, const TxLiveDataRecord &d)
{
    QStringList cells{QString::number(seconds, 'f', 3)};
    for (int v : d.servo)
        cells << QString::number(v);
    cells << QString::number(d.txVolt / 100.0, 'f', 2) << QString::number(d.rxVolt / 10.0, 'f', 1)
          << QString::number(d.extVolt / 10.0, 'f', 1);
    // As the window shows it: 1..100 is 100 - rssi below 0 dBm, anything else
    // is no reading.
    cells << (d.rxRssi >= 1 && d.rxRssi <= 100 ? QString::number(d.rxRssi - 100) : QString());
    return cells.join(',');
}

// A centre-zero bar as the SERVO page draws it: centre at 1000, full at 0
// and 2000.
QString servoBar(int v)
{
    constexpr int half = 20;
    const int c = qBound(0, v, 2000);
    const int left = (1000 - qMin(c, 1000)) * half / 1000;
    const int right = (qMax(c, 1000) - 1000) * half / 1000;
    return QString(half - left, ' ') + QString(left, '#') + '|' + QString(right, '#') +
           QString(half - right, ' ');
}

QStringList screenLines(const TxLiveDataRecord &d, double seconds)
{
    QStringList lines;
    for (int i = 0; i < 8; ++i)
        lines << QString("CH%1 %2 [%3]").arg(i + 1).arg(d.servo[i], 5).arg(servoBar(d.servo[i]));
    lines << QString("TX %1   RX %2   EXT %3   RSSI %4")
                 .arg(txVoltText(d.txVolt), tenthsVoltText(d.rxVolt), tenthsVoltText(d.extVolt),
                      rssiText(d.rxRssi));
    lines << QString("%1 s  (Ctrl-C ends)").arg(seconds, 0, 'f', 1);
    return lines;
}

int runMonitor(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("PORT", kPortArgumentHelp);
    parser.addOption({"csv", "Record to FILE: time_s, CH1..CH8, TX_V, RX_V, EXT_V, RSSI_dBm.", "FILE"});
    parser.addOption({"seconds", "End after N seconds.", "N"});
    parser.addOption({"timeout", "Wait at most SECONDS for the first live frame (default 5).", "SECONDS",
                      QString::number(kDefaultTimeoutS)});
    const int done = parseCommand(
        parser, args, "monitor PORT [--csv FILE] [--seconds N]",
        "Shows the eight servo outputs and the telemetry of the transmitter on PORT ten times a second, "
        "until Ctrl-C or --seconds. --csv records one row per refresh (\"-\": on standard "
        "output); an earlier recording is replaced once the first row is in. Without a terminal the rows "
        "go to standard output (unless --csv is given).",
        1);
    if (done >= 0)
        return done;
    const bool quiet = parser.isSet("quiet");
    int timeout = 0;
    if (!timeoutMs(parser, args.value(0), &timeout))
        return kExitError;
    qint64 endMs = -1;
    if (parser.isSet("seconds")) {
        bool ok = false;
        const double n = parser.value("seconds").toDouble(&ok);
        // Up to a year: "nan", "inf" and 1e300 read as numbers too.
        if (!ok || !(n > 0 && n <= kMonitorMaxSeconds))
            return failWith(
                QString("monitor: --seconds wants a positive number of seconds up to %1, not \"%2\"")
                    .arg(kMonitorMaxSeconds)
                    .arg(parser.value("seconds")));
        endMs = qint64(n * 1000 + 0.5);
    }

    // --csv: "-" is standard output; a pipe or a device (a FIFO, /dev/null)
    // is written into; a file gets the new recording under a temporary name
    // beside it, which replaces it once the first row is in, so a run that
    // records nothing leaves an earlier recording as it was. Rows are written
    // one by one: a killed run keeps every row so far.
    const bool toCsv = parser.isSet("csv");
    const QString csvName = parser.value("csv");
    if (toCsv && csvName.isEmpty())
        return failWith("monitor: --csv wants a file name");
    const bool csvToStdout = toCsv && csvName == "-";
    QString csvTemporary; // until the first row
    int csvFd = csvToStdout ? STDOUT_FILENO : -1;
    auto dropTemporary = [&] {
        if (!csvTemporary.isEmpty())
            ::unlink(QFile::encodeName(csvTemporary).constData());
        csvTemporary.clear();
    };
    if (toCsv && !csvToStdout) {
        if (QFileInfo(csvName).isDir())
            return failWith(cannotWrite(csvName, "a folder"));
        if (isSpecialFile(csvName)) {
            csvFd = ::open(QFile::encodeName(csvName).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (csvFd >= 0 && ::isatty(csvFd) == 1) {
                ::close(csvFd);
                csvFd = -1;
                return failWith(cannotWrite(csvName, "a terminal or serial port, not a file"));
            }
        } else {
            QByteArray name = QFile::encodeName(csvName) + ".XXXXXX";
            csvFd = ::mkstemp(name.data());
            if (csvFd >= 0) {
                csvTemporary = QFile::decodeName(name);
                // The mode a new file gets, or the one the old recording had.
                struct stat old;
                const mode_t mask = ::umask(0);
                ::umask(mask);
                const mode_t mode = ::stat(QFile::encodeName(csvName).constData(), &old) == 0
                                        ? (old.st_mode & 07777)
                                        : (0666 & ~mask);
                ::fchmod(csvFd, mode);
            }
        }
        if (csvFd < 0)
            return failWith(cannotWrite(csvName, qt_error_string(errno)));
    }
    const bool screen = isTerminal(STDOUT_FILENO) && !csvToStdout;
    const bool rowsToStdout = !screen && !toCsv;
    bool readerGone = false;
    QString csvFailure;
    QString stdoutFailure;
    // A reader that went away (txctl monitor | head) ends the run quietly;
    // anything else (a full disk) is an error.
    auto noteStdoutFailure = [&] {
        if (errno == EPIPE)
            readerGone = true;
        else if (stdoutFailure.isEmpty())
            stdoutFailure = cannotWrite("standard output", qt_error_string(errno));
    };
    auto emitRow = [&](const QString &row) {
        if (toCsv && csvFailure.isEmpty() && !readerGone) {
            const QByteArray bytes = row.toLatin1() + '\n';
            if (!writeAll(csvFd, bytes)) {
                if (errno == EPIPE)
                    readerGone = true;
                else
                    csvFailure = cannotWrite(csvToStdout ? QString("standard output") : csvName,
                                             qt_error_string(errno));
            }
        }
        if (rowsToStdout && (std::printf("%s\n", qPrintable(row)) < 0 || std::fflush(stdout) != 0))
            noteStdoutFailure();
    };
    // The new recording takes the old one's place with its first row.
    auto putInPlace = [&] {
        if (csvTemporary.isEmpty())
            return;
        if (::rename(QFile::encodeName(csvTemporary).constData(), QFile::encodeName(csvName).constData()) !=
                0 &&
            csvFailure.isEmpty())
            csvFailure = cannotWrite(csvName, qt_error_string(errno));
        dropTemporary();
    };
    auto closeCsv = [&] {
        if (csvFd >= 0 && csvFd != STDOUT_FILENO)
            ::close(csvFd);
        csvFd = -1;
    };

    installInterruptHandler();
    PortLink link;
    QString error;
    if (!link.open(parser.positionalArguments().at(0), &error)) {
        closeCsv();
        dropTemporary();
        return failWith(error);
    }
    emitRow(csvHeader());

    QElapsedTimer clock;
    clock.start();
    int shownLines = 0;
    int rows = 0;
    QEventLoop loop;
    QTimer refresh;
    refresh.setTimerType(Qt::PreciseTimer);
    int status = kExitOk;
    qint64 nextTick = kMonitorRefreshMs;
    auto tick = [&] {
        if (interruptRequested()) {
            status = kExitInterrupted;
            loop.quit();
            return;
        }
        if (link.deviceLost()) {
            error = QString("%1: the device went away").arg(link.path());
            status = kExitError;
            loop.quit();
            return;
        }
        const qint64 now = clock.elapsed();
        if (now + 5 < nextTick)
            return;
        nextTick += kMonitorRefreshMs;
        if (link.liveFramesReceived() == 0) {
            if (now >= timeout) {
                error = QString("%1: no answer from the transmitter within %2 s")
                            .arg(link.path())
                            .arg(timeout / 1000.0, 0, 'g', 3);
                status = kExitError;
                loop.quit();
            }
            return;
        }
        const double seconds = now / 1000.0;
        emitRow(csvRow(seconds, link.live));
        ++rows;
        putInPlace();
        if (!csvFailure.isEmpty()) {
            error = csvFailure;
            status = kExitError;
            loop.quit();
            return;
        }
        if (!stdoutFailure.isEmpty()) {
            error = stdoutFailure;
            status = kExitError;
            loop.quit();
            return;
        }
        if (readerGone) { // nobody reads the rows any more: end quietly
            loop.quit();
            return;
        }
        if (screen) {
            const QStringList lines = screenLines(link.live, seconds);
            QString out;
            if (shownLines > 0)
                out += QString("\033[%1A").arg(shownLines);
            for (const QString &l : lines)
                out += "\r" + l + "\033[K\n";
            if (std::fputs(qPrintable(out), stdout) < 0 || std::fflush(stdout) != 0)
                noteStdoutFailure();
            shownLines = lines.size();
        }
        if (endMs >= 0 && now + 5 >= endMs)
            loop.quit();
    };
    QObject::connect(&refresh, &QTimer::timeout, &loop, tick);
    refresh.start(10); // ticks are paced by nextTick; this only wakes us up
    if (!interruptRequested())
        loop.exec();
    refresh.stop();
    link.close();
    closeCsv();
    dropTemporary(); // nothing recorded: the earlier recording stays
    if (status == kExitInterrupted) {
        std::fprintf(stderr, "txctl: interrupted\n");
        return interruptExitStatus();
    }
    if (status == kExitError)
        return failWith(error);
    if (toCsv && !csvToStdout)
        progress(quiet, QString("recorded %1 rows in %2").arg(rows).arg(csvName));
    return kExitOk;
}

} // namespace

const std::vector<CliCommand> &portCommands()
{
    static const std::vector<CliCommand> commands = {
        {"ports", "ports", "List the serial ports", runPorts},
        {"read", "read PORT -o FILE", "Read the transmitter's settings into a settings file", runRead},
        {"write", "write PORT SOURCE [--verify]", "Write settings to the transmitter (the old ones kept)",
         runWrite},
        {"reset", "reset PORT [--yes]", "Reset the transmitter to the factory settings", runReset},
        {"monitor", "monitor PORT [--csv FILE]", "Show (and record) the live outputs and telemetry",
         runMonitor},
    };
    return commands;
}

bool readFromPort(const QString &port, bool quiet, TxSettingsRecord &settings, TxLiveDataRecord &live,
                  QString *error)
{
    installInterruptHandler();
    PortLink link;
    if (!link.open(port, error))
        return false;
    const bool ok = readWithProgress(link, kDefaultTimeoutS * 1000, quiet, error);
    if (interruptRequested()) {
        // Nothing has been written by the caller yet: close cleanly and end
        // as every command ends on Ctrl-C.
        std::exit(interrupted(link));
    }
    link.close();
    if (!ok)
        return false;
    settings = link.settings;
    live = link.live;
    return true;
}
