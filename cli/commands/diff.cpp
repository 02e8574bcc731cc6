// txctl diff: the settings that differ between two SOURCEs.

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/source/file_source.h"
#include "model/catalogue.h"

namespace {

int runDiff(const CommandLine &line)
{
    std::vector<TxSettingsRecord> s;
    bool fromPort = false;
    if (!loadSourceArguments(line.arguments(), line.quiet(), s, &fromPort))
        return kExitError;
    // A port gives only what its frames carry (not the D/R channel and its
    // copy of the rates): what the other side holds there says nothing.
    const QStringList lines = settingDifferences(s[0], s[1], fromPort);
    for (const QString &difference : lines)
        if (!printOut((difference + "\n").toUtf8()))
            return kExitError;
    return lines.isEmpty() ? kExitOk : kExitDiffers;
}

} // namespace

CliCommand diffCommand()
{
    return {"diff",
            "diff A B",
            "List the settings that differ (exit 1 if any)",
            "diff A B",
            "Prints one line per setting whose value differs between A and B, as \"BASIC / SUB-TRIM / CH3: 0 "
            "-> 7\". Against a port only what the transmitter's frames carry is compared. Exit status 0 when "
            "they are equal, 1 when they differ, 2 on an error.",
            {{"A", kSourceArgumentHelp}, {"B", "Another SOURCE."}},
            {},
            runDiff};
}
