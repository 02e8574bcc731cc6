// txctl export: the settings of a SOURCE as a JSON document.

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/source/file_source.h"
#include "file/settingsjson.h"

namespace {

int runExport(const CommandLine &line)
{
    std::vector<TxSettingsRecord> s;
    if (!loadSourceArguments(line.arguments(), line.quiet(), s))
        return kExitError;
    const QByteArray json = settingsToJson(s[0]);
    QString error;
    if (!line.isSet("output"))
        return printResult(json);
    if (!writeFileAtomically(line.value("output"), json, &error))
        return failWith(error);
    return kExitOk;
}

} // namespace

CliCommand exportCommand()
{
    return {
        "export",
        "export SOURCE [-o OUT.json]",
        "Write the settings as a JSON document",
        "export SOURCE [-o OUT.json]",
        "Writes the settings as a JSON document (its keys: /usr/share/doc/txconfig/docs/settings-json.md).",
        {{"SOURCE", kSourceArgumentHelp}},
        {{{"o", "output"}, "Write the document to OUT.json instead of standard output.", "OUT.json"}},
        runExport};
}
