#include "file/settingsjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSet>
#include <cmath>
#include <cstdio>

#include "file/linerange.h"
#include "file/settingsfile.h"
#include "link/sequences.h"
#include "model/bindings.h"
#include "model/catalogue.h"
#include "model/validation.h"

const char *const kSettingsJsonFormat = "txconfig-settings";

namespace {

QtMessageHandler previousHandler = nullptr;
int quietDepth = 0;

void dropDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

QuietDebugLog::QuietDebugLog()
{
    if (quietDepth++ == 0)
        previousHandler = qInstallMessageHandler(dropDebug);
}

QuietDebugLog::~QuietDebugLog()
{
    if (--quietDepth == 0)
        qInstallMessageHandler(previousHandler);
}

namespace {

// Keys and choice names are plain ASCII; quote them anyway as JSON wants.
// Control characters are escaped, so a document's text quoted in a message
// cannot break the line or steer the terminal.
QByteArray quoted(const QString &text)
{
    QByteArray out = "\"";
    for (QChar c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0))
            out += QString::asprintf("\\u%04x", c.unicode()).toLatin1();
        else
            out += QString(c).toUtf8();
    }
    return out + "\"";
}

QByteArray jsonValue(const SettingInfo &info, int value)
{
    switch (info.kind) {
    case SettingKind::Choice:
        if (value >= 0 && value < info.choices.size())
            return quoted(info.choices.at(value));
        return QByteArray::number(value);
    case SettingKind::Volts:
        return settingValueWord(info, value).toLatin1(); // "4.5"
    case SettingKind::Integer:
    default:
        return QByteArray::number(value);
    }
}

QString typeName(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return v.toBool() ? "true" : "false";
    case QJsonValue::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QJsonValue::String:
        return "a string";
    case QJsonValue::Array:
        return "a list";
    case QJsonValue::Object:
        return "an object";
    case QJsonValue::Undefined:
    default:
        return "nothing";
    }
}

// Text of a document, quoted for a message.
QString quotedText(const QString &text)
{
    return QString::fromUtf8(quoted(text));
}

QString shown(const QJsonValue &v)
{
    return v.isString() ? quotedText(v.toString()) : typeName(v);
}

// The stored value of one setting from its JSON value, or a reason.
bool readValue(const SettingInfo &info, const QJsonValue &v, int *value, QString *why)
{
    const QString range = settingRangeText(info);
    if (info.kind == SettingKind::Choice && v.isString()) {
        const int at = info.choices.indexOf(v.toString());
        if (at < 0) {
            *why = QString("%1 is not one of %2").arg(shown(v), range);
            return false;
        }
        *value = at;
        return true;
    }
    const QString expected = info.kind == SettingKind::Choice  ? "one of " + range
                             : info.kind == SettingKind::Volts ? "volts " + range + " with one decimal"
                                                               : "a whole number " + range;
    if (!v.isDouble()) {
        *why = QString("expected %1, got %2").arg(expected, shown(v));
        return false;
    }
    const double d = v.toDouble();
    const double scaled = info.kind == SettingKind::Volts ? d * 10.0 : d;
    const double whole = std::round(scaled);
    // Volts are tenths: 12.6 * 10 is 126 only within rounding. A whole number
    // must be one, or 4.0000001 would be taken as 4 without a word.
    const double slack = info.kind == SettingKind::Volts ? 1e-9 : 0.0;
    if (!std::isfinite(scaled) || std::fabs(scaled - whole) > slack) {
        *why = QString("expected %1, got %2").arg(expected, shown(v));
        return false;
    }
    if (whole < info.lower || whole > info.upper) {
        *why = QString("%1 is outside %2").arg(shown(v), range);
        return false;
    }
    *value = int(whole);
    return true;
}

// The first key that appears twice in one object of a document that parsed,
// or an empty string. The parser keeps one of the two values without a word;
// an edited document with a key left in twice is ambiguous, so it is refused.
QString repeatedKey(const QByteArray &json)
{
    std::vector<QSet<QString>> objects; // the keys so far of each open object
    std::vector<bool> isObject;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            isObject.push_back(c == '{');
            objects.emplace_back();
        } else if ((c == '}' || c == ']') && !isObject.empty()) {
            isObject.pop_back();
            objects.pop_back();
        } else if (c == '"') {
            const int start = i;
            for (++i; i < json.size() && json[i] != '"'; ++i)
                if (json[i] == '\\')
                    ++i;
            int next = i + 1;
            while (next < json.size() && QChar::fromLatin1(json[next]).isSpace())
                ++next;
            if (isObject.empty() || !isObject.back() || next >= json.size() || json[next] != ':')
                continue;
            // The key as the parser reads it, escapes and all.
            const QString key =
                QJsonDocument::fromJson("[" + json.mid(start, i - start + 1) + "]").array().at(0).toString();
            if (objects.back().contains(key))
                return key;
            objects.back().insert(key);
        }
    }
    return QString();
}

} // namespace

QByteArray settingsToJson(const TxSettingsRecord &s)
{
    QByteArray out = "{\n";
    out += "  \"format\": " + quoted(kSettingsJsonFormat) + ",\n";
    out += "  \"version\": " + QByteArray::number(kSettingsJsonVersion) + ",\n";
    out += "  \"settings\": {\n";
    // The D/R edit copy stands after the D/R switch, as in the window, where
    // it is data of its own.
    std::vector<SettingInfo> all;
    for (const SettingInfo &info : settingsCatalogue()) {
        all.push_back(info);
        if (info.key == "advance1.dr.sw" && drEditCopyIsData(s))
            all.insert(all.end(), drEditCopyRows().begin(), drEditCopyRows().end());
    }
    for (size_t i = 0; i < all.size(); ++i) {
        out += "    " + quoted(all[i].key) + ": " + jsonValue(all[i], settingValue(all[i], s));
        out += i + 1 < all.size() ? ",\n" : "\n";
    }
    out += "  }\n}\n";
    return out;
}

TxSettingsRecord catalogueValuesOnly(const TxSettingsRecord &s)
{
    TxSettingsRecord out = startSettings();
    for (const SettingInfo &info : settingsCatalogue())
        setSettingValue(info, out, settingValue(info, s));
    if (drEditCopyIsData(s))
        for (const SettingInfo &info : drEditCopyRows())
            setSettingValue(info, out, settingValue(info, s));
    drDataSelect(out);
    return out;
}

bool settingsFromJson(const QByteArray &json, TxSettingsRecord &out, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QString("not valid JSON: %1 at byte %2").arg(parse.errorString()).arg(parse.offset);
        return false;
    }
    if (!doc.isObject()) {
        *error = "not a settings document: the top level is not an object";
        return false;
    }
    const QString twice = repeatedKey(json);
    if (!twice.isEmpty()) {
        *error = QString("the key %1 appears twice in one object").arg(quotedText(twice));
        return false;
    }
    const QJsonObject top = doc.object();
    for (const QString &key : top.keys())
        if (key != "format" && key != "version" && key != "settings") {
            *error =
                QString("unknown key %1 at the top level (format, version, settings)").arg(quotedText(key));
            return false;
        }
    if (top.value("format").toString() != kSettingsJsonFormat) {
        *error = QString("\"format\": expected \"%1\", got %2")
                     .arg(kSettingsJsonFormat, shown(top.value("format")));
        return false;
    }
    if (!top.value("version").isDouble() || top.value("version").toDouble() != kSettingsJsonVersion) {
        *error = QString("\"version\": expected %1, got %2")
                     .arg(kSettingsJsonVersion)
                     .arg(shown(top.value("version")));
        return false;
    }
    if (!top.value("settings").isObject()) {
        *error = QString("\"settings\": expected an object, got %1").arg(shown(top.value("settings")));
        return false;
    }
    const QJsonObject settings = top.value("settings").toObject();
    auto editCopyRow = [](const QString &key) -> const SettingInfo * {
        for (const SettingInfo &info : drEditCopyRows())
            if (info.key == key)
                return &info;
        return nullptr;
    };
    for (const QString &key : settings.keys())
        if (!findSetting(key) && !editCopyRow(key)) {
            *error = QString("unknown key %1").arg(quotedText(key));
            return false;
        }
    TxSettingsRecord s = startSettings();
    // Reads the key's value into s, or says why it cannot.
    const auto take = [&](const SettingInfo &info) {
        int value = 0;
        QString why;
        if (!readValue(info, settings.value(info.key), &value, &why)) {
            *error = QString("\"%1\": %2").arg(info.key, why);
            return false;
        }
        setSettingValue(info, s, value);
        return true;
    };
    for (const SettingInfo &info : settingsCatalogue()) {
        if (!settings.contains(info.key)) {
            *error = QString("\"%1\" is missing (%2)").arg(info.key, settingRangeText(info));
            return false;
        }
        if (!take(info))
            return false;
    }
    for (const SettingInfo &info : drEditCopyRows()) {
        if (!settings.contains(info.key))
            continue;
        if (!drEditCopyIsData(s)) {
            *error = QString("\"%1\": the D/R copy of the selected channel's rates is derived from them "
                             "while \"advance1.dr.ch\" is CH1..CH4; leave it out")
                         .arg(info.key);
            return false;
        }
        if (!take(info))
            return false;
    }
    drDataSelect(s);
    out = s;
    return true;
}

QString settingsFileProblem(const TxSettingsRecord &s)
{
    for (const SettingInfo &info : settingsCatalogue()) {
        const int want = settingValue(info, s);
        if (settingFitsLine(info, want))
            continue;
        int lo = 0, hi = 0;
        settingLineRange(info, &lo, &hi);
        return QString("\"%1\" (%2): a settings file cannot hold %3; it holds %4..%5")
            .arg(info.key, info.path(), settingValueText(info, want), settingValueWord(info, lo),
                 settingValueText(info, hi));
    }
    return QString();
}

bool looksLikeJson(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        return c == '{';
    }
    return false;
}
