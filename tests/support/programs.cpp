#include "support/programs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "sim/pty.h"

qint64 Wire::arrival(int offset) const
{
    qint64 t = -1;
    for (const auto &p : pieces)
        if (p.second <= offset)
            t = p.first;
    return t;
}

QString testDataHome()
{
    static QTemporaryDir home;
    return home.path();
}

namespace {

// What arrived on the pty of `options`, added to its wire and answered.
void takeFromPty(const RunOptions &options, qint64 elapsed)
{
    const QByteArray got = options.pty->read(2);
    Wire *wire = options.wire;
    if (got.isEmpty() || !wire)
        return;
    wire->pieces.append({elapsed, int(wire->bytes.size())});
    wire->bytes += got;
    if (options.respond)
        options.respond(wire->bytes, *options.pty);
}

// Whether the wire of `options` is where the program gets its signal.
bool interruptDue(const RunOptions &options)
{
    const Wire *wire = options.wire;
    return wire && ((options.interruptAt >= 0 && wire->bytes.size() >= options.interruptAt) ||
                    (!options.interruptAfter.isEmpty() && wire->bytes.endsWith(options.interruptAfter)));
}

} // namespace

ProgramRun runProgram(const QString &program, const QStringList &args, const RunOptions &options)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", options.dataHome.isEmpty() ? testDataHome() : options.dataHome);
    p.setProcessEnvironment(env);
    if (!options.workingDirectory.isEmpty())
        p.setWorkingDirectory(options.workingDirectory);
    if (!options.standardInput.isEmpty())
        p.setStandardInputFile(options.standardInput);
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForStarted(10000))
        return r;
    PtyPair *pty = options.pty;
    Wire *wire = options.wire;
    QElapsedTimer clock;
    clock.start();
    bool interrupted = false;
    while (p.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (options.whileRunning && p.processId() > 0)
            options.whileRunning(p.processId());
        if (pty) {
            takeFromPty(options, clock.elapsed());
            if (!interrupted && interruptDue(options)) {
                ::kill(pid_t(p.processId()), options.interruptSignal);
                interrupted = true;
            }
        } else {
            p.waitForFinished(5);
        }
    }
    p.waitForFinished(1000);
    if (pty && wire) // what was still on its way when the program ended
        wire->bytes += pty->read(50);
    r.status =
        p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
