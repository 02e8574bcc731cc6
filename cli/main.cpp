// txctl: read, write, reset, show, compare and convert transmitter settings
// from the command line.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli.h"
#include "cli/plot.h"

namespace {

std::vector<CliCommand> allCommands()
{
    std::vector<CliCommand> all = portCommands();
    const std::vector<CliCommand> &files = fileCommands();
    all.insert(all.end(), files.begin(), files.end());
    all.push_back(plotCommand());
    return all;
}

void printUsage(FILE *to)
{
    QTextStream out(to);
    out << "Usage: txctl COMMAND [OPTIONS] [ARGUMENTS]\n"
           "The 8-channel transmitter from the command line.\n\n"
           "Commands:\n";
    for (const CliCommand &c : allCommands())
        out << QString("  %1  %2\n")
                   .arg(QString::fromLatin1(c.synopsis), -28)
                   .arg(QString::fromLatin1(c.summary));
    out << "\nOptions:\n"
           "  -h, --help     Show this help (txctl COMMAND --help for one command).\n"
           "  -v, --version  Show the version.\n\n"
           "PORT is a device path (/dev/ttyUSB0, or the pseudo-terminal txsim prints) or a\n"
           "port name (ttyUSB0). SOURCE is a settings file, a JSON file made by export, or\n"
           "a PORT. Exit status: 0 success, 1 a difference was found, 2 an error, 130\n"
           "interrupted (143 by SIGTERM, 129 by SIGHUP).\n";
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

int failWith(const QString &message)
{
    // One line, whatever a system message brought along.
    const QString line = QString(message).replace(QRegularExpression("\\s*\n\\s*"), "; ");
    std::fprintf(stderr, "txctl: %s\n", qPrintable(line));
    return kExitError;
}

QString cannotWrite(const QString &place, const QString &reason)
{
    return QString("%1: cannot write it (%2)").arg(place, reason);
}

bool writeStandardOutput(const QByteArray &bytes, QString *error)
{
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if (std::fflush(stdout) != 0 || !written) {
        *error = cannotWrite("standard output", qt_error_string(errno));
        return false;
    }
    return true;
}

bool printOut(const QByteArray &bytes)
{
    QString error;
    if (!writeStandardOutput(bytes, &error)) {
        failWith(error);
        return false;
    }
    return true;
}

void progress(bool quiet, const QString &message)
{
    if (!quiet)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int main(int argc, char *argv[])
{
    // The sheet and plot paint, which needs fonts and so a GUI application;
    // they need no screen, so over ssh and in scripts they run offscreen.
    const bool paints = argc > 1 && (std::strcmp(argv[1], "sheet") == 0 || std::strcmp(argv[1], "plot") == 0);
    if (paints && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (paints)
        qInstallMessageHandler(quietRuntimeDirWarning);
    std::unique_ptr<QCoreApplication> app(paints ? new QGuiApplication(argc, argv)
                                                 : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName("txctl");
    QCoreApplication::setApplicationVersion(QStringLiteral(TX_VERSION));

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        printUsage(stderr);
        return kExitError;
    }
    const QString first = args.at(1);
    if (first == "-h" || first == "--help" || first == "help") {
        printUsage(stdout);
        return kExitOk;
    }
    if (first == "-v" || first == "--version") {
        std::printf("txctl %s\n", TX_VERSION);
        return kExitOk;
    }
    for (const CliCommand &c : allCommands())
        if (first == QLatin1String(c.name))
            return c.run(args.mid(1));
    return failWith(QString("unknown command \"%1\" (txctl --help lists them)").arg(first));
}
