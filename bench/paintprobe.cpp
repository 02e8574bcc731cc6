// libpaintprobe.so: loaded with LD_PRELOAD into an unchanged Qt program, it
// notes when the program's first window has been painted and ends the
// process there. bench_launch uses it to time the tool and the floor program
// from exec to their first frame the same way.
//
// When the application object is made, an event filter is installed on it.
// The first paint event of a widget marks the first frame; a zero timer then
// fires once that frame is painted and handed to the window system. At that
// moment the probe writes one line to the file descriptor in TX_PROBE_FD
// (stderr when unset):
//
//   painted <CLOCK_MONOTONIC ns> <CPU ns of the process so far>
//
// and leaves with _exit(0), so no tear-down is timed.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

long long nanos(const timeval &t)
{
    return t.tv_sec * 1000000000LL + t.tv_usec * 1000LL;
}

void report()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const char *fdText = std::getenv("TX_PROBE_FD");
    const int fd = fdText ? std::atoi(fdText) : 2;
    dprintf(fd, "painted %lld %lld\n", now.tv_sec * 1000000000LL + now.tv_nsec,
            nanos(u.ru_utime) + nanos(u.ru_stime));
    _exit(0);
}

class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (!seen && e->type() == QEvent::Paint && o->isWidgetType()) {
            seen = true;
            QTimer::singleShot(0, &report);
        }
        return false;
    }

private:
    bool seen = false;
};

void install()
{
    QCoreApplication::instance()->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
