// txctl write: settings from a SOURCE to the transmitter, the old ones kept.

#include <QFile>
#include <cstdio>
#include <sys/stat.h>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/group_options.h"
#include "cli/output/output.h"
#include "cli/port/interrupts.h"
#include "cli/port/port_transfer.h"
#include "cli/source/file_source.h"
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

// The settings to send from those the transmitter holds: SOURCE whole, or
// merged with them by --only or --keep. A set a settings line cannot carry
// is refused.
bool settingsToSend(const GroupChoice &choice, const LoadedSource &source, const TxSettingsRecord &held,
                    TxSettingsRecord &s, QString *error)
{
    s = choice.given ? mergeSettings(held, source.settings, choice.groups, choice.mode) : source.settings;
    const QStringList unfit = lineCarryProblems(s, choice.given ? "the merged set" : source.name, QString());
    if (!unfit.isEmpty())
        *error = unfit.first();
    return unfit.isEmpty();
}

// --dry-run: what the write would change, as diff of the port and the
// settings to send prints it; nothing but the read goes out.
int dryRun(const QString &port, const GroupChoice &choice, const LoadedSource &source, int timeout,
           bool quiet)
{
    TxSettingsRecord held, s;
    TxLiveDataRecord live;
    QString error;
    if (!readFromPort(port, quiet, held, live, &error, timeout) ||
        !settingsToSend(choice, source, held, s, &error))
        return failWith(error + "; nothing sent");
    const QStringList diffs = settingDifferences(held, s, true);
    QString listed;
    for (const QString &d : diffs)
        listed += d + '\n';
    if (!printOut(listed.toUtf8()))
        return kExitError;
    progress(quiet, diffs.isEmpty() ? QString("dry run: nothing would change; nothing sent")
                                    : QString("dry run: %1 setting%2 would change; nothing sent")
                                          .arg(diffs.size())
                                          .arg(diffs.size() == 1 ? "" : "s"));
    return diffs.isEmpty() ? kExitOk : kExitDiffers;
}

// PORT, checked before anything is read or sent; an empty string when it
// will do, otherwise the one line that says why not.
QString portProblem(const QString &port)
{
    // A SOURCE that is a port is read before anything goes out, and PORT and
    // SOURCE given the wrong way round are told apart.
    const QString path = portDevicePath(port);
    struct stat st;
    if (!port.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISCHR(st.st_mode))
        return QString("%1: not a port (txctl write PORT SOURCE: the port comes first); nothing sent")
            .arg(port);
    const QString problem = port.isEmpty() ? QString() : portAccessProblem(path);
    return problem.isEmpty() ? QString() : QString("%1: %2; nothing sent").arg(path, problem);
}

int runWrite(const CommandLine &line)
{
    const bool quiet = line.quiet();
    int timeout = 0;
    if (!timeoutMs(line, &timeout))
        return kExitError;
    GroupChoice choice;
    if (!readGroupChoice(line, &choice))
        return kExitError;
    if (choice.given && line.isSet("no-backup"))
        return failWith("write: --only and --keep take the rest from the settings the transmitter holds; "
                        "they cannot go with --no-backup");
    if (line.isSet("dry-run") && line.isSet("verify"))
        return failWith("write: --dry-run sends nothing, so --verify has nothing to check");

    const QString port = line.argument(0);
    const QString problem = portProblem(port);
    if (!problem.isEmpty())
        return failWith(problem);

    LoadedSource source;
    QString error;
    if (!loadSourceFull(line.argument(1), quiet, source, &error, StaleEditMirrors::Rederive))
        return failWith(error + "; nothing sent");
    if (!source.note.isEmpty())
        progress(quiet, source.note);
    if (line.isSet("dry-run"))
        return dryRun(port, choice, source, timeout, quiet);
    TxSettingsRecord s = source.settings;
    if (!choice.given && !settingsToSend(choice, source, s, s, &error))
        return failWith(error + "; nothing sent");

    PortLink link;
    Backup backup;
    backup.wanted = !line.isSet("no-backup");
    backup.timeoutMs = timeout;
    if (choice.given)
        backup.fromHeld = [&](const TxSettingsRecord &held, TxSettingsRecord &out, QString *why) {
            return settingsToSend(choice, source, held, out, why);
        };
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
    std::vector<QCommandLineOption> options = groupOptions("the transmitter");
    options.insert(options.begin(), {"verify", "Read the settings back afterwards and compare."});
    options.push_back({"dry-run", "Read the transmitter and print what the write would change (as diff "
                                  "prints it); send nothing. Exit status 0 when nothing would change, 1 "
                                  "otherwise."});
    options.push_back(noBackupOption());
    options.push_back(timeoutOption());
    return {
        "write",
        "write PORT SOURCE [--verify]",
        "Write settings to the transmitter (the old ones kept)",
        "write PORT SOURCE [--only GROUPS | --keep GROUPS] [--verify | --dry-run] [--no-backup]",
        "Writes the settings of SOURCE to the transmitter on PORT, as the window's WRITE does after LOAD: "
        "a settings file is sent as LOAD takes it (a note says where that differs from its bytes). A "
        "SOURCE that does not load whole, or holds a value a settings line cannot carry, is refused and "
        "nothing is sent. --verify reads the settings back and lists every setting that differs (exit "
        "status 1). The settings the transmitter held are read into the history first (\"before write\") "
        "and what was sent is added (\"written\"): txctl write PORT @2 puts the old ones back. When that "
        "read fails, nothing is sent; --no-backup writes without it. With --only GROUPS only those groups "
        "of settings come from SOURCE and the rest stays as the transmitter holds it; with --keep GROUPS "
        "everything comes from SOURCE but those groups (a template applied while the model keeps its "
        "fail-safe and trims). Groups are the boxes and pages show prints (txctl show --groups); a "
        "group's settings go together, and the D/R mirrors follow the rates taken. --dry-run only reads "
        "the transmitter and prints what would change.",
        {{"PORT", kPortArgumentHelp}, {"SOURCE", kSourceArgumentHelp}},
        options,
        runWrite};
}
