// txctl monitor: the live outputs and telemetry on the screen, and recorded.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/draw/plot.h"
#include "cli/output/monitor_view.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/port/interrupts.h"
#include "cli/port/port_link.h"
#include "cli/port/port_trouble.h"

namespace {

// The refresh of monitor, as the window's display refresh.
constexpr int kMonitorRefreshMs = 100;
// How early a refresh may come: the wake-up timer is not exact.
constexpr int kTickSlackMs = 5;
// The longest recording monitor takes: a year.
constexpr int kMonitorMaxSeconds = int(kRecordingMaxSeconds);

// --seconds as milliseconds, -1 without it; false when it is no duration.
bool endAfterMs(const CommandLine &line, qint64 *endMs)
{
    *endMs = -1;
    if (!line.isSet("seconds"))
        return true;
    bool ok = false;
    const double n = line.value("seconds").toDouble(&ok);
    // Up to a year: "nan", "inf" and 1e300 read as numbers too.
    if (!ok || !(n > 0 && n <= kMonitorMaxSeconds)) {
        failWith(QString("monitor: --seconds wants a positive number of seconds up to %1, not \"%2\"")
                     .arg(kMonitorMaxSeconds)
                     .arg(line.value("seconds")));
        return false;
    }
    *endMs = qint64(n * 1000 + 0.5);
    return true;
}

// One run of monitor: the port, where the rows go, and the refresh.
class Monitor
{
public:
    Monitor(const CommandLine &line, int timeoutMs, qint64 endMs)
        : line(line), timeoutMs(timeoutMs), endMs(endMs), toCsv(line.isSet("csv")),
          // A file gets the new recording beside it, which replaces it once
          // the first row is in: a run that records nothing leaves an earlier
          // recording as it was. Rows are written one by one: a killed run
          // keeps every row so far.
          csv(toCsv ? line.value("csv") : QString("-"))
    {
    }
    int run();

private:
    void noteFailure(QString &failure, const QString &place);
    void emitRow(const QString &row);
    void record(qint64 now);
    void showScreen(qint64 now);
    void tick();
    void end(int withStatus, const QString &why = QString());

    const CommandLine &line;
    const int timeoutMs;
    const qint64 endMs;
    const bool toCsv;
    OutputFile csv;
    bool screen = false, rowsToStdout = false, readerGone = false;
    QString error, csvFailure, stdoutFailure;
    PortLink link;
    QElapsedTimer clock;
    QEventLoop loop;
    int shownLines = 0;
    int rows = 0;
    int status = kExitOk;
    // Refreshes fall on the multiples of kMonitorRefreshMs. One missed while
    // txctl was held up (a stopped process, a busy machine) is skipped, not
    // made up for by a burst of rows.
    qint64 nextTick = kMonitorRefreshMs;
    // A row stands for a refresh that received a live frame since the one
    // before: a silent transmitter leaves a gap in the recording, not copies
    // of its last values.
    int framesRecorded = 0;
    qint64 lastFrameMs = 0;
};

// A reader that went away (txctl monitor | head) ends the run quietly;
// anything else (a full disk) is an error.
void Monitor::noteFailure(QString &failure, const QString &place)
{
    if (errno == EPIPE)
        readerGone = true;
    else if (failure.isEmpty())
        failure = cannotWrite(place, qt_error_string(errno));
}

void Monitor::emitRow(const QString &row)
{
    if (toCsv && csvFailure.isEmpty() && !readerGone && !csv.append(row.toLatin1() + '\n'))
        noteFailure(csvFailure, csv.place());
    if (rowsToStdout && (std::printf("%s\n", qPrintable(row)) < 0 || std::fflush(stdout) != 0))
        noteFailure(stdoutFailure, "standard output");
}

void Monitor::record(qint64 now)
{
    emitRow(csvRow(now / 1000.0, link.live));
    if (!readerGone) // the row nobody took is not counted
        ++rows;
    QString moved;
    if (!csv.putInPlace(&moved) && csvFailure.isEmpty())
        csvFailure = moved;
}

void Monitor::showScreen(qint64 now)
{
    const QString text = screenText(link.live, now / 1000.0, now - lastFrameMs, &shownLines);
    if (std::fputs(qPrintable(text), stdout) < 0 || std::fflush(stdout) != 0)
        noteFailure(stdoutFailure, "standard output");
}

void Monitor::end(int withStatus, const QString &why)
{
    status = withStatus;
    error = why;
    loop.quit();
}

void Monitor::tick()
{
    if (interruptRequested())
        return end(kExitInterrupted);
    if (link.deviceLost())
        return end(kExitError, QString("%1: the device went away").arg(link.path()));
    const qint64 now = clock.elapsed();
    if (now + kTickSlackMs < nextTick)
        return;
    nextTick = ((now + kTickSlackMs) / kMonitorRefreshMs + 1) * kMonitorRefreshMs;
    const int frames = link.liveFramesReceived();
    if (frames == 0) {
        if (now >= timeoutMs)
            end(kExitError, QString("%1: no answer from the transmitter within %2 s%3")
                                .arg(link.path())
                                .arg(timeoutMs / 1000.0, 0, 'g', 3)
                                .arg(notHeardHint(link.path())));
        return;
    }
    if (frames != framesRecorded) {
        framesRecorded = frames;
        lastFrameMs = now;
        record(now);
    }
    if (!csvFailure.isEmpty())
        return end(kExitError, csvFailure);
    if (!stdoutFailure.isEmpty())
        return end(kExitError, stdoutFailure);
    if (readerGone) // nobody reads the rows any more: end quietly
        return end(kExitOk);
    if (screen)
        showScreen(now);
    if (endMs >= 0 && now + kTickSlackMs >= endMs)
        loop.quit();
}

int Monitor::run()
{
    if (toCsv && line.value("csv").isEmpty())
        return failWith("monitor: --csv wants a file name");
    if (toCsv && !csv.open(&error))
        return failWith(error);
    screen = isTerminal(STDOUT_FILENO) && !(toCsv && csv.toStandardOutput());
    rowsToStdout = !screen && !toCsv;

    installInterruptHandler();
    if (!link.open(line.argument(0), &error)) {
        csv.close();
        return failWith(error);
    }
    emitRow(csvHeader());
    clock.start();
    QTimer refresh;
    refresh.setTimerType(Qt::PreciseTimer);
    QObject::connect(&refresh, &QTimer::timeout, &loop, [this] { tick(); });
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
        progress(line.quiet(), QString("recorded %1 rows in %2").arg(rows).arg(line.value("csv")));
    return kExitOk;
}

int runMonitor(const CommandLine &line)
{
    int timeout = 0;
    qint64 endMs = -1;
    if (!timeoutMs(line, &timeout) || !endAfterMs(line, &endMs))
        return kExitError;
    Monitor monitor(line, timeout, endMs);
    return monitor.run();
}

} // namespace

CliCommand monitorCommand()
{
    return {"monitor",
            "monitor PORT [--csv FILE]",
            "Show (and record) the live outputs and telemetry",
            "monitor PORT [--csv FILE] [--seconds N]",
            "Shows the eight servo outputs and the telemetry of the transmitter on PORT ten times a second, "
            "until Ctrl-C or --seconds. --csv records one row per refresh that received live data (\"-\": on "
            "standard output), so a "
            "silent transmitter shows as a gap; an "
            "earlier recording is replaced once the first row is in. Without a terminal the rows go to "
            "standard output (unless --csv is given).",
            {{"PORT", kPortArgumentHelp}},
            {{"csv", "Record to FILE: time_s, CH1..CH8, TX_V, RX_V, EXT_V, RSSI_dBm.", "FILE"},
             {"seconds", "End after N seconds.", "N"},
             {"timeout", "Wait at most SECONDS for the first live frame (default 5).", "SECONDS",
              QString::number(kDefaultTimeoutS)}},
            runMonitor};
}
