#pragma once

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class PtyPair;

// What a program printed and how it ended (status -1: it crashed or did not
// end within a minute).
struct ProgramRun {
    int status = -1;
    QByteArray out, err;
};

// Bytes as they arrived on the master side of a bare pty, with the time of
// each piece.
struct Wire {
    QByteArray bytes;
    QVector<QPair<qint64, int>> pieces; // (ms since start, offset of the piece)
    // When the byte at `offset` arrived (ms since start), -1 before any.
    qint64 arrival(int offset) const;
};

struct RunOptions {
    QString workingDirectory; // empty: this process's
    QString standardInput;    // a file to read as standard input; empty: none
    PtyPair *pty = nullptr;   // a bare pty read while the program runs
    Wire *wire = nullptr;     // what arrived on it
    int interruptAt = -1;     // interruptSignal once this many bytes arrived, -1 never
    int interruptSignal = 2;  // SIGINT
    // interruptSignal once the wire ends with these bytes, empty never.
    QByteArray interruptAfter;
    // XDG_DATA_HOME of the program (where txctl keeps its history); empty: a
    // temporary folder of this test process, never the user's own.
    QString dataHome;
    // Called after every piece that arrives on the pty.
    std::function<void(const QByteArray &wire, PtyPair &pty)> respond;
    // Called on every turn of the wait with the program's process id (to
    // send it a signal once something has happened).
    std::function<void(qint64 pid)> whileRunning;
};

// The temporary XDG_DATA_HOME the programs a test starts get by default.
QString testDataHome();

// Runs `program` with `args` and waits for it, at most a minute, with the
// event loop turning (for a virtual transmitter in this process) and the pty
// of `options` read along the way.
ProgramRun runProgram(const QString &program, const QStringList &args, const RunOptions &options = {});

// A whole file, or empty when it cannot be read.
QByteArray readFile(const QString &path);
// Creates or replaces a file; false when it could not be written whole.
bool writeFile(const QString &path, const QByteArray &bytes);
