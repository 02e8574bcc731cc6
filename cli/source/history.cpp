#include "cli/source/history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/output/output.h"
#include "cli/output/output_file.h"

namespace {

const char *eventWord(HistoryEvent event)
{
    switch (event) {
    case HistoryEvent::Read:
        return "read";
    case HistoryEvent::BeforeWrite:
        return "before-write";
    case HistoryEvent::Written:
        return "written";
    case HistoryEvent::BeforeReset:
        return "before-reset";
    case HistoryEvent::Reset:
        return "reset";
    }
    return "read";
}

// [NUMBER-]20261209T061502.123Z-EVENT-PORT-PID[-N].txt
const QRegularExpression &entryName()
{
    static const QRegularExpression re(
        "^(?:(\\d{1,15})-)?(\\d{8}T\\d{6}\\.\\d{3})Z-(read|before-write|written|"
        "before-reset|reset)-([A-Za-z0-9._]+)-\\d+(-\\d+)?\\.txt$");
    return re;
}

// Newest first: by number; the entries from before numbering after all
// numbered ones, by time (then name, for two in one millisecond).
bool newerThan(const HistoryEntry &a, const HistoryEntry &b)
{
    if (a.number != b.number)
        return a.number > b.number;
    if (a.time != b.time)
        return a.time > b.time;
    return a.path > b.path;
}

QString reasonOf(const QString &place, int err)
{
    return QString("history: %1: %2").arg(place, QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

QString historyFolder()
{
    // The XDG base directory rules: an unset, empty or relative
    // XDG_DATA_HOME means ~/.local/share.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.local/share";
    return base + "/txconfig/history";
}

QString historyPortName(const QString &port)
{
    // "/dev/ttyUSB0" -> "ttyUSB0", "/dev/pts/5" -> "pts_5", a link
    // "/tmp/tx" -> "tx".
    QString p = port.startsWith("/dev/") ? port.mid(5) : QFileInfo(port).fileName();
    p.replace(QRegularExpression("[^A-Za-z0-9.]"), "_");
    return p.isEmpty() ? QString("_") : p.left(64);
}

namespace {

// "20261209T061502.123" as UTC; read by hand (QDateTime::fromString is slow
// for a thousand names).
QDateTime entryTime(const QString &t)
{
    const auto n = [&](int at, int len) { return t.midRef(at, len).toInt(); };
    return QDateTime(QDate(n(0, 4), n(4, 2), n(6, 2)), QTime(n(9, 2), n(11, 2), n(13, 2), n(16, 3)), Qt::UTC);
}

// The names in `folder` that are no folder (read as they stand, without a
// look at each file: the list of a thousand entries must stay quick).
QStringList namesIn(const QString &folder)
{
    QStringList out;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return out;
    while (const dirent *d = ::readdir(dir))
        if (d->d_type != DT_DIR && d->d_name[0] != '.')
            out << QFile::decodeName(d->d_name);
    ::closedir(dir);
    return out;
}

} // namespace

QVector<HistoryEntry> historyEntries()
{
    QVector<HistoryEntry> out;
    const QString folder = historyFolder();
    for (const QString &name : namesIn(folder)) {
        const QRegularExpressionMatch m = entryName().match(name);
        if (!m.hasMatch())
            continue;
        HistoryEntry e;
        e.path = folder + '/' + name;
        e.number = m.capturedRef(1).toLongLong(); // 0 when there is none
        e.time = entryTime(m.captured(2));
        e.event = m.captured(3).replace('-', ' ');
        e.port = m.captured(4);
        out << e;
    }
    std::sort(out.begin(), out.end(), newerThan);
    return out;
}

namespace {

// The history's lock (the file .lock in its folder): one txctl at a time
// takes a number, stores its entry and drops the oldest. Released when it
// goes out of scope (or the process ends).
class HistoryLock
{
public:
    explicit HistoryLock(const QString &folder)
    {
        fd = ::open(QFile::encodeName(folder + "/.lock").constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            err = errno;
        // A file system without locks (some network ones): the names still
        // never clash (link() below), two entries may share a number.
        else
            ::flock(fd, LOCK_EX);
    }
    ~HistoryLock()
    {
        if (fd >= 0)
            ::close(fd);
    }
    HistoryLock(const HistoryLock &) = delete;
    HistoryLock &operator=(const HistoryLock &) = delete;
    int error() const { return err; }

private:
    int fd = -1;
    int err = 0;
};

// Writes `bytes` as a new entry named `name` in `folder`, whole: a file of
// another txctl under the same name stays and this one takes "-1", "-2", ...
// after it. The one place the history writes a file.
bool writeEntryFile(const QString &folder, const QString &name, const QByteArray &bytes, QString *error)
{
    const QString stem = name.chopped(4); // ".txt"
    const auto nameFor = [&](int n) { return n == 0 ? name : QString("%1-%2.txt").arg(stem).arg(n); };
    if (writeNewFile(folder, nameFor, 1000, bytes))
        return true;
    *error = reasonOf(folder, errno);
    return false;
}

// True when the newest entry of `port` holds `bytes`.
bool newestOfPortHolds(const QVector<HistoryEntry> &entries, const QString &port, const QByteArray &bytes)
{
    for (const HistoryEntry &e : entries) {
        if (e.port != port)
            continue;
        QFile newest(e.path);
        return newest.open(QIODevice::ReadOnly) && newest.read(bytes.size() + 1) == bytes;
    }
    return false;
}

} // namespace

bool addHistoryEntry(HistoryEvent event, const QString &port, const QByteArray &bytes, QString *error)
{
    const QString folder = historyFolder();
    if (!QDir().mkpath(folder)) {
        *error = QString("history: %1: cannot make the folder").arg(folder);
        return false;
    }
    const HistoryLock lock(folder);
    if (lock.error() != 0) {
        *error = reasonOf(folder, lock.error());
        return false;
    }
    const QVector<HistoryEntry> entries = historyEntries();
    const QString portName = historyPortName(port);
    if (newestOfPortHolds(entries, portName, bytes))
        return true;
    const qint64 number = entries.isEmpty() ? 1 : entries.first().number + 1;
    const QString name = QString("%1-%2-%3-%4-%5.txt")
                             .arg(number, 8, 10, QChar('0'))
                             .arg(QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss.zzz'Z'"),
                                  eventWord(event), portName)
                             .arg(::getpid());
    if (!writeEntryFile(folder, name, bytes, error))
        return false;
    // The oldest go first; the new entry is the newest, so it stays.
    for (int i = kHistoryLimit - 1; i < entries.size(); ++i)
        QFile::remove(entries.at(i).path);
    return true;
}

namespace {

QString notAnEntry(const QString &reference)
{
    return QString("%1: not a history entry (@1 is the newest, @2 the one before, @@N the entry numbered N; "
                   "txctl history lists them); a file of that name is read as ./%1")
        .arg(reference);
}

} // namespace

QString historyEntryPath(const QString &reference, QString *error)
{
    const bool numbered = reference.startsWith("@@");
    const QString digits = reference.mid(numbered ? 2 : 1);
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    if (!ok || n < 1 || !QRegularExpression("^[0-9]+$").match(digits).hasMatch()) {
        *error = notAnEntry(reference);
        return QString();
    }
    const QVector<HistoryEntry> entries = historyEntries();
    if (entries.isEmpty()) {
        *error = QString("%1: the history is empty (%2)").arg(reference, historyFolder());
        return QString();
    }
    if (numbered) {
        for (const HistoryEntry &e : entries)
            if (e.number == n)
                return e.path;
        *error = QString("%1: no history entry has the number %2 (the newest has %3; the oldest go when "
                         "there are more than %4; txctl history lists them)")
                     .arg(reference)
                     .arg(n)
                     .arg(entries.first().number)
                     .arg(kHistoryLimit);
        return QString();
    }
    if (n > entries.size()) {
        *error = QString("%1: the history holds %2 entr%3 (txctl history lists them)")
                     .arg(reference)
                     .arg(entries.size())
                     .arg(entries.size() == 1 ? "y" : "ies");
        return QString();
    }
    return entries.at(int(n - 1)).path;
}
