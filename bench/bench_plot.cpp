#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli/draw/plot.h"

// txctl plot on long recordings, beside a floor that only reads the file and
// parses its numbers.
//
//   bench_plot [hours] [rounds]   (default 10 hours, 5 rounds)
//
// Writes a recording of `hours` at monitor's 10 rows a second (and one of an
// hour), then in turns: the floor (the file read in 1 MiB pieces, split into
// lines and fields, every number parsed with std::from_chars), and plot in
// this process (PlotLog::read and the PNG drawn). Medians of wall and CPU
// time, and their ratio. Last, `txctl plot LOG -o OUT.png` as a program on
// the short and the long recording: wall time and peak resident memory.

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

// A flight: slowly sagging batteries with noise, a moving throttle, a few
// link losses (empty RSSI, gaps of a couple of seconds).
bool writeLog(const QString &path, qint64 rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    f.write("time_s,CH1,CH2,CH3,CH4,CH5,CH6,CH7,CH8,TX_V,RX_V,EXT_V,RSSI_dBm\n");
    double t = 0.1;
    for (qint64 i = 0; i < rows; ++i, t += 0.1) {
        if (i % 50000 == 49999)
            t += 2.5;
        const double phase = i / 600.0;
        const int throttle = 1000 + int(800 * std::sin(phase) * std::sin(phase / 7));
        const bool lost = i % 20000 < 15;
        chunk += QString("%1,1000,1010,%2,990,1500,1500,1000,2000,%3,%4,%5,%6\n")
                     .arg(t, 0, 'f', 3)
                     .arg(throttle)
                     .arg(8.2 - 0.8 * i / rows + 0.01 * (i % 7), 0, 'f', 2)
                     .arg(5.1 - 0.4 * i / rows + 0.1 * (i % 3), 0, 'f', 1)
                     .arg(11.8 - 1.0 * i / rows, 0, 'f', 1)
                     .arg(lost ? QString() : QString::number(-40 - int(30 * std::abs(std::sin(phase / 3)))))
                     .toLatin1();
        if (chunk.size() > (1 << 20)) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return f.write(chunk) == chunk.size() && f.flush();
}

// The floor: read, split and parse, nothing kept.
double floorPass(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    std::vector<char> buffer(2 << 20);
    qint64 have = 0;
    double sum = 0;
    for (;;) {
        const qint64 n = f.read(buffer.data() + have, 1 << 20);
        if (n <= 0)
            break;
        have += n;
        const char *p = buffer.data(), *end = p + have;
        for (const char *nl; (nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))));
             p = nl + 1)
            for (const char *q = p; q < nl;) {
                const char *comma = static_cast<const char *>(std::memchr(q, ',', size_t(nl - q)));
                const char *stop = comma ? comma : nl;
                double v = 0;
                std::from_chars(q, stop, v);
                sum += v;
                q = stop + 1;
            }
        have = end - p;
        std::memmove(buffer.data(), p, size_t(have));
    }
    return sum;
}

qint64 plotPass(const QString &path, bool draw = true)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    PlotLog log;
    QString error;
    if (!log.read(f, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 0;
    }
    return draw ? renderPlot(log, {"bench.csv", {}, {}}, false, PlotFormat::Png).size() : log.rows();
}

struct Timing {
    double wall, cpu;
};

template <typename F> Timing timed(F f)
{
    QElapsedTimer clock;
    const double cpu0 = cpuSeconds();
    clock.start();
    f();
    return {clock.nsecsElapsed() / 1e9, cpuSeconds() - cpu0};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// txctl plot as a program: wall time and peak resident memory (KiB).
Timing txctlPlot(const QString &log, const QString &out, long *peakKiB)
{
    const QByteArray txctl = (QCoreApplication::applicationDirPath() + "/txctl").toLocal8Bit();
    const QByteArray logPath = log.toLocal8Bit(), outPath = out.toLocal8Bit();
    QElapsedTimer clock;
    clock.start();
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execl(txctl.constData(), "txctl", "plot", "-q", logPath.constData(), "-o", outPath.constData(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    *peakKiB = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? u.ru_maxrss : -1;
    return {clock.nsecsElapsed() / 1e9,
            u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double hours = argc > 1 ? std::atof(argv[1]) : 10;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir dir;
    const QString longLog = dir.filePath("long.csv"), shortLog = dir.filePath("short.csv");
    const qint64 rows = qint64(hours * 36000);
    if (!dir.isValid() || !writeLog(longLog, rows) || !writeLog(shortLog, 36000)) {
        std::fprintf(stderr, "cannot write the recordings\n");
        return 2;
    }
    std::printf("recording: %lld rows (%.1f h), %.1f MB\n", static_cast<long long>(rows), hours,
                QFile(longLog).size() / 1e6);

    std::vector<double> floorWall, floorCpu, plotWall, plotCpu, readCpu;
    double checksum = 0;
    qint64 png = 0;
    plotPass(longLog); // warm the page cache and the fonts
    for (int r = 0; r < rounds; ++r) {
        const Timing f = timed([&] { checksum += floorPass(longLog); });
        const Timing p = timed([&] { png = plotPass(longLog); });
        readCpu.push_back(timed([&] { plotPass(longLog, false); }).cpu);
        floorWall.push_back(f.wall);
        floorCpu.push_back(f.cpu);
        plotWall.push_back(p.wall);
        plotCpu.push_back(p.cpu);
    }
    std::printf("floor (read and parse): %7.1f ms wall, %7.1f ms CPU   (checksum %.0f)\n",
                median(floorWall) * 1e3, median(floorCpu) * 1e3, checksum);
    std::printf("plot (read, draw PNG):  %7.1f ms wall, %7.1f ms CPU   (PNG %lld bytes)\n",
                median(plotWall) * 1e3, median(plotCpu) * 1e3, static_cast<long long>(png));
    std::printf("plot's reading alone:                     %7.1f ms CPU\n", median(readCpu) * 1e3);
    {
        QFile f(longLog);
        PlotLog log;
        QString error;
        if (f.open(QIODevice::ReadOnly) && log.read(f, &error)) {
            for (PlotFormat format : {PlotFormat::Png, PlotFormat::Pdf, PlotFormat::Svg}) {
                std::vector<double> draw;
                for (int r = 0; r < rounds; ++r)
                    draw.push_back(timed([&] { renderPlot(log, {"bench.csv", {}, {}}, false, format); }).cpu);
                std::printf("drawing alone, %s:                       %7.1f ms CPU\n",
                            format == PlotFormat::Png   ? "PNG"
                            : format == PlotFormat::Pdf ? "PDF"
                                                        : "SVG",
                            median(draw) * 1e3);
            }
        }
    }
    std::printf("plot / floor:           %7.2fx wall, %6.2fx CPU   (medians of %d rounds)\n",
                median(plotWall) / median(floorWall), median(plotCpu) / median(floorCpu), rounds);

    for (const QString &log : {shortLog, longLog}) {
        long peak = 0;
        const Timing t = txctlPlot(log, dir.filePath("out.png"), &peak);
        std::printf("txctl plot, %s: %7.1f ms wall, %7.1f ms CPU, peak resident %ld KiB\n",
                    log == shortLog ? "1 h " : "long", t.wall * 1e3, t.cpu * 1e3, peak);
    }
    return 0;
}
