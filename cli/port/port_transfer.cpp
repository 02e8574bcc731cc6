#include "cli/port/port_transfer.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/port/interrupts.h"
#include "cli/port/port_trouble.h"
#include "file/linerange.h"
#include "file/settingsfile.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "link/waitms.h"
#include "model/catalogue.h"

namespace {

// How long write and reset wait to hear the transmitter before they send.
constexpr int kHeardWithinMs = 2000;

// Sends the write sequence for `s` (the lines are built from it, as the
// window builds them, so its raw alarm tenths follow its volts). The first
// Ctrl-C lets the sequence finish (it takes 2.4 s at most); a second one
// stops it between two steps. Returns the number of steps sent.
int sendWrite(PortLink &link, TxSettingsRecord &s, bool quiet)
{
    const LinkSequence steps = writeSequence(buildSettingsLines(s));
    int sent = 0;
    bool told = false;
    link.run(
        steps,
        [&] {
            if (interruptRequested() && !told && !quiet) {
                std::fprintf(stderr, "finishing the write (Ctrl-C again to stop it now)\n");
                told = true;
            }
            return interruptCount() < 2;
        },
        [&](int i) {
            sent = i + 1;
            if (i < 3)
                progress(quiet, QString("line %1/3 sent").arg(i + 1));
        });
    return sent;
}

QString interruptedWriteNote(int sent, int total)
{
    if (sent == total)
        return "the write was finished first";
    return QString("the write stopped after %1 of %2 steps, the transmitter may hold part of it")
        .arg(sent)
        .arg(total);
}

// Stops after an interrupt: interrupted() with `what` said.
WriteOutcome stopInterrupted(PortLink &link, const QString &what)
{
    interrupted(link, what);
    return WriteOutcome::Interrupted;
}

WriteOutcome stopFailed(const QString &message)
{
    failWith(message);
    return WriteOutcome::Failed;
}

// Reads the settings the transmitter holds into the history before a write.
// A read that came in whole is kept even when a signal came meanwhile, so
// that whatever follows, the settings so far are in the history.
WriteOutcome keepBackup(PortLink &link, bool quiet, const Backup &backup)
{
    const QString without =
        QString("nothing sent (txctl %1 --no-backup goes on without this backup)").arg(backup.command);
    QString error;
    const bool read = readWithProgress(link, backup.timeoutMs, quiet, &error);
    const bool kept =
        read && addHistoryEntry(backup.event, link.path(), settingsFileBytes(link.settings), &error);
    if (interruptRequested()) {
        if (read && !kept)
            std::fprintf(stderr, "txctl: %s\n", qPrintable(error));
        return stopInterrupted(link, kept ? "nothing sent; the settings so far are kept in the history"
                                          : "nothing sent");
    }
    if (!read) {
        link.close();
        return stopFailed(QString("reading the settings to keep before the %1: %2; %3")
                              .arg(backup.command, error, without));
    }
    if (!kept) {
        link.close();
        return stopFailed(QString("%1; %2").arg(error, without));
    }
    for (const QString &line : lineCarryProblems(link.settings, "the transmitter", "kept"))
        progress(quiet, "history: " + line);
    progress(quiet, "the settings so far are kept in the history (txctl history)");
    return WriteOutcome::Written;
}

} // namespace

int interrupted(PortLink &link, const QString &what)
{
    link.close();
    std::fprintf(stderr, "txctl: interrupted%s\n", qPrintable(what.isEmpty() ? QString() : "; " + what));
    return interruptExitStatus();
}

bool readWithProgress(PortLink &link, int timeout, bool quiet, QString *error)
{
    waitMs(kButtonLockMs);
    InPlaceProgress bar(quiet);
    bar.update(QString("frames received 0/%1").arg(kSettingsFrameCount));
    const int chunksBefore = link.chunksReceived();
    const bool ok = readSettingsOverLink(
        link, timeout,
        [&](int n) { bar.update(QString("frames received %1/%2").arg(n).arg(kSettingsFrameCount)); }, error);
    // Nothing came at all: who else has the port, and where to look.
    if (!ok && link.chunksReceived() == chunksBefore && !link.deviceLost() && !interruptRequested())
        *error += notHeardHint(link.path());
    return ok;
}

bool readFromPort(const QString &port, bool quiet, TxSettingsRecord &settings, TxLiveDataRecord &live,
                  QString *error, int timeoutMs)
{
    installInterruptHandler();
    PortLink link;
    if (!link.open(port, error))
        return false;
    const bool ok = readWithProgress(link, timeoutMs, quiet, error);
    link.close();
    if (interruptRequested()) {
        // Nothing has been written by the caller yet: it ends as every
        // command ends on Ctrl-C (its status is the signal's, see runCommand),
        // dropping what it had begun on its way out.
        *error = "interrupted";
        return false;
    }
    if (!ok)
        return false;
    settings = link.settings;
    live = link.live;
    return true;
}

QCommandLineOption noBackupOption()
{
    return QCommandLineOption("no-backup", "Do not read the transmitter's settings into the history first "
                                           "(no \"RR\" before the write).");
}

void keepInHistory(HistoryEvent event, const QString &port, const TxSettingsRecord &s)
{
    QString error;
    if (!addHistoryEntry(event, port, settingsFileBytes(s), &error))
        std::fprintf(stderr, "txctl: %s\n", qPrintable(error));
}

int exitStatusOf(WriteOutcome outcome)
{
    switch (outcome) {
    case WriteOutcome::Written:
        return kExitOk;
    case WriteOutcome::Failed:
        return kExitError;
    case WriteOutcome::Interrupted:
        return interruptExitStatus();
    }
    return kExitError;
}

WriteOutcome openAndWrite(PortLink &link, const QString &port, TxSettingsRecord &s, bool quiet,
                          const Backup &backup)
{
    installInterruptHandler();
    QString error;
    if (!link.open(port, &error))
        return stopFailed(error);
    QElapsedTimer clock;
    clock.start();
    const bool heard = waitUntil(
        [&] { return link.deviceLost() || (link.chunksReceived() > 0 && clock.elapsed() >= kButtonLockMs); },
        clock, kHeardWithinMs);
    if (interruptRequested())
        return stopInterrupted(link, "nothing sent");
    if (link.deviceLost())
        return stopFailed(QString("%1: the device went away; nothing sent").arg(link.path()));
    if (!heard) {
        link.close();
        return stopFailed(QString("%1: no answer from the transmitter within %2 s (is it switched on?)%3; "
                                  "nothing sent")
                              .arg(link.path())
                              .arg(kHeardWithinMs / 1000)
                              .arg(notHeardHint(link.path())));
    }
    if (backup.wanted) {
        const WriteOutcome kept = keepBackup(link, quiet, backup);
        if (kept != WriteOutcome::Written)
            return kept;
        if (backup.fromHeld && !backup.fromHeld(link.settings, s, &error)) {
            link.close();
            return stopFailed(error + "; nothing sent");
        }
        waitMs(kButtonLockMs); // as the window's buttons after a READ
    }
    // Before the first line a signal cancels: nothing has changed yet.
    if (interruptRequested())
        return stopInterrupted(link, backup.wanted
                                         ? "nothing sent; the settings so far are kept in the history"
                                         : "nothing sent");
    // From the first line on, the transmitter must not be left with half a
    // write: a signal waits until the write, its history entry and the
    // report on it are done.
    InterruptHold hold;
    const int sent = sendWrite(link, s, quiet);
    const int total = int(writeSequence(SettingsLines{}).size());
    const bool whole = sent == total && !link.deviceLost();
    // Every write that went out whole is in the history, interrupted or not:
    // `write PORT @2` must find what it replaced one entry down.
    if (whole)
        keepInHistory(backup.after, link.path(), s);
    if (interruptRequested())
        return stopInterrupted(link, interruptedWriteNote(sent, total));
    if (!whole)
        return stopFailed(
            QString("%1: the device went away after %2 of %3 steps").arg(link.path()).arg(sent).arg(total));
    return WriteOutcome::Written;
}

QStringList lineCarryProblems(const TxSettingsRecord &s, const QString &holder, const QString &then)
{
    QStringList out;
    for (const SettingInfo &info : settingsCatalogue()) {
        const int v = settingValue(info, s);
        if (info.carrier == SettingCarrier::FramesOnly || settingFitsLine(info, v))
            continue;
        int lo = 0, hi = 0;
        settingLineRange(info, &lo, &hi);
        const int bound = v > hi ? hi : lo;
        const QString path = info.path();
        QString line = QString("%1%2%3 holds %4, a settings file can hold %5 %6")
                           .arg(path, path.endsWith(':') ? " " : ": ", holder, settingValueText(info, v),
                                v > hi ? "at most" : "at least", settingValueText(info, bound));
        if (!then.isEmpty())
            line += QString("; %1 %2").arg(then, settingValueText(info, bound));
        out << line;
    }
    return out;
}
