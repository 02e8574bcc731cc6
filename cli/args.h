#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// What the positional arguments PORT and SOURCE mean, in every command's
// --help.
extern const char *const kPortArgumentHelp;
extern const char *const kSourceArgumentHelp;

// Parses a command's own arguments (args[0] is the command's name) with
// -h/--help and -q/--quiet added. Returns -1 when the command should go on,
// or the exit status to end with: 0 after --help (usage, the description
// wrapped, then the arguments and options), kExitError (a one-line message
// printed) on a usage error or a wrong number of positional arguments.
int parseCommand(QCommandLineParser &parser, const QStringList &args, const QString &usage,
                 const QString &description, int positionals);

// Reports that a required option (such as "-o FILE") was not given and
// returns kExitError.
int missingOption(const QStringList &args, const QString &option);
