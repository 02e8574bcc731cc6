#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
//   bench_stream ratio [seconds]   the tool beside the floor program (txfloor): each
//                                  opens its own virtual transmitter (txsim --rate 0,
//                                  576 frames/s) and both stream at once; their CPU
//                                  shares and the ratio, in 5 s slices and in total

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

// ---- the tool beside the floor program ----

// CPU seconds (user + system) of another process so far, from /proc.
double processCpuSeconds(qint64 pid)
{
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // The fields after the command name, which is in parentheses: state is
    // field 3, utime field 14 and stime field 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

// A child process started with fork and exec, not QProcess: QProcess would add
// its pipes and process descriptor to this process's event loop, and the
// tool's loop, measured here, would poll them on every wake-up.
struct Child {
    pid_t pid = -1;
    // Starts program; its stdout goes to a pipe whose read end is returned in
    // *out (when out is given), its stderr to errPath (when given).
    bool start(const QString &program, const QStringList &args, const QString &errPath, int *out = nullptr)
    {
        int fds[2] = {-1, -1};
        if (out && pipe(fds) != 0)
            return false;
        const QByteArray path = QFile::encodeName(program);
        QList<QByteArray> argBytes;
        for (const QString &a : args)
            argBytes << a.toLocal8Bit();
        std::vector<char *> argv{const_cast<char *>(path.constData())};
        for (QByteArray &a : argBytes)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const QByteArray err = QFile::encodeName(errPath);
        pid = fork();
        if (pid == 0) {
            if (!err.isEmpty()) {
                const int e = open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (e >= 0)
                    dup2(e, 2);
            }
            if (out) {
                dup2(fds[1], 1);
                close(fds[0]);
            } else {
                const int n = open("/dev/null", O_WRONLY);
                dup2(n, 1);
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (out) {
            close(fds[1]);
            *out = fds[0];
        }
        return pid > 0;
    }
    bool running() const { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A virtual transmitter in a process of its own (txsim --rate 0: as many live
// frames as a 115200 baud line carries). What it hears goes to a log file,
// from which the answers are counted.
struct Transmitter {
    Child process;
    QString port, log;
    bool start(const QString &dir, const QString &logPath)
    {
        log = logPath;
        int out = -1;
        if (!process.start(dir + "/txsim", {"--rate", "0"}, log, &out))
            return false;
        // The first line on stdout is the port; nothing else comes there.
        QByteArray line;
        char c = 0;
        pollfd p{out, POLLIN, 0};
        while (line.size() < 4096 && poll(&p, 1, 5000) > 0 && ::read(out, &c, 1) == 1 && c != '\n')
            line.append(c);
        close(out);
        port = QString::fromLocal8Bit(line).trimmed();
        return !port.isEmpty();
    }
    // The "WWW" answers noted in the log (once a second) since offset.
    qint64 answers(qint64 from) const
    {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        f.seek(from);
        qint64 n = 0;
        for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine()) {
            const int at = line.indexOf("WWW x");
            if (at >= 0)
                n += line.mid(at + 5).trimmed().toLongLong();
        }
        return n;
    }
    qint64 logSize() const { return QFileInfo(log).size(); }
};

int ratioMode(int seconds)
{
    const QString dir = QCoreApplication::applicationDirPath();
    QTemporaryDir logs;
    Transmitter toolTx, floorTx;
    if (!logs.isValid() || !toolTx.start(dir, logs.filePath("tool.log")) ||
        !floorTx.start(dir, logs.filePath("floor.log"))) {
        std::fprintf(stderr, "cannot start txsim beside this program\n");
        return 1;
    }
    Child floor; // inherits QT_QPA_PLATFORM=offscreen, as the tool here
    if (!floor.start(dir + "/txfloor", {floorTx.port}, QString())) {
        std::fprintf(stderr, "cannot start txfloor beside this program\n");
        return 1;
    }
    setTestPorts({toolTx.port});
    MainWindow w;
    w.show();
    clickOpen(w);
    if (!w.port().isOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return 1;
    }
    runFor(2000); // both streaming and settled
    const qint64 floorPid = floor.pid;
    if (!floor.running() || processCpuSeconds(floorPid) < 0) {
        std::fprintf(stderr, "txfloor is not running\n");
        return 1;
    }
    std::printf("tool and floor side by side, each with its own txsim --rate 0 (576 frames/s)\n");
    const int slice = qMin(5, seconds);
    double toolTotal = 0, floorTotal = 0, wallTotal = 0;
    qint64 toolAnswers = 0, floorAnswers = 0;
    qint64 toolLog = toolTx.logSize(), floorLog = floorTx.logSize();
    for (int t = 0; t < seconds; t += slice) {
        QElapsedTimer wall;
        const double tool0 = cpuSeconds(), floor0 = processCpuSeconds(floorPid);
        wall.start();
        runFor(1000 * qMin(slice, seconds - t));
        const double toolCpu = cpuSeconds() - tool0, floorCpu = processCpuSeconds(floorPid) - floor0;
        const double secs = wall.nsecsElapsed() / 1e9;
        std::printf("  %2d-%2d s: tool %.2f %%, floor %.2f %% of one core, ratio %.2fx\n", t,
                    t + qMin(slice, seconds - t), 100 * toolCpu / secs, 100 * floorCpu / secs,
                    toolCpu / floorCpu);
        toolTotal += toolCpu;
        floorTotal += floorCpu;
        wallTotal += secs;
    }
    toolAnswers = toolTx.answers(toolLog);
    floorAnswers = floorTx.answers(floorLog);
    std::printf("answers heard by the transmitters: tool %.0f/s, floor %.0f/s\n", toolAnswers / wallTotal,
                floorAnswers / wallTotal);
    std::printf("cpu tool %.3f s, floor %.3f s in %.1f s: tool %.2f %%, floor %.2f %% of one core\n",
                toolTotal, floorTotal, wallTotal, 100 * toolTotal / wallTotal, 100 * floorTotal / wallTotal);
    std::printf("ratio tool/floor: %.2fx\n", toolTotal / floorTotal);
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
    if (mode == "ratio")
        return ratioMode(n > 0 ? n : 20);
    std::fprintf(stderr, "usage: %s cpu|memory|gap|ratio [n]\n", argv[0]);
    return 2;
}
