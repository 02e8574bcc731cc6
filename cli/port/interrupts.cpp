#include "cli/port/interrupts.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "cli/output/output.h"

namespace {

int signalPair[2] = {-1, -1};
volatile sig_atomic_t interrupts = 0;
volatile sig_atomic_t firstSignal = 0;
// The open port's descriptor, for the last "DIS" when txctl has to end at
// once; -1 when no port is open.
volatile sig_atomic_t openPortFd = -1;
// While above zero, an interrupt waits for the work in hand (a write
// sequence, the closing of the port) instead of ending txctl.
volatile sig_atomic_t holdDepth = 0;

// How long txctl may take after a signal to end by itself before it is ended
// (blocked on a pipe nobody reads, a FIFO nobody opens, a question).
constexpr int kEndWithinMs = 1000;

void armEndTimer(int ms)
{
    itimerval t = {};
    t.it_value.tv_sec = ms / 1000;
    t.it_value.tv_usec = (ms % 1000) * 1000;
    ::setitimer(ITIMER_REAL, &t, nullptr);
}

// The signal was not acted on in time: say goodbye to the transmitter and
// end (only async-signal-safe calls).
void onEndTimer(int)
{
    if (holdDepth > 0) {
        armEndTimer(100);
        return;
    }
    if (openPortFd >= 0)
        writeAll(openPortFd, "DIS", 3);
    static const char message[] = "txctl: interrupted\n";
    writeAll(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(128 + (firstSignal > 0 ? firstSignal : SIGINT));
}

void onSignal(int signal)
{
    const int saved = errno;
    if (interrupts == 0) {
        firstSignal = signal;
        armEndTimer(kEndWithinMs);
    }
    interrupts = interrupts + 1;
    const char c = char(signal);
    ssize_t ignored = ::write(signalPair[1], &c, 1);
    (void)ignored;
    errno = saved;
}

} // namespace

void installInterruptHandler()
{
    if (signalPair[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPair) != 0)
        return;
    // The handler counts; the socket only wakes the event loop up.
    auto *notifier = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buf[16];
        ssize_t ignored = ::read(signalPair[0], buf, sizeof buf);
        (void)ignored;
    });
    struct sigaction timer = {};
    timer.sa_handler = onEndTimer;
    sigemptyset(&timer.sa_mask);
    ::sigaction(SIGALRM, &timer, nullptr);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // The terminal gone (an ssh session dropped) must not cut a write short
    // either. A signal ignored when txctl started (nohup, a background job)
    // stays ignored.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &sa, nullptr);
    }
    // A reader that goes away (txctl monitor | head) shows up as a failed
    // write, so the port can still be closed properly.
    ::signal(SIGPIPE, SIG_IGN);
}

int interruptCount()
{
    return interrupts;
}

InterruptHold::InterruptHold()
{
    holdDepth = holdDepth + 1;
}

InterruptHold::~InterruptHold()
{
    holdDepth = holdDepth - 1;
}

int interruptExitStatus()
{
    return 128 + (firstSignal > 0 ? firstSignal : SIGINT);
}

void setOpenPortForInterrupts(int fd)
{
    openPortFd = fd;
}
