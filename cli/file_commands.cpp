// The commands that work on settings files and JSON documents: show, diff,
// export, import (and sheet, in cli/sheet_command.cpp).

#include <QCommandLineParser>
#include <QFile>
#include <cstdio>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/file_source.h"
#include "cli/sheet.h"
#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/sequences.h"
#include "model/catalogue.h"

namespace {

// Loads every positional argument of a parsed command as a SOURCE, in
// order. The first that fails is reported, and the result is false. *fromPort
// (may be null) tells whether one of them was a port.
bool loadSourceArguments(const QCommandLineParser &parser, std::vector<TxSettingsRecord> &out,
                         bool *fromPort = nullptr)
{
    for (const QString &source : parser.positionalArguments()) {
        LoadedSource loaded;
        QString error;
        if (!loadSourceFull(source, parser.isSet("quiet"), loaded, &error)) {
            failWith(error);
            return false;
        }
        if (!loaded.note.isEmpty())
            progress(parser.isSet("quiet"), loaded.note);
        if (fromPort && loaded.kind == LoadedSource::Port)
            *fromPort = true;
        out.push_back(loaded.settings);
    }
    return true;
}

// Every setting under its page and group, captions in one column.
QByteArray showText(const TxSettingsRecord &s)
{
    int width = 0;
    for (const SettingInfo &info : settingsCatalogue())
        width = std::max(width, int(info.caption.size()));
    QString out, page, group;
    for (const SettingInfo &info : settingsCatalogue()) {
        if (info.page != page) {
            page = info.page;
            group.clear();
            out += (out.isEmpty() ? "" : "\n") + page + "\n";
        }
        if (info.group != group) {
            group = info.group;
            out += "  " + group + "\n";
        }
        out += "    " + info.caption.leftJustified(width + 2) + settingValueText(info, s) + "\n";
        // The D/R edit copy after the switch, as the window shows it, where
        // it is data of its own.
        if (info.key == "advance1.dr.sw" && drEditCopyIsData(s))
            for (const SettingInfo &copy : drEditCopyRows())
                out += "    " + copy.caption.leftJustified(width + 2) + settingValueText(copy, s) + "\n";
    }
    return out.toUtf8();
}

int runShow(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("SOURCE", kSourceArgumentHelp);
    const QCommandLineOption json("json", "Print the JSON document instead (as export does).");
    parser.addOption(json);
    const int done = parseCommand(parser, args, "show [--json] SOURCE",
                                  "Shows every setting by page, group and caption, with its value in the "
                                  "window's words and units.",
                                  1);
    if (done >= 0)
        return done;
    std::vector<TxSettingsRecord> s;
    if (!loadSourceArguments(parser, s))
        return kExitError;
    return printOut(parser.isSet(json) ? settingsToJson(s[0]) : showText(s[0])) ? kExitOk : kExitError;
}

int runDiff(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("A", kSourceArgumentHelp);
    parser.addPositionalArgument("B", "Another SOURCE.");
    const int done = parseCommand(parser, args, "diff A B",
                                  "Prints one line per setting whose value differs between A and B, as "
                                  "\"BASIC / SUB-TRIM / CH3: 0 -> 7\". Against a port only what the "
                                  "transmitter's frames carry is compared. Exit status 0 when they are "
                                  "equal, 1 when they differ, 2 on an error.",
                                  2);
    if (done >= 0)
        return done;
    std::vector<TxSettingsRecord> s;
    bool fromPort = false;
    if (!loadSourceArguments(parser, s, &fromPort))
        return kExitError;
    // A port gives only what its frames carry (not the D/R channel and its
    // copy of the rates): what the other side holds there says nothing.
    const QStringList lines = settingDifferences(s[0], s[1], fromPort);
    for (const QString &line : lines)
        if (!printOut((line + "\n").toUtf8()))
            return kExitError;
    return lines.isEmpty() ? kExitOk : kExitDiffers;
}

int runExport(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("SOURCE", kSourceArgumentHelp);
    const QCommandLineOption output({"o", "output"},
                                    "Write the document to OUT.json instead of standard output.", "OUT.json");
    parser.addOption(output);
    const int done = parseCommand(parser, args, "export SOURCE [-o OUT.json]",
                                  "Writes the settings as a JSON document (its keys: "
                                  "/usr/share/doc/txconfig/settings-json.md).",
                                  1);
    if (done >= 0)
        return done;
    std::vector<TxSettingsRecord> s;
    if (!loadSourceArguments(parser, s))
        return kExitError;
    const QByteArray json = settingsToJson(s[0]);
    QString error;
    if (!parser.isSet(output))
        return printOut(json) ? kExitOk : kExitError;
    if (!writeFileAtomically(parser.value(output), json, &error))
        return failWith(error);
    return kExitOk;
}

int runImport(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument("IN.json", "A JSON document as export writes it.");
    const QCommandLineOption output(
        {"o", "output"}, "The settings file to write (required; \"-\" writes to standard output).", "FILE");
    parser.addOption(output);
    const int done = parseCommand(parser, args, "import IN.json -o FILE",
                                  "Writes the settings of a JSON document into a settings file, as SAVE "
                                  "writes it. Every setting must be present, known and in its range; "
                                  "otherwise nothing is written.",
                                  1);
    if (done >= 0)
        return done;
    if (!parser.isSet(output))
        return missingOption(args, "-o FILE");
    const QString given = parser.positionalArguments().at(0);
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
    if (!writeFileAtomically(parser.value(output), settingsFileBytes(lines), &error))
        return failWith(error);
    return kExitOk;
}

} // namespace

const std::vector<CliCommand> &fileCommands()
{
    static const std::vector<CliCommand> commands = {
        {"show", "show SOURCE [--json]", "Show every setting by page, group and caption", runShow},
        {"diff", "diff A B", "List the settings that differ (exit 1 if any)", runDiff},
        {"export", "export SOURCE [-o OUT.json]", "Write the settings as a JSON document", runExport},
        {"import", "import IN.json -o FILE", "Write a JSON document into a settings file", runImport},
        {"sheet", "sheet SOURCE -o OUT.pdf", "Print the settings and curves as a PDF sheet", runSheet},
    };
    return commands;
}
