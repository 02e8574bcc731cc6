#include "cli/cli.h"

const std::vector<CliCommand> &portCommands()
{
    static const std::vector<CliCommand> commands;
    return commands;
}
