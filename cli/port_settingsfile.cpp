#include "cli/port_settingsfile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <variant>

#include "file/settingsfile.h"
#include "link/lines.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/validation.h"

namespace {

const char *const kLineNames[3] = {"S", "G", "H"};
const LineKind kLineKinds[3] = {LineKind::S, LineKind::G, LineKind::H};

QString ruleName(const ValidationRule &r)
{
    return QString::fromStdString(std::visit([](const auto &rule) { return rule.name; }, r));
}

// The field of the store that line `kind` carries at `pos`, found by changing
// each checked field in turn and seeing which one moves that character.
QString fieldAt(LineKind kind, int pos, const TxSettingsRecord &s)
{
    TxSettingsRecord base = s;
    buildSettingsLines(base); // the tenths follow the volts
    const QByteArray line = buildLine(kind, base);
    for (const ValidationRule &r : validationRules()) {
        TxSettingsRecord changed = base;
        if (const auto *ir = std::get_if<IntRule>(&r)) {
            int &v = ir->field(changed);
            v = v != ir->lower ? ir->lower : ir->upper;
        } else {
            const auto &vr = std::get<VoltRule>(r);
            double &v = vr.field(changed);
            v = v != 0.0 ? 0.0 : vr.upper;
        }
        buildSettingsLines(changed); // the tenths follow the volts
        if (buildLine(kind, changed).at(pos) != line.at(pos))
            return ruleName(r);
    }
    return "fixed text";
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
    for (const ValidationRule &r : validationRules()) {
        if (valueText(r, asRead) != valueText(r, s))
            outOfRange
                << QString("%1 = %2 (allowed %3)").arg(ruleName(r), valueText(r, asRead), rangeText(r));
    }
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
                          fieldAt(kLineKinds[line], pos, s), QString::fromLatin1(sent.mid(p, end - p)));
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
    // One byte more than a settings file tells "too long" apart; the bound
    // keeps a device node or a huge file from filling memory.
    const QByteArray bytes = file.read(kSettingsFileLength + 1);
    if (bytes.size() > kSettingsFileLength) {
        *error = QString("%1: not a settings file: longer than %2 bytes").arg(path).arg(kSettingsFileLength);
        return false;
    }
    return loadSettingsBytesWhole(bytes, path, settings, error);
}
