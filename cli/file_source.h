#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "model/txsettings.h"

// Where the settings of a SOURCE argument came from, and what came with them.
struct LoadedSource {
    enum Kind { SettingsFile, JsonFile, Port } kind = SettingsFile;
    QString name; // the argument as given
    TxSettingsRecord settings{};
    int txVersion = -1; // the transmitter's version, when read from a port
    QString note;       // something the user should know, or empty
};

// True when the argument names a serial port rather than a file: a path under
// /dev/ (unless it is a pipe or a plain file there, as /dev/fd/63 or
// /dev/stdin may be), a device elsewhere (a link to a port), or a name that
// is no file here but a port (/dev/NAME or a port the system lists).
bool isPortArgument(const QString &source);

// Loads a SOURCE (see loadSource in cli/cli.h) with what came with it.
bool loadSourceFull(const QString &source, bool quiet, LoadedSource &out, QString *error);

// Replaces `path` with `bytes` in one step (a temporary file renamed into
// place), so the file is either the old one or the complete new one. A
// special file (see above) is written into instead; "-" is standard output.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error);
