#include "sim/pty.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0)
        return;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        ::close(fd);
        return;
    }
    const char *name = ::ptsname(fd);
    if (!name) {
        ::close(fd);
        return;
    }
    path = QString::fromLocal8Bit(name);
    // Neither side is handed on to the programs this process starts: one that
    // held the master side would pass for the device itself, and one that
    // held the slave for another program using the port.
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    // Raw line: no echo, no line editing, no CR/LF translation, in either direction.
    keepSlaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios t;
    if (keepSlaveFd >= 0 && ::tcgetattr(keepSlaveFd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(keepSlaveFd, TCSANOW, &t);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    // Programs started from here (txctl under test) must not hold the master
    // too, or closing it here would not hang the line up for them.
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (keepSlaveFd >= 0)
        ::fcntl(keepSlaveFd, F_SETFD, FD_CLOEXEC);
    masterFd = fd;
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    if (keepSlaveFd >= 0)
        ::close(keepSlaveFd);
    keepSlaveFd = -1;
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

bool PtyPair::write(const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    // Give up after about two seconds of a full buffer (nobody reading the
    // other side) instead of hanging the caller.
    int stalls = 0;
    while (left > 0 && masterFd >= 0 && stalls < 20) {
        ssize_t n = ::write(masterFd, p, size_t(left));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                struct pollfd pfd = {masterFd, POLLOUT, 0};
                if (::poll(&pfd, 1, 100) == 0)
                    ++stalls;
                continue;
            }
            return false;
        }
        p += n;
        left -= n;
    }
    return left == 0;
}

QByteArray PtyPair::read(int timeoutMs)
{
    QByteArray out;
    if (masterFd < 0)
        return out;
    struct pollfd pfd = {masterFd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0 || !(pfd.revents & POLLIN))
        return out;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(masterFd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, int(n));
    }
    return out;
}
