#include "cli/cli.h"

const std::vector<CliCommand> &portCommands()
{
    static const std::vector<CliCommand> commands;
    return commands;
}

bool readFromPort(const QString &, bool, TxSettingsRecord &, TxLiveDataRecord &, QString *error)
{
    *error = QStringLiteral("reading from a port is not built yet");
    return false;
}
