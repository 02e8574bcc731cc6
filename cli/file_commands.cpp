#include "cli/cli.h"

const std::vector<CliCommand> &fileCommands()
{
    static const std::vector<CliCommand> commands;
    return commands;
}
