#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "model/txsettings.h"

// txctl: the transmitter from the command line. Every command is a function
// that takes its own arguments (the command name first, as a program's argv
// would have it), prints results on standard output and progress on standard
// error, and returns the exit status.

// Exit statuses, the same for every command.
constexpr int kExitOk = 0;
constexpr int kExitDiffers = 1;       // diff found a difference, write --verify found a changed value,
                                      // read saved a value other than the transmitter's
constexpr int kExitNotDone = 1;       // the user declined (reset's question); nothing sent
constexpr int kExitError = 2;         // bad usage, a file or port that failed, no answer in time
constexpr int kExitInterrupted = 130; // Ctrl-C (after the port was closed cleanly); 143 for SIGTERM

struct CliCommand {
    const char *name;
    const char *synopsis; // "read PORT -o FILE"
    const char *summary;  // one line for the command list
    int (*run)(const QStringList &args);
};

// The commands that talk to a port (cli/port_commands.cpp) and those that
// work on files (cli/file_commands.cpp), in the order `txctl --help` lists
// them.
const std::vector<CliCommand> &portCommands();
const std::vector<CliCommand> &fileCommands();
// txctl history (cli/history_command.cpp).
CliCommand historyCommand();

// Reads the settings from the transmitter on `port` the way `txctl read`
// does (all 19 frames, validated as the window validates them). On failure
// returns false with a one-line reason in *error. Lives with the port
// commands.
bool readFromPort(const QString &port, bool quiet, TxSettingsRecord &settings, TxLiveDataRecord &live,
                  QString *error);

// Loads a SOURCE: a settings file, a JSON file made by export, or a port
// (read first). On failure returns false with a one-line reason in *error.
// Lives with the file commands.
bool loadSource(const QString &source, bool quiet, TxSettingsRecord &settings, QString *error);

// Prints "txctl: MESSAGE" as one line on standard error and returns
// kExitError.
int failWith(const QString &message);
// "PLACE: cannot write it (REASON)", the one wording for every output that
// fails.
QString cannotWrite(const QString &place, const QString &reason);
// Writes results to standard output and flushes them. When they cannot be
// written (a full disk, a closed pipe), says so as failWith does and returns
// false.
bool printOut(const QByteArray &bytes);
// The same, with the reason in *error instead of reported.
bool writeStandardOutput(const QByteArray &bytes, QString *error);
// Progress on standard error, one line, unless quiet.
void progress(bool quiet, const QString &message);
