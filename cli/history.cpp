#include "cli/history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/output.h"
#include "cli/output_file.h"

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

// 20261209T061502.123Z-EVENT-PORT-PID[-N].txt
const QRegularExpression &entryName()
{
    static const QRegularExpression re("^(\\d{8}T\\d{6}\\.\\d{3})Z-(read|before-write|written|before-reset|"
                                       "reset)-([A-Za-z0-9._]+)-\\d+(-\\d+)?"
                                       "\\.txt$");
    return re;
}

// A port as a part of a file name: "/dev/ttyUSB0" -> "ttyUSB0",
// "/dev/pts/5" -> "pts_5", a link "/tmp/tx" -> "tx".
QString portWord(const QString &port)
{
    QString p = port.startsWith("/dev/") ? port.mid(5) : QFileInfo(port).fileName();
    p.replace(QRegularExpression("[^A-Za-z0-9.]"), "_");
    return p.isEmpty() ? QString("_") : p.left(64);
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

QVector<HistoryEntry> historyEntries()
{
    QVector<HistoryEntry> out;
    const QDir dir(historyFolder());
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        const QRegularExpressionMatch m = entryName().match(name);
        if (!m.hasMatch())
            continue;
        HistoryEntry e;
        e.path = dir.filePath(name);
        e.time = QDateTime::fromString(m.captured(1), "yyyyMMdd'T'HHmmss.zzz");
        e.time.setTimeSpec(Qt::UTC);
        e.event = m.captured(2).replace('-', ' ');
        e.port = m.captured(3);
        out << e;
    }
    return out;
}

bool addHistoryEntry(HistoryEvent event, const QString &port, const QByteArray &bytes, QString *error)
{
    const QString folder = historyFolder();
    if (!QDir().mkpath(folder)) {
        *error = QString("history: %1: cannot make the folder").arg(folder);
        return false;
    }
    const QVector<HistoryEntry> entries = historyEntries();
    if (!entries.isEmpty()) {
        QFile newest(entries.first().path);
        if (newest.open(QIODevice::ReadOnly) && newest.read(bytes.size() + 1) == bytes)
            return true;
    }
    const QString stem = QString("%1-%2-%3-%4")
                             .arg(QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss.zzz'Z'"),
                                  eventWord(event), portWord(port))
                             .arg(::getpid());
    // An entry of another txctl made in the same millisecond stays; this one
    // takes the next free name.
    const auto nameFor = [&](int n) {
        return n == 0 ? stem + ".txt" : QString("%1-%2.txt").arg(stem).arg(n);
    };
    if (!writeNewFile(folder, nameFor, 1000, bytes)) {
        *error = reasonOf(folder, errno);
        return false;
    }
    // The oldest go first.
    const QVector<HistoryEntry> now = historyEntries();
    for (int i = kHistoryLimit; i < now.size(); ++i)
        QFile::remove(now.at(i).path);
    return true;
}

QString historyEntryPath(const QString &reference, QString *error)
{
    bool ok = false;
    const QString digits = reference.mid(1);
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || !QRegularExpression("^[0-9]+$").match(digits).hasMatch()) {
        *error = QString("%1: not a history entry (@1 is the newest, @2 the one before; txctl history "
                         "lists them)")
                     .arg(reference);
        return QString();
    }
    const QVector<HistoryEntry> entries = historyEntries();
    if (n > entries.size()) {
        *error = entries.isEmpty() ? QString("%1: the history is empty (%2)").arg(reference, historyFolder())
                                   : QString("%1: the history holds %2 entr%3 (txctl history lists them)")
                                         .arg(reference)
                                         .arg(entries.size())
                                         .arg(entries.size() == 1 ? "y" : "ies");
        return QString();
    }
    return entries.at(n - 1).path;
}
