#pragma once

#include <QCommandLineOption>
#include <QString>

struct CommandLine;

// What the positional arguments PORT and SOURCE mean, in every command's
// --help.
extern const char *const kPortArgumentHelp;
extern const char *const kSourceArgumentHelp;

// How long a read waits for all frames, unless --timeout says otherwise.
constexpr int kDefaultTimeoutS = 5;

// --timeout SECONDS of read and write: how long to wait for the settings.
QCommandLineOption timeoutOption();

// The --timeout of `line` in milliseconds, from 0.1 to 3600 seconds. On a
// bad value reports it and returns false.
bool timeoutMs(const CommandLine &line, int *ms);
