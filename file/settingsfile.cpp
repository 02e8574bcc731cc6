#include "file/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

#include "link/lines.h"

namespace {

// Where each line starts in the file.
constexpr int kOffsetS = 0;
constexpr int kOffsetG = kLineLength;
constexpr int kOffsetH = 2 * kLineLength;

// True when the line's letter and end letter stand at their file positions.
bool lettersInPlace(const QString &text, int offset, QChar first, QChar last)
{
    const int end = offset + kLineLength - 1;
    return end < text.size() && text.at(offset) == first && text.at(end) == last;
}

} // namespace

QByteArray settingsFileBytes(const QString &s, const QString &g, const QString &h)
{
    return s.toLatin1() + g.toLatin1() + h.toLatin1();
}

QByteArray settingsFileBytes(const SettingsLines &lines)
{
    return lines.s + lines.g + lines.h;
}

QByteArray settingsFileBytes(const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    return settingsFileBytes(buildSettingsLines(copy));
}

bool writeAndCommit(QSaveFile &file, const QByteArray &bytes, QString *error)
{
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    // commit() forgets why the write failed; keep the reason of the first failure.
    QString reason = file.errorString();
    if (!written)
        file.cancelWriting();
    const bool committed = file.commit();
    if (written && !committed)
        reason = file.errorString();
    if (error)
        *error = reason;
    return committed && written;
}

LoadReport loadSettingsText(const QString &fileText, TxSettingsRecord &st)
{
    // A file touched by an editor may start with a UTF-8 byte-order mark (read
    // one character per byte); the lines stand after it.
    static const QString kBom = QString::fromLatin1("\xEF\xBB\xBF");
    const QString text = fileText.startsWith(kBom) ? fileText.mid(kBom.size()) : fileText;
    LoadReport r{int(text.size()), false, false, false};
    const int n = r.length;
    qDebug("Blength00:%d", n);
    if (n > kOffsetG + kLineLength - 1) {
        if (lettersInPlace(text, kOffsetS, 'S', 'Y')) {
            qDebug("Blength01:%d", n);
            readLine(LineKind::S, text.mid(kOffsetS, kLineLength), st);
            r.s = true;
        }
        if (lettersInPlace(text, kOffsetG, 'G', 'Z')) {
            qDebug("Blength02:%d", n);
            readLine(LineKind::G, text.mid(kOffsetG, kLineLength), st);
            r.g = true;
        }
    }
    if (n > kOffsetH + kLineLength - 1 && lettersInPlace(text, kOffsetH, 'H', 'X')) {
        qDebug("Blength03:%d", n);
        readLine(LineKind::H, text.mid(kOffsetH, kLineLength), st);
        r.h = true;
    }
    return r;
}

QString loadNote(const LoadReport &report)
{
    if (report.s && report.g && report.h)
        return QString();
    if (report.s || report.g || report.h)
        return QStringLiteral("Only part of the file could be loaded!");
    return QStringLiteral("No settings found in the file!");
}

QString readSettingsFilePrefix(QIODevice &device, qint64 limit)
{
    QByteArray bytes;
    // Devices and pipes may hand out less than asked for; keep reading until
    // the bound, the end or an error.
    while (bytes.size() < limit) {
        const QByteArray part = device.read(limit - bytes.size());
        if (part.isEmpty())
            break;
        bytes += part;
    }
    return QString::fromLatin1(bytes.constData(), bytes.size()); // NUL bytes included
}

bool isSpecialFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

bool openForLoad(QFile &file)
{
#ifdef Q_OS_UNIX
    if (isSpecialFile(file.fileName())) {
        const int fd =
            ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
        return false;
    }
#endif
    return file.open(QIODevice::ReadOnly);
}

QString resolvedTarget(const QString &path)
{
    // As the system follows them: at most 40 links.
    constexpr int kMaxLinks = 40;
    QString p = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < kMaxLinks && QFileInfo(p).isSymLink(); ++i)
        p = QFileInfo(p).symLinkTarget();
    const QFileInfo info(p);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? p : QDir(folder).filePath(info.fileName());
}
