// txctl: read, write, reset, show, compare and convert transmitter settings
// from the command line.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/output/output.h"

namespace {

QString usageText()
{
    QString text;
    QTextStream out(&text);
    out << "Usage: txctl COMMAND [OPTIONS] [ARGUMENTS]\n"
           "The 8-channel transmitter from the command line.\n\n"
           "Commands:\n";
    for (const CliCommand &c : cliCommands())
        out << QString("  %1  %2\n")
                   .arg(QString::fromLatin1(c.synopsis), -28)
                   .arg(QString::fromLatin1(c.summary));
    out << "\nOptions:\n"
           "  -h, --help     Show this help (txctl help COMMAND for one command).\n"
           "  -v, --version  Show the version.\n"
           "  -q, --quiet    Print no progress on standard error (before or after COMMAND).\n"
           "  --             Ends the options: what follows is an argument (a file named -a.txt).\n\n"
           "PORT is a device path (/dev/ttyUSB0, or the pseudo-terminal txsim prints) or a\n"
           "port name (ttyUSB0). SOURCE is a settings file, a JSON file made by export, or\n"
           "a PORT; \"-\" is standard input; @N is the Nth newest entry of the history\n"
           "(@1 the newest), @@N the entry numbered N (it stays that entry): read, write\n"
           "and reset keep the settings they read and send there, in the order they were\n"
           "kept, so txctl write PORT @2 undoes the last write. A file whose name starts\n"
           "with @ is ./@name.\n\n"
           "Exit status: 0 done; 1 a difference (diff, write --verify, a value read that a\n"
           "settings file cannot hold) or a declined reset; 2 an error (its message says\n"
           "whether anything was sent or written); 130 interrupted (143 by SIGTERM, 129 by\n"
           "SIGHUP).\n";
    out.flush();
    return text;
}

// Qt warns on standard error when it paints without a session's runtime
// directory (over ssh, from cron) and then uses one of its own: nothing the
// user must act on, so the sheet does not pass it on.
void quietRuntimeDirWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char *argv[])
{
    // The sheet and plot paint, which needs fonts and so a GUI application;
    // they need no screen, so over ssh and in scripts they run offscreen.
    int command = 1;
    while (command < argc &&
           (std::strcmp(argv[command], "-q") == 0 || std::strcmp(argv[command], "--quiet") == 0))
        ++command;
    const bool paints = command < argc &&
                        (std::strcmp(argv[command], "sheet") == 0 || std::strcmp(argv[command], "plot") == 0);
    if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (paints)
        qInstallMessageHandler(quietRuntimeDirWarning);
    std::unique_ptr<QCoreApplication> app(paints ? new QGuiApplication(argc, argv)
                                                 : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName("txctl");
    QCoreApplication::setApplicationVersion(QStringLiteral(TX_VERSION));

    QStringList args = QCoreApplication::arguments();
    // -q may come before the command too.
    bool quiet = false;
    while (args.size() > 1 && (args.at(1) == "-q" || args.at(1) == "--quiet")) {
        args.removeAt(1);
        quiet = true;
    }
    if (args.size() < 2) {
        std::fputs(qPrintable(usageText()), stderr);
        return kExitError;
    }
    const QString first = args.at(1);
    // "txctl help COMMAND" is "txctl COMMAND --help".
    if (first == "help" && args.size() > 2) {
        args = QStringList{args.at(0), args.at(2), "--help"};
    } else if (first == "-h" || first == "--help" || first == "help") {
        return printResult(usageText().toLocal8Bit());
    } else if (first == "-v" || first == "--version") {
        return printResult(QString("txctl %1\n").arg(TX_VERSION).toLocal8Bit());
    }
    QStringList commandArgs = args.mid(1);
    if (quiet)
        commandArgs.insert(1, "--quiet");
    for (const CliCommand &c : cliCommands())
        if (args.at(1) == QLatin1String(c.name))
            return runCommand(c, commandArgs);
    if (args.at(1) != first) // help for a command that does not exist
        return failWith(QString("help: unknown command \"%1\" (txctl --help lists them)").arg(args.at(1)));
    return failWith(QString("unknown command \"%1\" (txctl --help lists them)").arg(first));
}
