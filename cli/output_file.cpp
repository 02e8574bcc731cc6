#include "cli/output_file.h"

#include <QFile>
#include <QFileInfo>
#include <climits>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cli/output.h"
#include "file/settingsfile.h"

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
    // The system says only "Unknown error" when the temporary name is too
    // long.
    const QString tooLong = temporaryNameProblem(path);
    *error = cannotWrite(path, tooLong.isEmpty() ? file.errorString() : tooLong);
    return false;
}

QString temporaryNameProblem(const QString &path)
{
    const int nameBytes = int(QFile::encodeName(QFileInfo(path).fileName()).size());
    if (nameBytes + kTemporarySuffixLength <= NAME_MAX)
        return QString();
    return QString("its name is %1 bytes long; at most %2 can be written")
        .arg(nameBytes)
        .arg(NAME_MAX - kTemporarySuffixLength);
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
