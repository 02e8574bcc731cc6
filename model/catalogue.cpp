#include "model/catalogue.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <stdexcept>

#include "model/choices.h"
#include "model/validation.h"

namespace {

// Where a row's value lives: the validation rule of its field (which knows the
// field and its range) and, for an alarm, the rule of its volts.
struct Access {
    const IntRule *rule = nullptr;
    const VoltRule *volts = nullptr;
};

struct Catalogue {
    std::vector<SettingInfo> rows;
    std::vector<Access> access; // parallel to rows
    QHash<QString, int> byKey;
};

const IntRule &intRule(const std::string &name)
{
    for (const IntRule &r : intRules())
        if (r.name == name)
            return r;
    throw std::logic_error("settings catalogue: no validation rule " + name);
}

const VoltRule &voltRule(const std::string &name)
{
    for (const VoltRule &r : voltRules())
        if (r.name == name)
            return r;
    throw std::logic_error("settings catalogue: no validation rule " + name);
}

QString element(const char *field, int i)
{
    return QString("%1[%2]").arg(field).arg(i);
}

// BASIC's row captions, "CH1:" .. "CH8:" (i from 0).
QString row(int i)
{
    return QString("CH%1:").arg(i + 1);
}

class Builder
{
public:
    Catalogue c;

    void page(const char *key, const char *caption)
    {
        pageKey = key;
        pageCaption = caption;
    }
    void group(const char *key, const char *title)
    {
        groupKey = key;
        groupTitle = title;
    }
    void integer(const QString &key, const QString &caption, const QString &rule, const char *unit = "",
                 SettingCarrier carrier = SettingCarrier::Both)
    {
        add(pageKey + "." + groupKey + "." + key, caption, SettingKind::Integer, {}, unit, rule, QString(),
            carrier);
    }
    // fullKey: a key other than page.group.key (kept where a row moved).
    void choice(const QString &key, const QString &caption, const QString &rule, const QStringList &choices,
                SettingCarrier carrier = SettingCarrier::Both, const QString &fullKey = QString())
    {
        add(fullKey.isEmpty() ? pageKey + "." + groupKey + "." + key : fullKey, caption, SettingKind::Choice,
            choices, "", rule, QString(), carrier);
    }
    void volts(const QString &key, const QString &caption, const QString &tenthsRule,
               const QString &voltsRule)
    {
        add(pageKey + "." + groupKey + "." + key, caption, SettingKind::Volts, {}, "V", tenthsRule, voltsRule,
            SettingCarrier::Both);
    }

private:
    QString pageKey, pageCaption, groupKey, groupTitle;

    void add(const QString &key, const QString &caption, SettingKind kind, const QStringList &choices,
             const char *unit, const QString &rule, const QString &voltsRule, SettingCarrier carrier)
    {
        Access a;
        a.rule = &intRule(rule.toStdString());
        if (!voltsRule.isEmpty())
            a.volts = &voltRule(voltsRule.toStdString());
        SettingInfo info{
            key,           pageCaption,   groupTitle, caption, kind, choices, QString::fromLatin1(unit),
            a.rule->lower, a.rule->upper, carrier};
        if (c.byKey.contains(info.key))
            throw std::logic_error("settings catalogue: key twice: " + info.key.toStdString());
        c.byKey.insert(info.key, int(c.rows.size()));
        c.rows.push_back(info);
        c.access.push_back(a);
    }
};

Catalogue build()
{
    Builder b;
    const char *percent = "%";

    b.page("basic", "BASIC");
    b.group("reverse", "REVERSE");
    for (int i = 0; i < 8; ++i)
        b.choice(QString("ch%1").arg(i + 1), row(i), element("rev", i), norRevNames());
    b.group("subTrim", "SUB-TRIM");
    for (int i = 0; i < 8; ++i)
        b.integer(QString("ch%1").arg(i + 1), row(i), element("sub", i));
    b.group("endPoint", "END POINT--L---R---");
    for (int i = 0; i < 8; ++i) {
        b.integer(QString("ch%1Left").arg(i + 1), row(i) + " L", element("lepa", i), percent);
        b.integer(QString("ch%1Right").arg(i + 1), row(i) + " R", element("repa", i), percent);
    }
    b.group("failSafe", "FAIL SAFE");
    for (int i = 0; i < 8; ++i)
        b.integer(QString("ch%1").arg(i + 1), row(i), element("fs", i));
    b.group("delay", "DELAY");
    for (int i = 0; i < 8; ++i)
        b.integer(QString("ch%1").arg(i + 1), row(i), element("delay", i));
    b.group("auxCh", "AUX-CH");
    for (int i = 0; i < 4; ++i)
        b.choice(QString("ch%1").arg(i + 5), row(i + 4), element("aux", i), auxSourceNames());

    // The D/R group shows the rates of the selected channel; the catalogue
    // lists the rates of all four channels. Its SW: box only shows the
    // switch, which is set under D/R CURE.
    b.page("advance1", "ADVANCE1");
    b.group("dr", "D/R");
    b.choice("mix", "MIX:", "drMix", offOnNames());
    b.choice("ch", "CH:", "drCh", ch1to4Names(), SettingCarrier::LinesOnly);
    for (int i = 0; i < 4; ++i) {
        b.integer(QString("ch%1Up").arg(i + 1), QString("CH%1 UP:").arg(i + 1), element("drUp", i), percent);
        b.integer(QString("ch%1Down").arg(i + 1), QString("CH%1 DOWN:").arg(i + 1), element("drDown", i),
                  percent);
    }
    b.group("attitude", "ATTITUDE");
    b.choice("ch", "CH:", "attiM", attiSourceNames());
    for (int i = 0; i < 6; ++i)
        b.integer(QString("atti%1").arg(i + 1), QString("ATTI%1:").arg(i + 1), element("atti", i));
    // Elevon values 5 and 6 stand in a column of their own beside AILE1 and
    // AILE2.
    b.group("elevon", "ELEVON");
    b.choice("mix", " MIX:", "eleMix", offOnNames()); // the window's blank
    b.integer("aile1", "AILE1:", element("elev", 0), percent);
    b.integer("aile2", "AILE2:", element("elev", 1), percent);
    b.integer("elev2", "ELEV2:", element("elev", 2), percent);
    b.integer("elev1", "ELEV1:", element("elev", 3), percent);
    b.integer("aile1Right", "AILE1: (right)", element("elev", 4), percent);
    b.integer("aile2Right", "AILE2: (right)", element("elev", 5), percent);
    b.group("vTail", "V-TAIL");
    b.choice("mix", "MIX:", "ruMix", offOnNames());
    b.integer("elev1", "ELEV1:", element("ru", 0), percent);
    b.integer("elev2", "ELEV2:", element("ru", 1), percent);
    b.integer("rudd2", "RUDD2:", element("ru", 2), percent);
    b.integer("rudd1", "RUDD1:", element("ru", 3), percent);

    // MIX and CH of the D/R CURE group are the D/R group's; its RATE and EXP
    // show the selected channel and position. The switch keeps the key it
    // was first given. The exponentials have no unit in the window.
    b.page("advance2", "ADVANCE2");
    b.group("drCure", "D/R CURE");
    b.choice("sw", "SW:", "drSw", swaNames(), SettingCarrier::Both, "advance1.dr.sw");
    b.choice("posi", " POSI:", "drPosi", upDownNames()); // the window's blank
    for (int i = 0; i < 4; ++i) {
        b.integer(QString("ch%1UpExp").arg(i + 1), QString("CH%1 UP EXP:").arg(i + 1), element("drExpUp", i));
        b.integer(QString("ch%1DownExp").arg(i + 1), QString("CH%1 DOWN EXP:").arg(i + 1),
                  element("drExpDown", i));
    }
    b.group("thCure", "TH CURE");
    b.choice("mix", "MIX:", "thcureMix", offOnNames());
    b.integer("option", "OPTION", "thcureOpt"); // no editor; carried by lines and frames
    for (int i = 0; i < 7; ++i)
        b.integer(QString("point%1").arg(i + 1), QString("POINT%1:").arg(i + 1), element("thcure", i),
                  percent);

    b.page("progMix", "PROG.MIX");
    for (int m = 0; m < 4; ++m) {
        const QByteArray key = QString("mix%1").arg(m + 1).toLatin1();
        const QByteArray title = QString("PROG.MIX%1").arg(m + 1).toLatin1();
        b.group(key.constData(), title.constData());
        const QString prm = element("prm", m) + ".";
        b.choice("mode", "MIX:", prm + "mix", mixStateNames());
        b.choice("master", "MAS:", prm + "master", ch1to8Names());
        b.choice("slave", "SLA:", prm + "slave", ch1to8Names());
        b.integer("offset", "OFFSET:", prm + "data1", percent);
        b.integer("up", "UP:", prm + "data2", percent);
        b.integer("down", "DOWN:", prm + "data3", percent);
    }

    b.page("system", "SYSTEM");
    b.group("alarm", "ALARM");
    b.volts("tx", "TX-Alarm:", "txAlarmRaw", "txAlarmVolt");
    b.volts("rx", "RX-Alarm:", "rxAlarmRaw", "rxAlarmVolt");
    b.volts("ext", "EXT-Alarm:", "extAlarmRaw", "extAlarmVolt");
    b.integer("rssi", "Rssi-Alarm:", "rssiAlarm", "dBm");
    b.group("versionMode", "VERSION / MODE");
    b.integer("stkMode", "STK-MODE:", "stkMode");
    return b.c;
}

const Catalogue &catalogue()
{
    static const Catalogue c = build();
    return c;
}

// The D/R group's UP: and DOWN: boxes, which show the G line's copy of the
// selected channel's rates.
Catalogue buildEditCopy()
{
    Builder b;
    b.page("advance1", "ADVANCE1");
    b.group("dr", "D/R");
    b.integer("up", "UP:", "drUpEdit", "%", SettingCarrier::LinesOnly);
    b.integer("down", "DOWN:", "drDownEdit", "%", SettingCarrier::LinesOnly);
    return b.c;
}

const Catalogue &editCopyCatalogue()
{
    static const Catalogue c = buildEditCopy();
    return c;
}

// The access of a row; info may be a copy of a catalogue row.
const Access &accessOf(const SettingInfo &info)
{
    for (const Catalogue *c : {&catalogue(), &editCopyCatalogue()}) {
        const std::ptrdiff_t i = &info - c->rows.data();
        if (i >= 0 && i < std::ptrdiff_t(c->rows.size()))
            return c->access[size_t(i)];
    }
    for (const Catalogue *c : {&catalogue(), &editCopyCatalogue()}) {
        const int at = c->byKey.value(info.key, -1);
        if (at >= 0)
            return c->access[size_t(at)];
    }
    throw std::logic_error("settings catalogue: unknown key " + info.key.toStdString());
}

// A group name as names are matched: its letters and digits, lower case.
QString groupMatchName(const QString &name)
{
    QString out;
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

// The groups from the catalogue's rows: a page where the page changes, a box
// where the box title changes. A box title's column header ("--L---R---")
// is no part of its name.
std::vector<SettingGroup> buildGroups()
{
    std::vector<SettingGroup> groups;
    const std::vector<SettingInfo> &rows = catalogue().rows;
    size_t pageAt = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const SettingInfo &info = rows[i];
        if (i == 0 || info.page != rows[i - 1].page) {
            pageAt = groups.size();
            groups.push_back({info.page, info.page, true, false, {}});
        }
        if (i == 0 || info.page != rows[i - 1].page || info.group != rows[i - 1].group) {
            const int header = info.group.indexOf("--");
            groups.push_back(
                {header < 0 ? info.group : info.group.left(header), info.page, false, false, {}});
        }
        groups[pageAt].rows.push_back(int(i));
        groups.back().rows.push_back(int(i));
    }
    const SettingInfo &copy = editCopyCatalogue().rows.front();
    QSet<QString> names;
    for (SettingGroup &g : groups) {
        g.holdsDrEditCopy = g.page == copy.page && g.name == (g.wholePage ? copy.page : copy.group);
        if (names.contains(groupMatchName(g.name)))
            throw std::logic_error("settings catalogue: group name twice: " + g.name.toStdString());
        names.insert(groupMatchName(g.name));
    }
    return groups;
}

QString tenthsText(int tenths)
{
    const QString sign = tenths < 0 ? "-" : "";
    const long long t = tenths < 0 ? -static_cast<long long>(tenths) : tenths;
    return QString("%1%2.%3").arg(sign).arg(t / 10).arg(t % 10);
}

} // namespace

QString SettingInfo::path() const
{
    return page + " / " + group + " / " + caption;
}

const std::vector<SettingInfo> &settingsCatalogue()
{
    return catalogue().rows;
}

const SettingInfo *findSetting(const QString &key)
{
    const Catalogue &c = catalogue();
    const int at = c.byKey.value(key, -1);
    return at < 0 ? nullptr : &c.rows[size_t(at)];
}

int settingValue(const SettingInfo &info, const TxSettingsRecord &s)
{
    const Access &a = accessOf(info);
    // The rules reach fields through non-const references; nothing is written.
    TxSettingsRecord &store = const_cast<TxSettingsRecord &>(s);
    if (a.volts)
        return voltsToTenths(a.volts->field(store)); // what the lines carry
    return a.rule->field(store);
}

void setSettingValue(const SettingInfo &info, TxSettingsRecord &s, int value)
{
    const Access &a = accessOf(info);
    a.rule->field(s) = value;
    if (a.volts)
        a.volts->field(s) = value / 10.0; // as the loader and the decoder set them
}

QString settingValueWord(const SettingInfo &info, int value)
{
    switch (info.kind) {
    case SettingKind::Choice:
        if (value >= 0 && value < info.choices.size())
            return info.choices.at(value);
        return QString::number(value);
    case SettingKind::Volts:
        return tenthsText(value);
    case SettingKind::Integer:
    default:
        return QString::number(value);
    }
}

QString settingValueText(const SettingInfo &info, int value)
{
    const QString word = settingValueWord(info, value);
    return info.unit.isEmpty() ? word : word + " " + info.unit;
}

QString settingValueText(const SettingInfo &info, const TxSettingsRecord &s)
{
    return settingValueText(info, settingValue(info, s));
}

QString settingRangeText(const SettingInfo &info)
{
    switch (info.kind) {
    case SettingKind::Choice: {
        QString text = info.choices.join(", ");
        if (info.upper >= info.choices.size())
            text += QString(" or a number %1..%2").arg(info.lower).arg(info.upper);
        return text;
    }
    case SettingKind::Volts:
        return QString("%1..%2 V").arg(tenthsText(info.lower), tenthsText(info.upper));
    case SettingKind::Integer:
    default:
        return QString("%1..%2%3")
            .arg(info.lower)
            .arg(info.upper)
            .arg(info.unit.isEmpty() ? QString() : " " + info.unit);
    }
}

bool settingAccepts(const SettingInfo &info, int value)
{
    return value >= info.lower && value <= info.upper;
}

QStringList settingDifferences(const TxSettingsRecord &a, const TxSettingsRecord &b, bool bothWaysOnly)
{
    QStringList out;
    for (const SettingInfo &info : settingsCatalogue()) {
        if (bothWaysOnly && info.carrier != SettingCarrier::Both)
            continue;
        const int va = settingValue(info, a);
        const int vb = settingValue(info, b);
        if (va == vb)
            continue;
        // "POINT4: 50 -> 60", "CH3: 0 -> 7": one colon after the caption.
        const QString path = info.path();
        const QString colon = path.endsWith(':') ? " " : ": ";
        out << path + colon + settingValueText(info, va) + " -> " + settingValueText(info, vb);
    }
    // The D/R edit copy, where it is not derived on either side (no frame
    // carries it).
    if (!bothWaysOnly && (drEditCopyIsData(a) || drEditCopyIsData(b)))
        for (const SettingInfo &info : drEditCopyRows()) {
            const int va = settingValue(info, a), vb = settingValue(info, b);
            if (va != vb)
                out << info.path() + " " + settingValueText(info, va) + " -> " + settingValueText(info, vb);
        }
    return out;
}

int &settingField(const SettingInfo &info, TxSettingsRecord &s)
{
    return accessOf(info).rule->field(s);
}

bool drEditCopyIsData(const TxSettingsRecord &s)
{
    return s.drCh < 0 || s.drCh > 3;
}

const std::vector<SettingInfo> &drEditCopyRows()
{
    return editCopyCatalogue().rows;
}

QStringList settingRuleNames(const SettingInfo &info)
{
    const Access &a = accessOf(info);
    QStringList names{QString::fromStdString(a.rule->name)};
    if (a.volts)
        names << QString::fromStdString(a.volts->name);
    return names;
}

QStringList derivedSettingFields()
{
    return {"drUpEdit", "drDownEdit", "drRateEdit", "drExpEdit"};
}

const std::vector<SettingGroup> &settingGroups()
{
    static const std::vector<SettingGroup> groups = buildGroups();
    return groups;
}

const SettingGroup *findSettingGroup(const QString &name)
{
    // A box also by its whole title, as show prints it ("END POINT--L---R---").
    const QString wanted = groupMatchName(name);
    for (const SettingGroup &g : settingGroups()) {
        const QString title = g.wholePage ? g.name : settingsCatalogue()[size_t(g.rows.front())].group;
        if (!wanted.isEmpty() && (groupMatchName(g.name) == wanted || groupMatchName(title) == wanted))
            return &g;
    }
    return nullptr;
}

QString settingGroupNames()
{
    QStringList names;
    for (const SettingGroup &g : settingGroups())
        names << g.name;
    return names.join(", ");
}

void copySetting(const SettingInfo &info, const TxSettingsRecord &from, TxSettingsRecord &to)
{
    const Access &a = accessOf(info);
    // The rules reach fields through non-const references; `from` is only read.
    TxSettingsRecord &source = const_cast<TxSettingsRecord &>(from);
    a.rule->field(to) = a.rule->field(source);
    if (a.volts)
        a.volts->field(to) = a.volts->field(source);
}
