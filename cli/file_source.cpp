#include "cli/file_source.h"

#include <cerrno>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <climits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cli/cli.h"
#include "cli/history.h"
#include "file/settingsfile_strict.h"
#include "file/settingsfile.h"
#include "file/settingsjson.h"

namespace {

// Neither a settings file nor a document comes near this; anything larger is
// something else, and is not read into memory whole.
constexpr qint64 kSourceReadLimit = 1024 * 1024;

} // namespace

bool isPortArgument(const QString &source)
{
    struct stat st;
    const bool there = !source.isEmpty() && ::stat(QFile::encodeName(source).constData(), &st) == 0;
    // What the shell hands over for <(git show HEAD:model.txt) or /dev/stdin
    // is a pipe or a file under /dev: read it as a file.
    if (source.startsWith("/dev/"))
        return !(there && (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)));
    // A link to a port elsewhere (txsim --link): a terminal device, read as
    // a file it would never end.
    if (there && S_ISCHR(st.st_mode))
        return true;
    if (source.isEmpty() || there || source.contains('/'))
        return false;
    if (QFileInfo::exists("/dev/" + source))
        return true;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.portName() == source)
            return true;
    return false;
}

bool loadSourceFull(const QString &source, bool quiet, LoadedSource &out, QString *error,
                    StaleEditMirrors mirrors)
{
    LoadedSource loaded;
    loaded.name = source;
    // "@2": the second newest entry of the history, a settings file.
    QString path = source;
    if (source.startsWith('@')) {
        path = historyEntryPath(source, error);
        if (path.isEmpty())
            return false;
    } else if (source != "-" && isPortArgument(source)) {
        TxLiveDataRecord live = startLiveData();
        if (!readFromPort(source, quiet, loaded.settings, live, error))
            return false;
        loaded.kind = LoadedSource::Port;
        loaded.txVersion = live.txVersion;
        out = loaded;
        return true;
    }
    // "-" is standard input.
    QFile file(path);
    const bool standardInput = source == "-";
    if (standardInput) {
        loaded.name = "standard input";
        if (!file.open(stdin, QIODevice::ReadOnly)) {
            *error = QString("standard input: cannot read it (%1)").arg(file.errorString());
            return false;
        }
    } else if (!file.exists()) {
        *error = QString("%1: no such file or port").arg(source);
        return false;
    } else if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("%1: cannot read it (%2)").arg(source, file.errorString());
        return false;
    }
    const QByteArray bytes = readUpTo(file, kSourceReadLimit);
    if (bytes.size() > kSourceReadLimit) {
        *error = QString("%1: not a settings file or document (larger than %2 bytes)")
                     .arg(loaded.name)
                     .arg(kSourceReadLimit);
        return false;
    }
    if (looksLikeJson(bytes)) {
        QString why;
        if (!settingsFromJson(bytes, loaded.settings, &why)) {
            *error = QString("%1: %2").arg(loaded.name, why);
            return false;
        }
        loaded.kind = LoadedSource::JsonFile;
    } else {
        loaded.kind = LoadedSource::SettingsFile;
        if (!loadSettingsBytesStrict(loaded.name, bytes, mirrors, loaded.settings, &loaded.note, error))
            return false;
    }
    out = loaded;
    return true;
}

bool loadSource(const QString &source, bool quiet, TxSettingsRecord &settings, QString *error)
{
    LoadedSource loaded;
    if (!loadSourceFull(source, quiet, loaded, error))
        return false;
    if (!loaded.note.isEmpty())
        progress(quiet, loaded.note);
    settings = loaded.settings;
    return true;
}

namespace {

// What the save file adds to a name for its temporary file (".XXXXXX").
constexpr int kTemporarySuffixLength = 7;

// Whether the device behind `path` is a terminal: a serial port, a console
// or a pseudo-terminal. Found without opening it (opening a serial port may
// reset what hangs on it).
bool isTerminalDevice(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned maj = major(st.st_rdev), min = minor(st.st_rdev);
    if (maj >= 136 && maj <= 143) // pseudo-terminals
        return true;
    const QString subsystem =
        QFileInfo(QString("/sys/dev/char/%1:%2/subsystem").arg(maj).arg(min)).symLinkTarget();
    return subsystem.endsWith("/tty");
}

} // namespace

OutputFile::OutputFile(const QString &path, Content content)
    : path(path), kind(path == "-"           ? Kind::StandardOutput
                       : isSpecialFile(path) ? Kind::Special
                                             : Kind::Plain),
      content(content), file(path)
{
}

bool OutputFile::open(QString *error)
{
    // Bytes for a file do not belong on a terminal: on a serial port they
    // would reach the device as commands.
    if (kind == Kind::Special && isTerminalDevice(path)) {
        *error = cannotWrite(path, "a terminal or serial port, not a file; \"-\" writes to standard output");
        return false;
    }
    if (kind == Kind::StandardOutput && content == Content::Binary && ::isatty(STDOUT_FILENO) == 1) {
        *error = cannotWrite("standard output", "a terminal; binary output goes to a file or a pipe");
        return false;
    }
    if (kind != Kind::Plain || file.open(QIODevice::WriteOnly))
        return true;
    // The new file is made under a temporary name, the given one with a
    // suffix of 7 characters; the system says only "Unknown error" when that
    // name is too long.
    const int nameBytes = int(QFile::encodeName(QFileInfo(path).fileName()).size());
    if (nameBytes + kTemporarySuffixLength > NAME_MAX)
        *error = cannotWrite(path, QString("its name is %1 bytes long; at most %2 can be written")
                                       .arg(nameBytes)
                                       .arg(NAME_MAX - kTemporarySuffixLength));
    else
        *error = cannotWrite(path, file.errorString());
    return false;
}

bool OutputFile::write(const QByteArray &bytes, QString *error)
{
    QString reason;
    switch (kind) {
    case Kind::StandardOutput:
        return writeStandardOutput(bytes, error);
    case Kind::Special: {
        QFile target(path);
        if (target.open(QIODevice::WriteOnly) && target.write(bytes) == bytes.size() && target.flush())
            return true;
        reason = target.errorString();
        break;
    }
    case Kind::Plain:
        if (writeAndCommit(file, bytes, &reason))
            return true;
        break;
    }
    *error = cannotWrite(path, reason);
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         OutputFile::Content content)
{
    OutputFile out(path, content);
    return out.open(error) && out.write(bytes, error);
}

QByteArray readUpTo(QFile &file, qint64 limit)
{
    QByteArray bytes;
    while (bytes.size() <= limit) {
        const QByteArray part = file.read(limit + 1 - bytes.size());
        if (part.isEmpty())
            break;
        bytes += part;
    }
    return bytes;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
