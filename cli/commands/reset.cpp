// txctl reset: the transmitter back to the factory settings, after asking.

#include <cstdio>
#include <unistd.h>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/port/port_transfer.h"
#include "model/txsettings.h"

namespace {

// Asks on the terminal; false when the answer is not yes.
bool confirmOnTerminal(const QString &question)
{
    std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
    std::fflush(stderr);
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        std::fprintf(stderr, "\n"); // end of input: the answer line was never ended
        return false;
    }
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return a == "y" || a == "yes";
}

int runReset(const CommandLine &line)
{
    const bool quiet = line.quiet();
    const QString port = line.argument(0);
    const QString path = portDevicePath(port);
    const QString problem = portAccessProblem(path);
    if (!problem.isEmpty())
        return failWith(QString("%1: %2").arg(path, problem));
    if (!line.isSet("yes")) {
        if (!isTerminal(STDIN_FILENO) || !isTerminal(STDERR_FILENO))
            return failWith("reset: no terminal to ask for confirmation; add --yes to reset without asking "
                            "(nothing sent)");
        if (!confirmOnTerminal(QString("Reset the transmitter on %1 to the factory settings?").arg(path))) {
            failWith("reset: not confirmed, nothing sent");
            return kExitNotDone;
        }
    }

    TxSettingsRecord s = startSettings();
    restData(s);
    restData2(s);
    PortLink link;
    Backup backup;
    backup.wanted = !line.isSet("no-backup");
    backup.event = HistoryEvent::BeforeReset;
    backup.command = "reset";
    backup.after = HistoryEvent::Reset;
    const WriteOutcome outcome = openAndWrite(link, port, s, quiet, backup);
    if (outcome != WriteOutcome::Written)
        return exitStatusOf(outcome);
    link.close();
    progress(quiet, "reset to the factory settings");
    return kExitOk;
}

} // namespace

CliCommand resetCommand()
{
    return {"reset",
            "reset PORT [--yes]",
            "Reset the transmitter to the factory settings",
            "reset PORT [--yes] [--no-backup]",
            "Resets the transmitter on PORT to the factory settings, as the window's RESET does. Asks first "
            "on a terminal; --yes skips the question (and is needed without a terminal). The settings the "
            "transmitter held are read into the history first (\"before reset\"): txctl write PORT @2 puts "
            "them back. When that read fails, nothing is sent; --no-backup resets without it.",
            {{"PORT", kPortArgumentHelp}},
            {{"yes", "Do not ask."}, noBackupOption()},
            runReset};
}
