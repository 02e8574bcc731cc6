#include "cli/file_source.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <sys/stat.h>

#include "cli/cli.h"
#include "cli/settingsfile_strict.h"
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

bool loadSourceFull(const QString &source, bool quiet, LoadedSource &out, QString *error)
{
    LoadedSource loaded;
    loaded.name = source;
    if (isPortArgument(source)) {
        TxLiveDataRecord live = startLiveData();
        if (!readFromPort(source, quiet, loaded.settings, live, error))
            return false;
        loaded.kind = LoadedSource::Port;
        loaded.txVersion = live.txVersion;
        out = loaded;
        return true;
    }
    QFile file(source);
    if (!file.exists()) {
        *error = QString("%1: no such file or port").arg(source);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("%1: cannot read it (%2)").arg(source, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kSourceReadLimit + 1);
    if (bytes.size() > kSourceReadLimit) {
        *error = QString("%1: not a settings file or document (larger than %2 bytes)")
                     .arg(source)
                     .arg(kSourceReadLimit);
        return false;
    }
    if (looksLikeJson(bytes)) {
        QString why;
        if (!settingsFromJson(bytes, loaded.settings, &why)) {
            *error = QString("%1: %2").arg(source, why);
            return false;
        }
        loaded.kind = LoadedSource::JsonFile;
    } else {
        loaded.kind = LoadedSource::SettingsFile;
        if (!loadSettingsBytesStrict(source, bytes, StaleEditMirrors::Note, loaded.settings, &loaded.note,
                                     error))
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

OutputFile::OutputFile(const QString &path)
    : path(path), kind(path == "-"           ? Kind::StandardOutput
                       : isSpecialFile(path) ? Kind::Special
                                             : Kind::Plain),
      file(path)
{
}

bool OutputFile::open(QString *error)
{
    if (kind != Kind::Plain || file.open(QIODevice::WriteOnly))
        return true;
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

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    OutputFile out(path);
    return out.open(error) && out.write(bytes, error);
}
