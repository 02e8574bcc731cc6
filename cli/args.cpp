#include "cli/args.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <cstdio>

#include "cli/cli.h"

const char *const kPortArgumentHelp = "The port: a device path or a name such as ttyUSB0.";
const char *const kSourceArgumentHelp =
    "A settings file, a JSON document made by export, a port, or @N (the Nth newest entry of txctl history).";

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

int parseCommand(QCommandLineParser &parser, const QStringList &args, const QString &usage,
                 const QString &description, int positionals)
{
    const QString command = args.value(0);
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    parser.addOption(help);
    parser.addOption(QCommandLineOption({"q", "quiet"}, "Print no progress on standard error."));
    if (!parser.parse(args)) {
        QString why = parser.errorText();
        if (why.endsWith('.'))
            why.chop(1);
        return failWith(QString("%1: %2 (txctl %1 --help)").arg(command, why));
    }
    if (parser.isSet(help)) {
        // The parser's own text starts with a usage line that names the
        // program path only; its argument and option lists follow a blank
        // line.
        const QString lists = parser.helpText();
        const QString text = QString("Usage: txctl %1\n%2\n%3")
                                 .arg(usage, wrapped(description, 78), lists.mid(lists.indexOf("\n\n") + 2));
        return printOut(text.toLocal8Bit()) ? kExitOk : kExitError;
    }
    if (parser.positionalArguments().size() != positionals)
        return failWith(QString("%1: wrong number of arguments (usage: txctl %2)").arg(command, usage));
    return -1;
}

int missingOption(const QStringList &args, const QString &option)
{
    return failWith(QString("%1: %2 is missing (txctl %1 --help)").arg(args.value(0), option));
}
