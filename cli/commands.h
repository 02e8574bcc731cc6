#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <vector>

// txctl's commands. Each is a name, what its --help says, its arguments and
// options, and one run() that gets its command line parsed and returns the
// exit status; results go to standard output, progress and errors to
// standard error (cli/output.h).

// Exit statuses, the same for every command.
constexpr int kExitOk = 0;
constexpr int kExitDiffers = 1;       // diff found a difference, write --verify found a changed value,
                                      // read saved a value other than the transmitter's
constexpr int kExitNotDone = 1;       // the user declined (reset's question); nothing sent
constexpr int kExitError = 2;         // bad usage, a file or port that failed, no answer in time
constexpr int kExitInterrupted = 130; // Ctrl-C (after the port was closed cleanly); 143 for SIGTERM

// A command's own command line, parsed (-h/--help and -q/--quiet included).
struct CommandLine {
    QString command; // "read"
    QCommandLineParser parser;

    bool quiet() const { return parser.isSet("quiet"); }
    bool isSet(const QString &option) const { return parser.isSet(option); }
    QString value(const QString &option) const { return parser.value(option); }
    QStringList arguments() const { return parser.positionalArguments(); }
    QString argument(int i) const { return parser.positionalArguments().at(i); }
};

// A positional argument as the command's --help lists it.
struct CommandArgument {
    QString name;
    QString help;
};

struct CliCommand {
    const char *name;
    const char *synopsis;                   // in the list of txctl --help: "read PORT -o FILE"
    const char *summary;                    // one line in that list
    const char *usage;                      // the usage line of its own --help
    const char *description;                // its --help, wrapped
    std::vector<CommandArgument> arguments; // exactly these many are wanted
    std::vector<QCommandLineOption> options;
    int (*run)(const CommandLine &line);
};

// Every command, in the order txctl --help lists them.
const std::vector<CliCommand> &cliCommands();

// Runs `command` with its own arguments (its name first, as a program's argv
// has it): prints its --help, reports a usage error, or calls run().
int runCommand(const CliCommand &command, const QStringList &args);

// Reports that a required option (such as "-o FILE") was not given and
// returns kExitError.
int missingOption(const CommandLine &line, const QString &option);

// The commands, one file each in cli/commands/.
CliCommand portsCommand();
CliCommand doctorCommand();
CliCommand readCommand();
CliCommand writeCommand();
CliCommand resetCommand();
CliCommand monitorCommand();
CliCommand historyCommand();
CliCommand showCommand();
CliCommand diffCommand();
CliCommand exportCommand();
CliCommand importCommand();
CliCommand mergeCommand();
CliCommand sheetCommand();
CliCommand plotCommand();
