// txctl monitor: the live outputs and telemetry on the screen, and recorded.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/interrupts.h"
#include "cli/monitor_view.h"
#include "cli/output.h"
#include "cli/output_file.h"
#include "cli/port_link.h"

namespace {

// The refresh of monitor, as the window's display refresh.
constexpr int kMonitorRefreshMs = 100;
// The longest recording monitor takes: a year.
constexpr int kMonitorMaxSeconds = 366 * 24 * 3600;

int runMonitor(const CommandLine &line)
{
    const bool quiet = line.quiet();
    int timeout = 0;
    if (!timeoutMs(line, &timeout))
        return kExitError;
    qint64 endMs = -1;
    if (line.isSet("seconds")) {
        bool ok = false;
        const double n = line.value("seconds").toDouble(&ok);
        // Up to a year: "nan", "inf" and 1e300 read as numbers too.
        if (!ok || !(n > 0 && n <= kMonitorMaxSeconds))
            return failWith(
                QString("monitor: --seconds wants a positive number of seconds up to %1, not \"%2\"")
                    .arg(kMonitorMaxSeconds)
                    .arg(line.value("seconds")));
        endMs = qint64(n * 1000 + 0.5);
    }

    const bool toCsv = line.isSet("csv");
    if (toCsv && line.value("csv").isEmpty())
        return failWith("monitor: --csv wants a file name");
    // A file gets the new recording beside it, which replaces it once the
    // first row is in: a run that records nothing leaves an earlier recording
    // as it was. Rows are written one by one: a killed run keeps every row so
    // far.
    OutputFile csv(toCsv ? line.value("csv") : QString("-"));
    QString error;
    if (toCsv && !csv.open(&error))
        return failWith(error);
    const bool screen = isTerminal(STDOUT_FILENO) && !(toCsv && csv.toStandardOutput());
    const bool rowsToStdout = !screen && !toCsv;
    bool readerGone = false;
    QString csvFailure, stdoutFailure;
    // A reader that went away (txctl monitor | head) ends the run quietly;
    // anything else (a full disk) is an error.
    auto noteFailure = [&](QString &failure, const QString &place) {
        if (errno == EPIPE)
            readerGone = true;
        else if (failure.isEmpty())
            failure = cannotWrite(place, qt_error_string(errno));
    };
    auto emitRow = [&](const QString &row) {
        if (toCsv && csvFailure.isEmpty() && !readerGone && !csv.append(row.toLatin1() + '\n'))
            noteFailure(csvFailure, csv.place());
        if (rowsToStdout && (std::printf("%s\n", qPrintable(row)) < 0 || std::fflush(stdout) != 0))
            noteFailure(stdoutFailure, "standard output");
    };

    installInterruptHandler();
    PortLink link;
    if (!link.open(line.argument(0), &error)) {
        csv.close();
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
    auto end = [&](int withStatus, const QString &why = QString()) {
        status = withStatus;
        error = why;
        loop.quit();
    };
    auto tick = [&] {
        if (interruptRequested())
            return end(kExitInterrupted);
        if (link.deviceLost())
            return end(kExitError, QString("%1: the device went away").arg(link.path()));
        const qint64 now = clock.elapsed();
        if (now + 5 < nextTick)
            return;
        nextTick += kMonitorRefreshMs;
        if (link.liveFramesReceived() == 0) {
            if (now >= timeout)
                end(kExitError, QString("%1: no answer from the transmitter within %2 s")
                                    .arg(link.path())
                                    .arg(timeout / 1000.0, 0, 'g', 3));
            return;
        }
        const double seconds = now / 1000.0;
        emitRow(csvRow(seconds, link.live));
        if (!readerGone) // the row nobody took is not counted
            ++rows;
        QString moved;
        if (!csv.putInPlace(&moved) && csvFailure.isEmpty())
            csvFailure = moved;
        if (!csvFailure.isEmpty())
            return end(kExitError, csvFailure);
        if (!stdoutFailure.isEmpty())
            return end(kExitError, stdoutFailure);
        if (readerGone) // nobody reads the rows any more: end quietly
            return end(kExitOk);
        if (screen && (std::fputs(qPrintable(screenText(link.live, seconds, &shownLines)), stdout) < 0 ||
                       std::fflush(stdout) != 0))
            noteFailure(stdoutFailure, "standard output");
        if (endMs >= 0 && now + 5 >= endMs)
            loop.quit();
    };
    QObject::connect(&refresh, &QTimer::timeout, &loop, tick);
    refresh.start(10); // ticks are paced by nextTick; this only wakes us up
    if (!interruptRequested())
        loop.exec();
    refresh.stop();
    link.close();
    csv.close();
    if (status == kExitInterrupted) {
        std::fprintf(stderr, "txctl: interrupted\n");
        return interruptExitStatus();
    }
    if (status == kExitError)
        return failWith(error);
    if (toCsv && !csv.toStandardOutput())
        progress(quiet, QString("recorded %1 rows in %2").arg(rows).arg(line.value("csv")));
    return kExitOk;
}

} // namespace

CliCommand monitorCommand()
{
    return {"monitor",
            "monitor PORT [--csv FILE]",
            "Show (and record) the live outputs and telemetry",
            "monitor PORT [--csv FILE] [--seconds N]",
            "Shows the eight servo outputs and the telemetry of the transmitter on PORT ten times a second, "
            "until Ctrl-C or --seconds. --csv records one row per refresh (\"-\": on standard output); an "
            "earlier recording is replaced once the first row is in. Without a terminal the rows go to "
            "standard output (unless --csv is given).",
            {{"PORT", kPortArgumentHelp}},
            {{"csv", "Record to FILE: time_s, CH1..CH8, TX_V, RX_V, EXT_V, RSSI_dBm.", "FILE"},
             {"seconds", "End after N seconds.", "N"},
             {"timeout", "Wait at most SECONDS for the first live frame (default 5).", "SECONDS",
              QString::number(kDefaultTimeoutS)}},
            runMonitor};
}
