// txctl import: a JSON document into a settings file.

#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/output/output_file.h"
#include "cli/source/file_source.h"
#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/lines.h"

namespace {

int runImport(const CommandLine &line)
{
    if (!line.isSet("output"))
        return missingOption(line, "-o FILE");
    QByteArray bytes;
    QString in, error;
    if (!readSourceFile(line.argument(0), line.argument(0), "a settings document", &bytes, &in, &error))
        return failWith(error);
    if (!looksLikeJson(bytes))
        return failWith(QString("%1: not a JSON document (it does not start with '{')").arg(in));
    TxSettingsRecord s;
    if (!loadJsonDocument(in, bytes, s, &error))
        return failWith(error);
    const QString problem = settingsFileProblem(s);
    if (!problem.isEmpty())
        return failWith(QString("%1: %2").arg(in, problem));
    const SettingsLines lines = buildSettingsLines(s);
    if (!writeFileAtomically(line.value("output"), settingsFileBytes(lines), &error))
        return failWith(error);
    return kExitOk;
}

} // namespace

CliCommand importCommand()
{
    return {"import",
            "import IN.json -o FILE",
            "Write a JSON document into a settings file",
            "import IN.json -o FILE",
            "Writes the settings of a JSON document into a settings file, as SAVE writes it. Every setting "
            "must be present, known and in its range; otherwise nothing is written.",
            {{"IN.json", "A JSON document as export writes it."}},
            {{{"o", "output"},
              "The settings file to write (required; \"-\" writes to standard output).",
              "FILE"}},
            runImport};
}
