#pragma once

#include <QSaveFile>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

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

// Writes all of `bytes` to `fd`; false (errno set) when that failed.
bool writeAll(int fd, const QByteArray &bytes);

// Reads an open file to its end, but at most limit + 1 bytes (a pipe hands
// its bytes over in pieces): more than limit bytes means the file is too large.
QByteArray readUpTo(QFile &file, qint64 limit);

// Loads a SOURCE (see loadSource in cli/cli.h) with what came with it; "-"
// is standard input. `mirrors` says what a settings file's stale D/R edit
// mirrors do.
bool loadSourceFull(const QString &source, bool quiet, LoadedSource &out, QString *error,
                    StaleEditMirrors mirrors = StaleEditMirrors::Note);

// Where a command's result goes. A plain file is replaced in one step (a
// temporary file renamed into place), so it is either the old one or the
// complete new one. A pipe or a device (/dev/stdout) is written into, never
// replaced by a plain file; "-" is standard output. open() finds a bad place
// before the work starts; write() puts the result there. Errors are one line
// naming the place. A terminal device is refused (a serial port would take
// the bytes as commands), and so is binary content for standard output on
// a terminal.
class OutputFile
{
public:
    enum class Content { Text, Binary };
    explicit OutputFile(const QString &path, Content content = Content::Text);
    bool open(QString *error);
    bool write(const QByteArray &bytes, QString *error);

private:
    enum class Kind { StandardOutput, Special, Plain };
    QString path;
    Kind kind;
    Content content;
    QSaveFile file;
};

// OutputFile's open() and write() in one.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         OutputFile::Content content = OutputFile::Content::Text);
