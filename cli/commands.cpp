#include "cli/commands.h"

#include <QRegularExpression>
#include <algorithm>

#include "cli/output/output.h"
#include "cli/port/interrupts.h"

namespace {

// Text broken into lines of at most `width` characters at blanks.
QString wrapped(const QString &text, int width)
{
    QString out, line;
    for (const QString &word : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            out += line + '\n';
            line.clear();
        }
        line += (line.isEmpty() ? "" : " ") + word;
    }
    return out + line + '\n';
}

} // namespace

const std::vector<CliCommand> &cliCommands()
{
    static const std::vector<CliCommand> commands = {
        portsCommand(),   doctorCommand(),  readCommand(),  writeCommand(), resetCommand(),
        monitorCommand(), historyCommand(), showCommand(),  diffCommand(),  exportCommand(),
        importCommand(),  mergeCommand(),   sheetCommand(), plotCommand(),
    };
    return commands;
}

namespace {

// The argument that was read as short options but looks like a name (a file
// "-a.txt"): one dash, more than one letter, and some of them unknown as
// options. Empty when there is none.
QString dashedName(const QStringList &args, const QStringList &unknown)
{
    for (const QString &a : args.mid(1)) {
        if (a == "--")
            break;
        if (a.size() > 2 && a.startsWith('-') && !a.startsWith("--") && unknown.contains(a.mid(1, 1)))
            return a;
    }
    return QString();
}

} // namespace

int runCommand(const CliCommand &command, const QStringList &args)
{
    CommandLine line;
    line.command = args.value(0);
    QCommandLineParser &parser = line.parser;
    for (const CommandArgument &a : command.arguments)
        parser.addPositionalArgument(a.name, a.help);
    for (const QCommandLineOption &o : command.options)
        parser.addOption(o);
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    parser.addOption(help);
    parser.addOption(QCommandLineOption({"q", "quiet"}, "Print no progress on standard error."));
    if (!parser.parse(args)) {
        QString why = parser.errorText();
        if (why.endsWith('.'))
            why.chop(1);
        const QString name = dashedName(args, parser.unknownOptionNames());
        if (!name.isEmpty())
            return failWith(
                QString("%1: %2 (a name that starts with \"-\" goes after \"--\": txctl %1 -- %3)")
                    .arg(line.command, why, name));
        return failWith(QString("%1: %2 (txctl %1 --help)").arg(line.command, why));
    }
    if (parser.isSet(help)) {
        // The parser's own text starts with a usage line that names the
        // program path only; its argument and option lists follow a blank
        // line.
        const QString lists = parser.helpText();
        const QString text = QString("Usage: txctl %1\n%2\n%3")
                                 .arg(QString::fromLatin1(command.usage),
                                      wrapped(QString::fromLatin1(command.description), 78),
                                      lists.mid(lists.indexOf("\n\n") + 2));
        return printResult(text.toLocal8Bit());
    }
    // An argument named in brackets ("[PORT]") may be left out.
    const int given = parser.positionalArguments().size();
    const int optional = int(std::count_if(command.arguments.begin(), command.arguments.end(),
                                           [](const CommandArgument &a) { return a.name.startsWith('['); }));
    if (given > int(command.arguments.size()) || given < int(command.arguments.size()) - optional)
        return failWith(QString("%1: wrong number of arguments (usage: txctl %2)")
                            .arg(line.command, QString::fromLatin1(command.usage)));
    const int status = command.run(line);
    // A command that stopped for a signal ends with the signal's status.
    return status == kExitError && interruptRequested() ? interruptExitStatus() : status;
}

int missingOption(const CommandLine &line, const QString &option)
{
    return failWith(QString("%1: %2 is missing (txctl %1 --help)").arg(line.command, option));
}
