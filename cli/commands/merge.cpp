// txctl merge: some groups of settings from one SOURCE, the rest from another.

#include "cli/commands.h"
#include "cli/group_options.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/port/port_transfer.h"
#include "cli/source/file_source.h"
#include "file/settingsfile.h"
#include "link/lines.h"

namespace {

int runMerge(const CommandLine &line)
{
    if (!line.isSet("output"))
        return missingOption(line, "-o FILE");
    GroupChoice choice;
    if (!readGroupChoice(line, &choice))
        return kExitError;
    if (!choice.given)
        return missingOption(line, "--only GROUPS or --keep GROUPS");
    std::vector<TxSettingsRecord> s;
    if (!loadSourceArguments(line.arguments(), line.quiet(), s))
        return kExitError;
    TxSettingsRecord merged = mergeSettings(s[0], s[1], choice.groups, choice.mode);
    const QStringList unfit = lineCarryProblems(merged, "the merged set", QString());
    if (!unfit.isEmpty())
        return failWith(QString("%1; %2 not written").arg(unfit.first(), line.value("output")));
    QString error;
    if (!writeFileAtomically(line.value("output"), settingsFileBytes(buildSettingsLines(merged)), &error))
        return failWith(error);
    return kExitOk;
}

} // namespace

CliCommand mergeCommand()
{
    std::vector<QCommandLineOption> options = groupOptions("BASE");
    options.push_back(
        {{"o", "output"}, "The settings file to write (required; \"-\" writes to standard output).", "FILE"});
    return {"merge",
            "merge BASE SOURCE -o FILE",
            "Take some groups of settings from another SOURCE",
            "merge BASE SOURCE (--only GROUPS | --keep GROUPS) -o FILE",
            "Writes into a settings file the settings of BASE with the groups named by --only taken from "
            "SOURCE, or the settings of SOURCE with the groups named by --keep as BASE holds them: the "
            "merge write --only and --keep make with the transmitter, between any two sources. Groups are "
            "the boxes and pages show prints (txctl show --groups); a group's settings go together, and "
            "the D/R mirrors follow the rates taken. A merged set a settings file cannot hold is refused "
            "and nothing is written.",
            {{"BASE", kSourceArgumentHelp}, {"SOURCE", "Another SOURCE."}},
            options,
            runMerge};
}
