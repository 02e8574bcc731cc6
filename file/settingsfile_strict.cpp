#include "file/settingsfile_strict.h"

#include <QFile>
#include <QStringList>
#include <cctype>
#include <sys/stat.h>
#include <variant>
#include <vector>

#include "file/settingsfile.h"
#include "file/settingsjson.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/validation.h"

namespace {

const char kLineLetters[3] = {'S', 'G', 'H'};
const char kLineEnds[3] = {'Y', 'Z', 'X'};
const QString kMirrors = "the D/R edit mirrors";

// Bytes of a file for a message: control characters as \xNN, so the
// message stays one line and nothing reaches the terminal as a command.
QString printable(const QByteArray &bytes)
{
    QString out;
    for (char ch : bytes) {
        const uchar c = uchar(ch);
        if (c < 0x20 || (c >= 0x7f && c < 0xa0))
            out += QString::asprintf("\\x%02X", c);
        else
            out += QChar::fromLatin1(ch);
    }
    return out;
}

// "byte 1, S line position 1", "bytes 117-118, G line positions 36-37".
QString where(int first, int last)
{
    const QChar line = QChar::fromLatin1(kLineLetters[first / kLineLength]);
    const int pos = first % kLineLength;
    if (first == last)
        return QString("byte %1, %2 line position %3").arg(first).arg(line).arg(pos);
    return QString("bytes %1-%2, %3 line positions %4-%5")
        .arg(first)
        .arg(last)
        .arg(line)
        .arg(pos)
        .arg(pos + last - first);
}

// What each byte of the file of `base` belongs to: the path of a setting,
// kMirrors, or empty for fixed text. Found by changing one setting at a time
// and looking where the file changes.
std::vector<QString> byteOwners(const TxSettingsRecord &base)
{
    const QByteArray bytes = settingsFileBytes(base);
    std::vector<QString> owners(size_t(bytes.size()));
    auto mark = [&](const TxSettingsRecord &changed, const QString &owner) {
        const QByteArray other = settingsFileBytes(changed);
        for (int i = 0; i < bytes.size() && i < other.size(); ++i)
            if (bytes[i] != other[i])
                owners[size_t(i)] = owner;
    };
    for (const SettingInfo &info : settingsCatalogue()) {
        // Several values, so that every digit of the field changes in one.
        for (int v : {info.lower, info.upper, (info.lower + info.upper) / 2 + 1}) {
            TxSettingsRecord t = base;
            setSettingValue(info, t, std::min(v, info.upper));
            mark(t, info.path());
        }
    }
    TxSettingsRecord t = base;
    for (int v : {0, 99, 11}) {
        t.drUpEdit = t.drUpEdit == v ? 100 : v;
        t.drDownEdit = t.drDownEdit == v ? 100 : v;
        mark(t, kMirrors);
    }
    return owners;
}

// " (bytes 9-10, S line positions 9-10)" for the bytes `owner` owns, or
// empty when it owns none.
QString whereOwned(const std::vector<QString> &owners, const QString &owner)
{
    int first = -1, last = -1;
    for (int i = 0; i < int(owners.size()); ++i)
        if (owners[size_t(i)] == owner) {
            if (first < 0)
                first = i;
            else if (i != last + 1)
                break;
            last = i;
        }
    return first < 0 ? QString() : " (" + where(first, last) + ")";
}

QString ruleName(const ValidationRule &r)
{
    return QString::fromStdString(std::visit([](const auto &rule) { return rule.name; }, r));
}

bool hasCatalogueRow(const QString &rule)
{
    for (const SettingInfo &info : settingsCatalogue())
        if (settingRuleNames(info).contains(rule))
            return true;
    return false;
}

QString ruleValueText(const ValidationRule &r, const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    if (const auto *ir = std::get_if<IntRule>(&r))
        return QString::number(ir->field(copy));
    return QString::number(std::get<VoltRule>(r).field(copy), 'f', 1);
}

QString ruleRangeText(const ValidationRule &r)
{
    if (const auto *ir = std::get_if<IntRule>(&r))
        return QString("%1..%2").arg(ir->lower).arg(ir->upper);
    return QString("0.0..%1").arg(std::get<VoltRule>(r).upper, 0, 'f', 1);
}

// Every value of `asRead` that validation changed (in `validated`), by
// caption, value, range and place in the file.
QStringList outOfRange(const TxSettingsRecord &asRead, const TxSettingsRecord &validated)
{
    const std::vector<QString> owners = byteOwners(validated);
    QStringList found;
    for (const SettingInfo &info : settingsCatalogue()) {
        const int v = settingValue(info, asRead);
        if (v != settingValue(info, validated))
            found << QString("%1 holds %2, outside %3%4")
                         .arg(info.path(), settingValueText(info, v), settingRangeText(info),
                              whereOwned(owners, info.path()));
    }
    // Derived values the catalogue leaves out (the D/R edit mirrors).
    for (const ValidationRule &r : validationRules())
        if (!hasCatalogueRow(ruleName(r)) && ruleValueText(r, asRead) != ruleValueText(r, validated))
            found << QString("%1 (one of %2) holds %3, outside %4%5")
                         .arg(ruleName(r), kMirrors, ruleValueText(r, asRead), ruleRangeText(r),
                              whereOwned(owners, kMirrors));
    return found;
}

} // namespace

bool loadSettingsBytesStrict(const QString &name, const QByteArray &fileBytesGiven, StaleEditMirrors mirrors,
                             TxSettingsRecord &out, QString *note, QString *error)
{
    // What an editor adds and the window's LOAD passes over: a byte-order
    // mark before the lines, a line break (or anything else) after them.
    QStringList ignored;
    QByteArray bytes = fileBytesGiven;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
        ignored << "the byte-order mark before the S line (positions count after it)";
    }
    if (bytes.size() > kSettingsFileLength) {
        const QByteArray rest = bytes.mid(kSettingsFileLength);
        bytes.truncate(kSettingsFileLength);
        ignored << (rest == "\n"     ? QString("the line break after the H line")
                    : rest == "\r\n" ? QString("the line break (CR LF) after the H line")
                                     : QString("%1 bytes after the H line").arg(rest.size()));
    }
    if (bytes.size() != kSettingsFileLength) {
        *error = QString("%1: not a settings file: %2 bytes, a settings file has exactly %3")
                     .arg(name)
                     .arg(bytes.size())
                     .arg(kSettingsFileLength);
        return false;
    }
    TxSettingsRecord st = startSettings();
    LoadReport report;
    {
        QuietDebugLog quiet; // the loader's trace belongs to the window's log
        // Every byte, a NUL too (the QByteArray overload would stop there).
        report = loadSettingsText(QString::fromLatin1(bytes.constData(), bytes.size()), st);
    }
    const bool inPlace[3] = {report.s, report.g, report.h};
    QStringList misplaced;
    for (int i = 0; i < 3; ++i)
        if (!inPlace[i])
            misplaced << QString("the %1 line is not in place (byte %2 must hold \"%1\" and byte %3 \"%4\")")
                             .arg(QChar::fromLatin1(kLineLetters[i]))
                             .arg(i * kLineLength)
                             .arg(i * kLineLength + kLineLength - 1)
                             .arg(QChar::fromLatin1(kLineEnds[i]));
    if (!misplaced.isEmpty()) {
        *error = QString("%1: not a settings file: %2").arg(name, misplaced.join("; "));
        return false;
    }

    // Text that is no hexadecimal number reads as 0, and validation would
    // then report the value that 0 makes: name what stands there instead.
    // (The owners of the start settings are the same for every file: found once.)
    static const std::vector<QString> fields = byteOwners(startSettings());
    for (int i = 0; i < kSettingsFileLength; ++i) {
        if (fields[size_t(i)].isEmpty() || std::isxdigit(uchar(bytes[i])))
            continue;
        int first = i, last = i;
        while (first % kLineLength != 0 && fields[size_t(first - 1)] == fields[size_t(i)])
            --first;
        while ((last + 1) % kLineLength != 0 && fields[size_t(last + 1)] == fields[size_t(i)])
            ++last;
        *error = QString("%1: %2 (%3) is \"%4\", which is not a value as SAVE writes it (no hexadecimal "
                         "number)")
                     .arg(name, fields[size_t(i)], where(first, last),
                          printable(bytes.mid(first, last - first + 1)));
        return false;
    }

    // What the window does after reading the lines.
    drDataSelect(st);
    const TxSettingsRecord asRead = st;
    validateSettings(st);
    if (st != asRead) {
        *error = QString("%1: value out of range: %2").arg(name, outOfRange(asRead, st).join("; "));
        return false;
    }

    // The file must be what SAVE writes for these values (hexadecimal digits
    // in either case): no text read as a number it does not show, no fixed
    // text changed. That is also what WRITE would send.
    const QByteArray canonical = settingsFileBytes(st);
    const QByteArray upper = bytes.toUpper();
    std::vector<QString> owners;
    bool staleMirrors = false;
    for (int i = 0; i < canonical.size(); ++i) {
        if (upper[i] == canonical[i])
            continue;
        if (owners.empty())
            owners = byteOwners(st);
        const QString &owner = owners[size_t(i)];
        if (owner == kMirrors && mirrors != StaleEditMirrors::Refuse) {
            staleMirrors = true;
            continue;
        }
        int end = i;
        while (end + 1 < canonical.size() && upper[end + 1] != canonical[end + 1] &&
               owners[size_t(end + 1)] == owner && (end + 1) % kLineLength != 0)
            ++end;
        const QString found = printable(bytes.mid(i, end - i + 1));
        const QString saved = printable(canonical.mid(i, end - i + 1));
        if (owner.isEmpty())
            *error =
                QString(
                    "%1: not a settings file as SAVE writes it: %2 hold%3 \"%4\" where SAVE writes \"%5\"")
                    .arg(name, where(i, end), end > i ? "" : "s", found, saved);
        else if (owner == kMirrors)
            *error = QString("%1: %2 (%3) are \"%4\", not the rates of the selected D/R channel (\"%5\"); "
                             "the transmitter would be sent other bytes than the file holds")
                         .arg(name, kMirrors, where(i, end), found, saved);
        else
            *error =
                QString("%1: %2 (%3) is \"%4\", which is not a value as SAVE writes it (it writes \"%5\")")
                    .arg(name, owner, where(i, end), found, saved);
        return false;
    }
    QStringList notes;
    if (!ignored.isEmpty())
        notes << QString("%1 ignored, as the window's LOAD ignores it").arg(ignored.join(" and "));
    if (staleMirrors && mirrors == StaleEditMirrors::Rederive)
        notes << QString("%1%2 are not the rates of the selected D/R channel; sent as the window sends them "
                         "after LOAD, derived again")
                     .arg(kMirrors, whereOwned(owners, kMirrors));
    else if (staleMirrors)
        notes << QString("%1%2 are not the rates of the selected D/R channel; they are derived, so export "
                         "and import rewrite them")
                     .arg(kMirrors, whereOwned(owners, kMirrors));
    if (note && !notes.isEmpty())
        *note = QString("note: %1: %2").arg(name, notes.join("; "));
    out = st;
    return true;
}

bool loadSettingsFileStrict(const QString &path, StaleEditMirrors mirrors, TxSettingsRecord &out,
                            QString *note, QString *error)
{
    // A port given where the file belongs (PORT and FILE swapped) would be
    // read until the transmitter stops talking, maybe never.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode)) {
        *error = QString("%1: not a settings file but a device (a port?)").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("%1: cannot read it (%2)").arg(path, file.errorString());
        return false;
    }
    // The bound keeps a device node or a huge file from filling memory.
    const QByteArray bytes = file.read(kSettingsReadLimit + 1);
    if (bytes.size() > kSettingsReadLimit) {
        *error = QString("%1: not a settings file: more than %2 bytes, a settings file has exactly %3")
                     .arg(path)
                     .arg(kSettingsReadLimit)
                     .arg(kSettingsFileLength);
        return false;
    }
    return loadSettingsBytesStrict(path, bytes, mirrors, out, note, error);
}
