#include "cli/port_transfer.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "cli/interrupts.h"
#include "cli/output.h"
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

// The settings as the history keeps them: the file the window's SAVE writes.
QByteArray historyBytes(const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    return settingsFileBytes(buildSettingsLines(copy));
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
    return readSettingsOverLink(
        link, timeout,
        [&](int n) { bar.update(QString("frames received %1/%2").arg(n).arg(kSettingsFrameCount)); }, error);
}

bool readFromPort(const QString &port, bool quiet, TxSettingsRecord &settings, TxLiveDataRecord &live,
                  QString *error)
{
    installInterruptHandler();
    PortLink link;
    if (!link.open(port, error))
        return false;
    const bool ok = readWithProgress(link, kDefaultTimeoutS * 1000, quiet, error);
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
    if (!addHistoryEntry(event, port, historyBytes(s), &error))
        std::fprintf(stderr, "txctl: %s\n", qPrintable(error));
}

int openAndWrite(PortLink &link, const QString &port, TxSettingsRecord &s, bool quiet, const Backup &backup)
{
    installInterruptHandler();
    QString error;
    if (!link.open(port, &error))
        return failWith(error);
    QElapsedTimer clock;
    clock.start();
    const bool heard = waitUntil(
        [&] { return link.deviceLost() || (link.chunksReceived() > 0 && clock.elapsed() >= kButtonLockMs); },
        clock, kHeardWithinMs);
    if (interruptRequested())
        return interrupted(link, "nothing sent");
    if (link.deviceLost())
        return failWith(QString("%1: the device went away; nothing sent").arg(link.path()));
    if (!heard) {
        link.close();
        return failWith(QString("%1: no answer from the transmitter within %2 s (is it switched on?); "
                                "nothing sent")
                            .arg(link.path())
                            .arg(kHeardWithinMs / 1000));
    }
    if (backup.wanted) {
        const QString without =
            QString("nothing sent (txctl %1 --no-backup goes on without this backup)").arg(backup.command);
        const bool read = readWithProgress(link, backup.timeoutMs, quiet, &error);
        if (interruptRequested())
            return interrupted(link, "nothing sent");
        if (!read) {
            link.close();
            return failWith(QString("reading the settings to keep before the %1: %2; %3")
                                .arg(backup.command, error, without));
        }
        if (!addHistoryEntry(backup.event, link.path(), historyBytes(link.settings), &error)) {
            link.close();
            return failWith(QString("%1; %2").arg(error, without));
        }
        for (const QString &line : lineCarryProblems(link.settings, "the transmitter", "kept"))
            progress(quiet, "history: " + line);
        progress(quiet, "the settings so far are kept in the history (txctl history)");
        waitMs(kButtonLockMs); // as the window's buttons after a READ
    }
    // The transmitter must not be left with half a write: a signal waits
    // until the write and the report on it are done.
    InterruptHold hold;
    const int sent = sendWrite(link, s, quiet);
    const int total = int(writeSequence(SettingsLines{}).size());
    if (interruptRequested())
        return interrupted(link, interruptedWriteNote(sent, total));
    if (link.deviceLost())
        return failWith(
            QString("%1: the device went away after %2 of %3 steps").arg(link.path()).arg(sent).arg(total));
    return -1;
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
