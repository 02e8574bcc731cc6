#include "cli/output/output.h"

#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "cli/commands.h"

int failWith(const QString &message)
{
    // One line, whatever a system message brought along.
    const QString line = QString(message).replace(QRegularExpression("\\s*\n\\s*"), "; ");
    std::fprintf(stderr, "txctl: %s\n", qPrintable(line));
    return kExitError;
}

QString cannotWrite(const QString &place, const QString &reason)
{
    return QString("%1: cannot write it (%2)").arg(place, reason);
}

bool writeStandardOutput(const QByteArray &bytes, QString *error)
{
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if (std::fflush(stdout) != 0 || !written) {
        *error = cannotWrite("standard output", qt_error_string(errno));
        return false;
    }
    return true;
}

bool printOut(const QByteArray &bytes)
{
    QString error;
    if (!writeStandardOutput(bytes, &error)) {
        failWith(error);
        return false;
    }
    return true;
}

int printResult(const QByteArray &bytes)
{
    return printOut(bytes) ? kExitOk : kExitError;
}

void progress(bool quiet, const QString &message)
{
    if (!quiet)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

bool writeAll(int fd, const char *bytes, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, bytes, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        bytes += w;
        n -= size_t(w);
    }
    return true;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    return writeAll(fd, bytes.constData(), size_t(bytes.size()));
}

InPlaceProgress::InPlaceProgress(bool quiet) : quiet(quiet), terminal(isTerminal(STDERR_FILENO)) {}

void InPlaceProgress::update(const QString &text)
{
    last = text;
    if (quiet || !terminal)
        return;
    std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
    std::fflush(stderr);
    shown = true;
}

void InPlaceProgress::finish()
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
