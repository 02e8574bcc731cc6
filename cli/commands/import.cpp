// txctl import: a JSON document into a settings file.

#include <QFile>

#include "cli/commands.h"
#include "cli/file_source.h"
#include "cli/output.h"
#include "cli/output_file.h"
#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/lines.h"

namespace {

int runImport(const CommandLine &line)
{
    if (!line.isSet("output"))
        return missingOption(line, "-o FILE");
    const QString given = line.argument(0);
    const QString in = given == "-" ? QString("standard input") : given;
    QFile file(given);
    if (!(given == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly)))
        return failWith(QString("%1: cannot read it (%2)").arg(in, file.errorString()));
    constexpr qint64 limit = 1024 * 1024; // far beyond any settings document
    const QByteArray bytes = readUpTo(file, limit);
    if (bytes.size() > limit)
        return failWith(QString("%1: not a settings document (larger than %2 bytes)").arg(in).arg(limit));
    if (!looksLikeJson(bytes))
        return failWith(QString("%1: not a JSON document (it does not start with '{')").arg(in));
    TxSettingsRecord s;
    QString error;
    if (!settingsFromJson(bytes, s, &error))
        return failWith(QString("%1: %2").arg(in, error));
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
