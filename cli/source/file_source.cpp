#include "cli/source/file_source.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <sys/stat.h>

#include "cli/output/output.h"
#include "cli/port/port_transfer.h"
#include "cli/source/history.h"
#include "file/settingsfile.h"
#include "file/settingsfile_strict.h"
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
    if (source != "-" && !QFile::exists(path)) {
        *error = QString("%1: no such file or port").arg(source);
        return false;
    }
    QByteArray bytes;
    if (!readSourceFile(source, path, "a settings file or document", &bytes, &loaded.name, error))
        return false;
    if (looksLikeJson(bytes)) {
        if (!loadJsonDocument(loaded.name, bytes, loaded.settings, error))
            return false;
        loaded.kind = LoadedSource::JsonFile;
    } else {
        loaded.kind = LoadedSource::SettingsFile;
        if (!loadSettingsBytesStrict(loaded.name, bytes, mirrors, loaded.settings, &loaded.note, error))
            return false;
    }
    out = loaded;
    return true;
}

bool loadSourceArguments(const QStringList &sources, bool quiet, std::vector<TxSettingsRecord> &out,
                         bool *fromPort)
{
    for (const QString &source : sources) {
        LoadedSource loaded;
        QString error;
        if (!loadSourceFull(source, quiet, loaded, &error)) {
            failWith(error);
            return false;
        }
        if (!loaded.note.isEmpty())
            progress(quiet, loaded.note);
        if (fromPort && loaded.kind == LoadedSource::Port)
            *fromPort = true;
        out.push_back(loaded.settings);
    }
    return true;
}

bool readSourceFile(const QString &source, const QString &path, const QString &what, QByteArray *bytes,
                    QString *shownName, QString *error)
{
    QFile file(path);
    const bool standardInput = source == "-";
    *shownName = standardInput ? QString("standard input") : source;
    if (standardInput) {
        if (!file.open(stdin, QIODevice::ReadOnly)) {
            *error = QString("standard input: cannot read it (%1)").arg(file.errorString());
            return false;
        }
    } else if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("%1: cannot read it (%2)").arg(source, file.errorString());
        return false;
    }
    *bytes = readUpTo(file, kSourceReadLimit);
    if (bytes->size() > kSourceReadLimit) {
        *error = QString("%1: not %2 (larger than %3 bytes)").arg(*shownName, what).arg(kSourceReadLimit);
        return false;
    }
    return true;
}

bool loadJsonDocument(const QString &name, const QByteArray &bytes, TxSettingsRecord &settings,
                      QString *error)
{
    QString why;
    if (settingsFromJson(bytes, settings, &why))
        return true;
    *error = QString("%1: %2").arg(name, why);
    return false;
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
