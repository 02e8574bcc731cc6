#include "cli/file_source.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <cstdio>
#include <vector>

#include "cli/cli.h"
#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/validation.h"

namespace {

// Neither a settings file nor a document comes near this; anything larger is
// something else, and is not read into memory whole.
constexpr qint64 kSourceReadLimit = 1024 * 1024;

QByteArray fileBytes(const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    const SettingsLines lines = buildSettingsLines(copy);
    return lines.s + lines.g + lines.h;
}

// What each byte of the file of `base` belongs to: the path of a setting,
// "the D/R edit mirrors" or empty for fixed text. Found by changing one
// setting at a time and looking where the file changes.
std::vector<QString> byteOwners(const TxSettingsRecord &base)
{
    const QByteArray bytes = fileBytes(base);
    std::vector<QString> owners(size_t(bytes.size()));
    auto mark = [&](const TxSettingsRecord &changed, const QString &owner) {
        const QByteArray other = fileBytes(changed);
        for (int i = 0; i < bytes.size() && i < other.size(); ++i)
            if (bytes[i] != other[i])
                owners[size_t(i)] = owner;
    };
    for (const SettingInfo &info : settingsCatalogue()) {
        // Two values, so that every digit of the field changes in one of them.
        for (int v : {info.lower, info.upper, (info.lower + info.upper) / 2 + 1}) {
            TxSettingsRecord t = base;
            setSettingValue(info, t, std::min(v, info.upper));
            mark(t, info.path());
        }
    }
    TxSettingsRecord t = base;
    t.drUpEdit = t.drUpEdit == 0 ? 99 : 0;
    t.drDownEdit = t.drDownEdit == 0 ? 99 : 0;
    mark(t, "the D/R edit mirrors");
    t.drUpEdit = t.drUpEdit == 0 ? 11 : 0;
    t.drDownEdit = t.drDownEdit == 0 ? 11 : 0;
    mark(t, "the D/R edit mirrors");
    return owners;
}

QString lineProblem(const LoadReport &r)
{
    if (!r.s)
        return "the S line does not start with \"S\" at byte 0 and end with \"Y\" at byte 80";
    if (!r.g)
        return "the G line does not start with \"G\" at byte 81 and end with \"Z\" at byte 161";
    return "the H line does not start with \"H\" at byte 162 and end with \"X\" at byte 242";
}

} // namespace

bool loadSettingsFileStrict(const QString &path, const QByteArray &bytes, TxSettingsRecord &out,
                            QString *note, QString *error)
{
    if (bytes.size() != kSettingsFileLength) {
        *error = QString("%1: not a settings file (%2 bytes; a settings file has %3)")
                     .arg(path)
                     .arg(bytes.size())
                     .arg(kSettingsFileLength);
        return false;
    }
    TxSettingsRecord st = startSettings();
    LoadReport report;
    {
        QuietDebugLog quiet;
        report = loadSettingsText(QString::fromLatin1(bytes), st);
    }
    if (!(report.s && report.g && report.h)) {
        *error = QString("%1: not a settings file: %2").arg(path, lineProblem(report));
        return false;
    }
    drDataSelect(st);
    const TxSettingsRecord loaded = st;
    validateSettings(st);
    if (st != loaded) {
        for (const SettingInfo &info : settingsCatalogue()) {
            const int v = settingValue(info, loaded);
            if (v != settingValue(info, st)) {
                *error = QString("%1: %2 holds %3, outside %4")
                             .arg(path, info.path(), settingValueText(info, v), settingRangeText(info));
                return false;
            }
        }
        *error =
            QString("%1: the D/R edit mirrors of the G line (bytes 136-139) are outside 0..100").arg(path);
        return false;
    }

    // The file must be what SAVE writes for these values (hex digits in
    // either case), so that no text was read as a number it does not show.
    const TxSettingsRecord carried = catalogueValuesOnly(st);
    const QByteArray canonical = fileBytes(carried);
    const QByteArray upper = bytes.toUpper();
    std::vector<QString> owners;
    bool mirrorsDiffer = false;
    for (int i = 0; i < canonical.size(); ++i) {
        if (upper[i] == canonical[i])
            continue;
        if (owners.empty())
            owners = byteOwners(carried);
        const QString &owner = owners[size_t(i)];
        if (owner == "the D/R edit mirrors") {
            mirrorsDiffer = true;
            continue;
        }
        int end = i;
        while (end + 1 < canonical.size() && upper[end + 1] != canonical[end + 1] &&
               owners[size_t(end + 1)] == owner)
            ++end;
        const QString found = QString::fromLatin1(bytes.mid(i, end - i + 1));
        const QString range = end > i ? QString("bytes %1-%2").arg(i).arg(end) : QString("byte %1").arg(i);
        const QString holds = range + (end > i ? " hold" : " holds");
        if (owner.isEmpty())
            *error = QString("%1: not a settings file as SAVE writes it: %2 \"%3\" where the file has \"%4\"")
                         .arg(path, holds, found, QString::fromLatin1(canonical.mid(i, end - i + 1)));
        else
            *error = QString("%1: %2 (%3, \"%4\") is not a value as SAVE writes it")
                         .arg(path, owner, range, found);
        return false;
    }
    if (mirrorsDiffer && note)
        *note =
            QString("note: %1: the D/R edit mirrors of the G line (bytes 136-139) are not the rates of the "
                    "selected channel; they are derived, so export and import rewrite them")
                .arg(path);
    out = st;
    return true;
}

bool isPortArgument(const QString &source)
{
    if (source.startsWith("/dev/"))
        return true;
    if (source.isEmpty() || QFileInfo::exists(source) || source.contains('/'))
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
        if (!loadSettingsFileStrict(source, bytes, loaded.settings, &loaded.note, error))
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

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QString("%1: cannot write it (%2)").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QString("%1: cannot write it (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

int parseCommand(QCommandLineParser &parser, const QStringList &args, const QString &usage,
                 const QString &description, int positionals)
{
    parser.setApplicationDescription(description);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    parser.addOption(help);
    parser.addOption(QCommandLineOption({"q", "quiet"}, "Print no progress on standard error."));
    if (!parser.parse(args))
        return failWith(QString("%1: %2 (txctl %1 --help)").arg(args.value(0), parser.errorText()));
    if (parser.isSet(help)) {
        // The parser's own first line names the program path only.
        QString text = parser.helpText();
        text = "Usage: txctl " + usage + text.mid(text.indexOf('\n'));
        std::fputs(qPrintable(text), stdout);
        return kExitOk;
    }
    if (parser.positionalArguments().size() != positionals)
        return failWith(
            QString("%1: expected %2 (txctl %1 --help)").arg(args.value(0), usage.section(' ', 1)));
    return -1;
}
