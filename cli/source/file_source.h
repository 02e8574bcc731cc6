#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <vector>

#include "file/settingsfile_strict.h"
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

// Reads an open file to its end, but at most limit + 1 bytes (a pipe hands
// its bytes over in pieces): more than limit bytes means the file is too large.
QByteArray readUpTo(QFile &file, qint64 limit);

// Reads a SOURCE that is a file (`path`, the history entry for @N) or "-",
// standard input, whole: at most 1 MiB, as neither a settings file nor a
// document comes near that; larger is "not WHAT". *shownName is the name
// messages give it. On failure returns false with a one-line reason.
bool readSourceFile(const QString &source, const QString &path, const QString &what, QByteArray *bytes,
                    QString *shownName, QString *error);
// Reads a JSON document (as export writes it) into settings; a reason that
// starts with `name` when it is not one.
bool loadJsonDocument(const QString &name, const QByteArray &bytes, TxSettingsRecord &settings,
                      QString *error);

// Loads a SOURCE: a settings file, a JSON file made by export, a port (read
// first), or @N of the history; "-" is standard input. `mirrors` says what a
// settings file's stale D/R edit mirrors do. On failure returns false with a
// one-line reason in *error.
bool loadSourceFull(const QString &source, bool quiet, LoadedSource &out, QString *error,
                    StaleEditMirrors mirrors = StaleEditMirrors::Note);

// Loads every SOURCE in order, its note (if any) told as progress. The first
// that fails is reported, and the result is false. *fromPort (may be null)
// tells whether one of them was a port.
bool loadSourceArguments(const QStringList &sources, bool quiet, std::vector<TxSettingsRecord> &out,
                         bool *fromPort = nullptr);
