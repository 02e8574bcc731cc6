// txctl write: settings from a SOURCE to the transmitter, the old ones kept.

#include <QFile>
#include <cstdio>
#include <sys/stat.h>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/file_source.h"
#include "cli/interrupts.h"
#include "cli/output.h"
#include "cli/port_transfer.h"
#include "model/catalogue.h"

namespace {

// Reads the settings back after a write and lists every one that differs.
int verify(PortLink &link, const TxSettingsRecord &s, int timeout, bool quiet)
{
    QString error;
    const bool ok = readWithProgress(link, timeout, quiet, &error);
    if (interruptRequested())
        return interrupted(link, "the write was finished, the check was not");
    link.close();
    if (!ok)
        return failWith("verify: " + error);
    const QStringList diffs = settingDifferences(s, link.settings, true);
    QString listed;
    for (const QString &d : diffs)
        listed += d + '\n';
    if (!printOut(listed.toUtf8()))
        return kExitError;
    if (!diffs.isEmpty()) {
        std::fprintf(
            stderr,
            "txctl: verify: %d setting%s on the transmitter differ%s from the file (file -> transmitter)\n",
            int(diffs.size()), diffs.size() == 1 ? "" : "s", diffs.size() == 1 ? "s" : "");
        return kExitDiffers;
    }
    progress(quiet, "verified: the transmitter holds what was written");
    return kExitOk;
}

int runWrite(const CommandLine &line)
{
    const bool quiet = line.quiet();
    int timeout = 0;
    if (!timeoutMs(line, &timeout))
        return kExitError;

    // The port is looked at first: a SOURCE that is a port is read before
    // anything goes out, and PORT and SOURCE given the wrong way round are
    // told apart.
    const QString port = line.argument(0);
    const QString path = portDevicePath(port);
    struct stat st;
    if (!port.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISCHR(st.st_mode))
        return failWith(
            QString("%1: not a port (txctl write PORT SOURCE: the port comes first); nothing sent")
                .arg(port));
    const QString problem = port.isEmpty() ? QString() : portAccessProblem(path);
    if (!problem.isEmpty())
        return failWith(QString("%1: %2; nothing sent").arg(path, problem));

    LoadedSource source;
    QString error;
    if (!loadSourceFull(line.argument(1), quiet, source, &error, StaleEditMirrors::Rederive))
        return failWith(error + "; nothing sent");
    if (!source.note.isEmpty())
        progress(quiet, source.note);
    TxSettingsRecord s = source.settings;
    const QStringList unfit = lineCarryProblems(s, source.name, QString());
    if (!unfit.isEmpty())
        return failWith(unfit.first() + "; nothing sent");

    PortLink link;
    Backup backup;
    backup.wanted = !line.isSet("no-backup");
    backup.timeoutMs = timeout;
    const WriteOutcome outcome = openAndWrite(link, port, s, quiet, backup);
    if (outcome != WriteOutcome::Written)
        return exitStatusOf(outcome);
    progress(quiet, "written");

    if (!line.isSet("verify")) {
        link.close();
        return kExitOk;
    }
    return verify(link, s, timeout, quiet);
}

} // namespace

CliCommand writeCommand()
{
    return {
        "write",
        "write PORT SOURCE [--verify]",
        "Write settings to the transmitter (the old ones kept)",
        "write PORT SOURCE [--verify] [--no-backup]",
        "Writes the settings of SOURCE to the transmitter on PORT, as the window's WRITE does after LOAD: "
        "a settings file is sent as LOAD takes it (a note says where that differs from its bytes). A "
        "SOURCE that does not load whole, or holds a value a settings line cannot carry, is refused and "
        "nothing is sent. --verify reads the settings back and lists every setting that differs (exit "
        "status 1). The settings the transmitter held are read into the history first (\"before write\") "
        "and what was sent is added (\"written\"): txctl write PORT @2 puts the old ones back. When that "
        "read fails, nothing is sent; --no-backup writes without it.",
        {{"PORT", kPortArgumentHelp}, {"SOURCE", kSourceArgumentHelp}},
        {{"verify", "Read the settings back afterwards and compare."}, noBackupOption(), timeoutOption()},
        runWrite};
}
