#include "cli/port_settingsfile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <variant>

#include "file/settingsfile.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/validation.h"

namespace {

const char *const kLineNames[3] = {"S", "G", "H"};
const LineKind kLineKinds[3] = {LineKind::S, LineKind::G, LineKind::H};

QString ruleName(const ValidationRule &r)
{
    return QString::fromStdString(std::visit([](const auto &rule) { return rule.name; }, r));
}

QString rangeText(const ValidationRule &r)
{
    if (const auto *ir = std::get_if<IntRule>(&r))
        return QString("%1..%2").arg(ir->lower).arg(ir->upper);
    return QString("0.0..%1").arg(std::get<VoltRule>(r).upper, 0, 'f', 1);
}

QString valueText(const ValidationRule &r, const TxSettingsRecord &s)
{
    TxSettingsRecord copy = s;
    if (const auto *ir = std::get_if<IntRule>(&r))
        return QString::number(ir->field(copy));
    return QString::number(std::get<VoltRule>(r).field(copy), 'f', 1);
}

// The catalogue's row of a validation rule, or nullptr for a derived field
// that the catalogue leaves out (the D/R edit values).
const SettingInfo *rowOfRule(const QString &rule)
{
    for (const SettingInfo &info : settingsCatalogue())
        if (settingRuleNames(info).contains(rule))
            return &info;
    return nullptr;
}

// The setting that line `kind` carries at `pos`, found by changing each
// setting in turn and seeing which one moves that character.
QString settingAt(LineKind kind, int pos, const TxSettingsRecord &s)
{
    TxSettingsRecord base = s;
    buildSettingsLines(base); // the tenths follow the volts
    const QByteArray line = buildLine(kind, base);
    auto moves = [&](TxSettingsRecord &changed) {
        buildSettingsLines(changed);
        return buildLine(kind, changed).at(pos) != line.at(pos);
    };
    for (const SettingInfo &info : settingsCatalogue()) {
        TxSettingsRecord changed = base;
        const int v = settingValue(info, changed);
        setSettingValue(info, changed, v != info.lower ? info.lower : info.upper);
        if (moves(changed))
            return info.path();
    }
    for (const IntRule &r : intRules()) {
        TxSettingsRecord changed = base;
        int &v = r.field(changed);
        v = v != r.lower ? r.lower : r.upper;
        if (moves(changed))
            return QString::fromStdString(r.name) + ", which must match the D/R channel's own value";
    }
    return "fixed text";
}

// "BASIC / SUB-TRIM / CH4 = -120 % (allowed -100..100 %)" for a rule whose
// field validation would change.
QString outOfRangeText(const ValidationRule &r, const TxSettingsRecord &asRead)
{
    const QString name = ruleName(r);
    if (const SettingInfo *info = rowOfRule(name))
        return QString("%1 = %2 (allowed %3)")
            .arg(info->path(), settingValueText(*info, settingValue(*info, asRead)), settingRangeText(*info));
    return QString("%1 = %2 (allowed %3)").arg(name, valueText(r, asRead), rangeText(r));
}

} // namespace

bool loadSettingsBytesWhole(const QByteArray &bytes, const QString &name, TxSettingsRecord &settings,
                            QString *error)
{
    if (bytes.size() != kSettingsFileLength) {
        *error = QString("%1: not a settings file: %2 bytes, a settings file has exactly %3")
                     .arg(name)
                     .arg(bytes.size())
                     .arg(kSettingsFileLength);
        return false;
    }
    const QString text = QString::fromLatin1(bytes);
    TxSettingsRecord s = startSettings();
    // The loader's trace lines belong to the window's debug log, not here.
    QLoggingCategory *log = QLoggingCategory::defaultCategory();
    const bool tracing = log->isDebugEnabled();
    log->setEnabled(QtDebugMsg, false);
    const LoadReport report = loadSettingsText(text, s);
    log->setEnabled(QtDebugMsg, tracing);
    const bool loaded[3] = {report.s, report.g, report.h};
    const char *const ends[3] = {"Y", "Z", "X"};
    QStringList missing;
    for (int i = 0; i < 3; ++i)
        if (!loaded[i])
            missing << QString(
                           "the %1 line is not in place (positions %2 and %3 must hold \"%1\" and \"%4\")")
                           .arg(kLineNames[i])
                           .arg(i * kLineLength)
                           .arg(i * kLineLength + kLineLength - 1)
                           .arg(ends[i]);
    if (!missing.isEmpty()) {
        *error = QString("%1: not a settings file: %2").arg(name, missing.join("; "));
        return false;
    }

    // What the window does after reading the lines.
    drDataSelect(s);
    const TxSettingsRecord asRead = s;
    validateSettings(s);
    QStringList outOfRange;
    for (const ValidationRule &r : validationRules())
        if (valueText(r, asRead) != valueText(r, s))
            outOfRange << outOfRangeText(r, asRead);
    outOfRange.removeDuplicates(); // the volts and the tenths of one alarm
    if (!outOfRange.isEmpty()) {
        *error = QString("%1: value out of range, the window would change it: %2")
                     .arg(name, outOfRange.join(", "));
        return false;
    }

    // Every character must come back as written (hexadecimal digits in
    // either case), or the transmitter would be sent something else.
    TxSettingsRecord rebuilt = s;
    const SettingsLines lines = buildSettingsLines(rebuilt);
    const QByteArray sent = lines.s + lines.g + lines.h;
    for (int p = 0; p < kSettingsFileLength; ++p) {
        if (QChar(sent.at(p)).toUpper() == text.at(p).toUpper())
            continue;
        int end = p + 1;
        while (end < kSettingsFileLength && end % kLineLength != 0 &&
               QChar(sent.at(end)).toUpper() != text.at(end).toUpper())
            ++end;
        const int line = p / kLineLength;
        const int pos = p % kLineLength;
        const QString where = end - p > 1 ? QString("positions %1-%2").arg(pos).arg(pos + end - p - 1)
                                          : QString("position %1").arg(pos);
        *error = QString("%1: %2 line %3: \"%4\" does not load as written (%5; it would go out as \"%6\")")
                     .arg(name, kLineNames[line], where, text.mid(p, end - p),
                          settingAt(kLineKinds[line], pos, s), QString::fromLatin1(sent.mid(p, end - p)));
        return false;
    }

    settings = s;
    return true;
}

bool loadSettingsFileWhole(const QString &path, TxSettingsRecord &settings, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QString("%1: cannot open: %2").arg(path, file.errorString());
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
    return loadSettingsBytesWhole(bytes, path, settings, error);
}
