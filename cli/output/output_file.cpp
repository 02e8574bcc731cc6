#include "cli/output/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cli/output/output.h"
#include "file/settingsfile.h"

namespace {

// What a temporary file adds to its target's name (".XXXXXX").
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

// A new file beside `target` under a temporary name, with the permissions
// (and, where allowed, the owner) of the file it is to replace, or those a
// new file gets. -1 with errno set when it could not be made.
int makeTemporaryBeside(const QByteArray &target, QByteArray *name)
{
    *name = target + ".XXXXXX";
    const int fd = ::mkostemp(name->data(), O_CLOEXEC);
    if (fd < 0) {
        name->clear();
        return -1;
    }
    struct stat old;
    if (::stat(target.constData(), &old) == 0) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid); // kept where the system lets us
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    return fd;
}

} // namespace

OutputFile::OutputFile(const QString &path, Content content)
    : path(path), kind(path == "-"           ? Kind::StandardOutput
                       : isSpecialFile(path) ? Kind::Special
                                             : Kind::Plain),
      content(content)
{
}

bool OutputFile::open(QString *error)
{
    switch (kind) {
    case Kind::StandardOutput:
        if (content == Content::Binary && ::isatty(STDOUT_FILENO) == 1) {
            *error = cannotWrite("standard output", "a terminal; binary output goes to a file or a pipe");
            return false;
        }
        fd = STDOUT_FILENO;
        return true;
    case Kind::Special:
        // Bytes for a file do not belong on a terminal: on a serial port they
        // would reach the device as commands.
        if (isTerminalDevice(path)) {
            *error =
                cannotWrite(path, "a terminal or serial port, not a file; \"-\" writes to standard output");
            return false;
        }
        return true; // opened when the first bytes come: a FIFO waits for its reader there
    case Kind::Plain:
        return openTemporary(error);
    }
    return false;
}

bool OutputFile::openTemporary(QString *error)
{
    target = resolvedTarget(path);
    if (QFileInfo(target).isDir()) {
        *error = cannotWrite(path, "a folder");
        return false;
    }
    fd = makeTemporaryBeside(QFile::encodeName(target), &temporary);
    if (fd >= 0)
        return true;
    const int why = errno;
    const QString tooLong = why == ENAMETOOLONG || why == EINVAL ? temporaryNameProblem(target) : QString();
    *error = cannotWrite(path, tooLong.isEmpty() ? qt_error_string(why) : tooLong);
    return false;
}

bool OutputFile::openSpecial(QString *error)
{
    fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0)
        return true;
    *error = cannotWrite(path, qt_error_string(errno));
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

bool OutputFile::append(const QByteArray &bytes)
{
    if (fd < 0 && kind == Kind::Special) {
        QString ignored;
        if (!openSpecial(&ignored))
            return false;
    }
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    return writeAll(fd, bytes);
}

bool OutputFile::putInPlace(QString *error)
{
    if (temporary.isEmpty())
        return true;
    // On disk before it takes the old file's place.
    const bool moved = ::fsync(fd) == 0 && ::rename(temporary.constData(), QFile::encodeName(target)) == 0;
    if (!moved)
        *error = cannotWrite(path, qt_error_string(errno));
    dropTemporary();
    return moved;
}

bool OutputFile::write(const QByteArray &bytes, QString *error)
{
    if (kind == Kind::StandardOutput)
        return writeStandardOutput(bytes, error);
    if (kind == Kind::Special && fd < 0 && !openSpecial(error))
        return false;
    if (!append(bytes)) {
        *error = cannotWrite(path, qt_error_string(errno));
        close();
        return false;
    }
    const bool placed = putInPlace(error);
    close();
    return placed;
}

void OutputFile::close()
{
    if (fd >= 0 && fd != STDOUT_FILENO)
        ::close(fd);
    fd = -1;
    dropTemporary(); // never put in place: the old file stays
}

void OutputFile::dropTemporary()
{
    if (!temporary.isEmpty())
        ::unlink(temporary.constData());
    temporary.clear();
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         OutputFile::Content content)
{
    OutputFile out(path, content);
    return out.open(error) && out.write(bytes, error);
}

bool writeNewFile(const QString &folder, const std::function<QString(int)> &nameFor, int tries,
                  const QByteArray &bytes)
{
    QByteArray temporary;
    const int fd = makeTemporaryBeside(QFile::encodeName(QDir(folder).filePath(".new")), &temporary);
    if (fd < 0)
        return false;
    bool done = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int err = errno;
    ::close(fd);
    // link() never replaces a file: a name another process took meanwhile
    // stays its own, and this one takes the next.
    for (int n = 0; done && n < tries; ++n) {
        const QByteArray name = QFile::encodeName(QDir(folder).filePath(nameFor(n)));
        if (::link(temporary.constData(), name.constData()) == 0)
            break;
        err = errno;
        done = err == EEXIST && n + 1 < tries;
    }
    ::unlink(temporary.constData());
    errno = err;
    return done;
}
