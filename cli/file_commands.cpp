#include "cli/cli.h"

const std::vector<CliCommand> &fileCommands()
{
    static const std::vector<CliCommand> commands;
    return commands;
}

bool loadSource(const QString &, bool, TxSettingsRecord &, QString *error)
{
    *error = QStringLiteral("loading a source is not built yet");
    return false;
}
