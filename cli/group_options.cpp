#include "cli/group_options.h"

#include "cli/commands.h"
#include "cli/output/output.h"

std::vector<QCommandLineOption> groupOptions(const QString &base)
{
    return {{"only",
             QString("Take only these groups from SOURCE (names separated by commas; txctl show --groups "
                     "lists them), everything else as %1 holds it.")
                 .arg(base),
             "GROUPS"},
            {"keep",
             QString("Take everything from SOURCE but these groups, which stay as %1 holds them.").arg(base),
             "GROUPS"}};
}

bool readGroupChoice(const CommandLine &line, GroupChoice *choice)
{
    const bool only = line.isSet("only"), keep = line.isSet("keep");
    if (only && keep) {
        failWith(QString("%1: --only and --keep cannot go together (txctl %1 --help)").arg(line.command));
        return false;
    }
    if (!only && !keep)
        return true;
    choice->given = true;
    choice->mode = only ? MergeMode::Only : MergeMode::Keep;
    QString error;
    if (!parseSettingGroups(line.parser.values(only ? "only" : "keep"), choice->groups, &error)) {
        failWith(QString("%1: %2").arg(line.command, error));
        return false;
    }
    return true;
}
