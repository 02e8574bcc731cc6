#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QVector>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "support/testutil.h"

// The tool under a live stream at the wire's limit (115200 baud: 576 frames
// of 20 bytes a second). A child process plays the transmitter on the master
// side of a pseudo-terminal, so the CPU time measured here is the tool's own.
//
//   bench_stream cpu [seconds]     CPU time / wall time, streaming and with the port closed
//   bench_stream memory [seconds]  resident memory after start-up and after streaming
//   bench_stream gap [writes]      largest gap between refresh ticks while WRITE runs
//                                  under the stream

namespace {

constexpr int kFramesPerSecond = 576;

double seconds(const timeval &t)
{
    return t.tv_sec + t.tv_usec / 1e6;
}

// CPU time of this process (the transmitter child is not counted), and the
// part of it spent in the kernel.
double cpuSeconds(double *system = nullptr)
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    if (system)
        *system = seconds(u.ru_stime);
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

long residentKiB()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// Live frames with moving values, servo and telemetry frames in turn.
QVector<QByteArray> liveFrames()
{
    QVector<QByteArray> frames;
    TxLiveDataRecord d = startLiveData();
    for (int i = 0; i < 200; ++i) {
        for (int c = 0; c < 8; ++c)
            d.servo[c] = 1000 + (i * 5 + c * 100) % 1000;
        frames << buildServoFrame(d) << buildTelemetryFrame(d);
    }
    return frames;
}

// The transmitter: writes one frame every 1/576 s to fd and throws away what
// the tool sends back, until killed.
[[noreturn]] void streamFrames(int fd, const QVector<QByteArray> &frames)
{
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long step = 1000000000L / kFramesPerSecond;
    char sink[4096];
    for (int i = 0;; i = (i + 1) % frames.size()) {
        const QByteArray &f = frames[i];
        if (::write(fd, f.constData(), size_t(f.size())) < 0 && errno != EAGAIN && errno != EINTR)
            _exit(0);
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            if (::read(fd, sink, sizeof sink) <= 0)
                break;
        }
        next.tv_nsec += step;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

struct Stream {
    PtyPair pty;
    pid_t child = -1;
    bool start()
    {
        if (!pty.isValid())
            return false;
        const QVector<QByteArray> frames = liveFrames();
        child = fork();
        if (child == 0)
            streamFrames(pty.masterHandle(), frames);
        return child > 0;
    }
    ~Stream()
    {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
};

// Runs the event loop for ms, sleeping between events like the tool's own loop.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Ratio {
    double cpu, wall, system;
};

Ratio measure(int secs)
{
    QElapsedTimer wall;
    double s0 = 0, s1 = 0;
    const double c0 = cpuSeconds(&s0);
    wall.start();
    runFor(secs * 1000);
    const double c1 = cpuSeconds(&s1);
    return {c1 - c0, wall.nsecsElapsed() / 1e9, s1 - s0};
}

std::unique_ptr<MainWindow> openWindow(Stream &s)
{
    setTestPorts({s.pty.slavePath()});
    auto w = std::make_unique<MainWindow>();
    w->show();
    clickOpen(*w);
    if (!w->port().isOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        std::exit(1);
    }
    return w;
}

int cpuMode(int seconds)
{
    {
        setTestPorts({});
        MainWindow w;
        w.show();
        runFor(1000);
        const Ratio r = measure(seconds);
        std::printf("cpu port closed: %.3f s cpu in %.1f s = %.3f %% of one core\n", r.cpu, r.wall,
                    100 * r.cpu / r.wall);
    }
    Stream s;
    if (!s.start())
        return 1;
    auto w = openWindow(s);
    runFor(1000);
    const Ratio r = measure(seconds);
    std::printf(
        "cpu streaming %d frames/s: %.3f s cpu in %.1f s = %.3f %% of one core (%.3f s in the kernel)\n",
        kFramesPerSecond, r.cpu, r.wall, 100 * r.cpu / r.wall, r.system);
    return 0;
}

int memoryMode(int seconds)
{
    Stream s;
    if (!s.start())
        return 1;
    auto w = openWindow(s);
    runFor(2000);
    const long start = residentKiB();
    std::printf("resident after start-up: %ld KiB\n", start);
    long peak = start;
    for (int t = 0; t < seconds; t += 10) {
        runFor(1000 * qMin(10, seconds - t));
        peak = qMax(peak, residentKiB());
    }
    const long end = residentKiB();
    std::printf("resident after %d s of streaming: %ld KiB (peak %ld KiB, growth %ld KiB)\n", seconds, end,
                peak, end - start);
    return 0;
}

int gapMode(int writes)
{
    Stream s;
    if (!s.start())
        return 1;
    auto w = openWindow(s);
    QTimer *refresh = nullptr;
    for (QTimer *t : w->findChildren<QTimer *>())
        if (t->interval() == 100)
            refresh = t;
    if (!refresh) {
        std::fprintf(stderr, "no refresh timer\n");
        return 1;
    }
    QVector<qint64> ticks;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(refresh, &QTimer::timeout, [&] { ticks << clock.elapsed(); });
    runFor(1000);
    qint64 worst = 0;
    for (int i = 0; i < writes; ++i) {
        ticks.clear();
        QMetaObject::invokeMethod(w.get(), "on_toolButton_Send_clicked", Qt::DirectConnection);
        qint64 g = 0;
        for (int k = 1; k < ticks.size(); ++k)
            g = qMax(g, ticks[k] - ticks[k - 1]);
        std::printf("write %d: %d ticks, largest gap %lld ms\n", i + 1, int(ticks.size()), (long long)g);
        worst = qMax(worst, g);
    }
    std::printf("largest gap between refresh ticks during WRITE: %lld ms\n", (long long)worst);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TxSettings = startSettings();
    TxLiveData = startLiveData();
    const QString mode = argc > 1 ? QString(argv[1]) : QString("cpu");
    const int n = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "cpu")
        return cpuMode(n > 0 ? n : 30);
    if (mode == "memory")
        return memoryMode(n > 0 ? n : 20);
    if (mode == "gap")
        return gapMode(n > 0 ? n : 3);
    std::fprintf(stderr, "usage: %s cpu|memory|gap [n]\n", argv[0]);
    return 2;
}
