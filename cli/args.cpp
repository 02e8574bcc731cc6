#include "cli/args.h"

#include "cli/commands.h"
#include "cli/output/output.h"

const char *const kPortArgumentHelp = "The port: a device path or a name such as ttyUSB0.";
const char *const kSourceArgumentHelp =
    "A settings file, a JSON document made by export, a port, @N (the Nth newest entry of txctl history) or "
    "@@N (the entry numbered N, which later entries do not move).";

QCommandLineOption timeoutOption()
{
    return QCommandLineOption("timeout", "Wait at most SECONDS for the transmitter's settings (default 5).",
                              "SECONDS", QString::number(kDefaultTimeoutS));
}

bool timeoutMs(const CommandLine &line, int *ms)
{
    bool ok = false;
    const double s = line.value("timeout").toDouble(&ok);
    if (!ok || !(s >= 0.1 && s <= 3600)) { // "nan" reads as a number too
        failWith(QString("%1: --timeout wants a number of seconds from 0.1 to 3600, not \"%2\"")
                     .arg(line.command, line.value("timeout")));
        return false;
    }
    *ms = int(s * 1000 + 0.5);
    return true;
}
