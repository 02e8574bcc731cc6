#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// What txctl prints: results on standard output, progress and errors on
// standard error, one line each.

// Prints "txctl: MESSAGE" as one line on standard error and returns
// kExitError.
int failWith(const QString &message);
// "PLACE: cannot write it (REASON)", the one wording for every output that
// fails.
QString cannotWrite(const QString &place, const QString &reason);
// Writes results to standard output and flushes them. When they cannot be
// written (a full disk, a closed pipe), says so as failWith does and returns
// false.
bool printOut(const QByteArray &bytes);
// printOut as an exit status: kExitOk, or kExitError with the reason
// reported.
int printResult(const QByteArray &bytes);
// The same, with the reason in *error instead of reported.
bool writeStandardOutput(const QByteArray &bytes, QString *error);
// Progress on standard error, one line, unless quiet.
void progress(bool quiet, const QString &message);

// Whether `fd` is a terminal.
bool isTerminal(int fd);

// Writes all of `n` bytes to `fd`, again after a signal; false (errno set)
// when that failed. Safe in a signal handler.
bool writeAll(int fd, const char *bytes, size_t n);
bool writeAll(int fd, const QByteArray &bytes);

// A progress line that updates in place on a terminal; elsewhere only the
// final state is printed.
class InPlaceProgress
{
public:
    explicit InPlaceProgress(bool quiet);
    ~InPlaceProgress() { finish(); }
    void update(const QString &text);
    void finish();

private:
    bool quiet;
    bool terminal;
    bool shown = false;
    QString last;
};
