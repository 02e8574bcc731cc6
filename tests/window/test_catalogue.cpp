#include <QtTest>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTabWidget>
#include <set>

#include "app/mainwindow.h"
#include "model/catalogue.h"
#include "model/validation.h"
#include "support/editors.h"
#include "support/stores.h"
#include "support/testutil.h"

// The settings catalogue: one row for every checked field, validation's
// ranges, the window's names, and the values in the window's words.
class TestCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void coversEveryValidatedFieldOnce();
    void rangesAreValidations();
    void keysAndPathsAreUnique();
    void namesAreTheWindows();
    void valueText_data();
    void valueText();
    void valuesReachTheirFields();
    void differences();
};

void TestCatalogue::coversEveryValidatedFieldOnce()
{
    std::multiset<QString> covered;
    for (const SettingInfo &info : settingsCatalogue())
        for (const QString &name : settingRuleNames(info))
            covered.insert(name);
    const QStringList derived = derivedSettingFields();
    std::set<QString> ruleNames;
    for (const IntRule &r : intRules())
        ruleNames.insert(QString::fromStdString(r.name));
    for (const VoltRule &r : voltRules())
        ruleNames.insert(QString::fromStdString(r.name));
    for (const QString &name : ruleNames) {
        if (derived.contains(name))
            QVERIFY2(covered.count(name) == 0, qPrintable(name));
        else
            QVERIFY2(covered.count(name) == 1, qPrintable(name + " is not in the catalogue exactly once"));
    }
    QCOMPARE(covered.size(), ruleNames.size() - 3); // drUpEdit, drDownEdit and drExpEdit are derived
}

void TestCatalogue::rangesAreValidations()
{
    for (const SettingInfo &info : settingsCatalogue()) {
        const QStringList names = settingRuleNames(info);
        bool found = false;
        for (const IntRule &r : intRules())
            if (QString::fromStdString(r.name) == names.first()) {
                QCOMPARE(info.lower, r.lower);
                QCOMPARE(info.upper, r.upper);
                found = true;
            }
        QVERIFY(found);
        QCOMPARE(info.kind == SettingKind::Volts, names.size() == 2);
        if (info.kind == SettingKind::Volts) {
            for (const VoltRule &v : voltRules())
                if (QString::fromStdString(v.name) == names.at(1))
                    QCOMPARE(info.upper, int(v.upper * 10));
            QCOMPARE(info.lower, 0);
        }
    }
}

void TestCatalogue::keysAndPathsAreUnique()
{
    QSet<QString> keys, paths;
    const QRegularExpression keyForm("^[a-z][A-Za-z0-9]*(\\.[a-z][A-Za-z0-9]*){2}$");
    for (const SettingInfo &info : settingsCatalogue()) {
        QVERIFY2(keyForm.match(info.key).hasMatch(), qPrintable(info.key));
        QVERIFY(!keys.contains(info.key));
        QVERIFY(!paths.contains(info.path()));
        keys.insert(info.key);
        paths.insert(info.path());
        QCOMPARE(findSetting(info.key), &info);
    }
    QCOMPARE(findSetting("basic.subTrim.ch9"), nullptr);
}

// Page, group title, caption and combo items as the real window shows them.
void TestCatalogue::namesAreTheWindows()
{
    MainWindow w;
    auto *tabs = w.findChild<QTabWidget *>("tabWidget");
    QVERIFY(tabs);
    for (const SettingInfo &info : settingsCatalogue()) {
        QWidget *page = nullptr;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == info.page)
                page = tabs->widget(i);
        QVERIFY2(page, qPrintable(info.path()));
        QGroupBox *group = nullptr;
        for (QGroupBox *g : page->findChildren<QGroupBox *>())
            if (g->title() == info.group)
                group = g;
        QVERIFY2(group, qPrintable(info.path()));
        // The caption letter for letter as a caption of its group shows it
        // (BASIC: of its row), or that caption with what selects the value
        // behind a shared editor: "CH1 UP EXP:", "CH3: L", "AILE1: (right)".
        QStringList texts;
        for (QLineEdit *e : (info.page == "BASIC" ? page : group)->findChildren<QLineEdit *>())
            texts << e->text();
        bool shown = info.key == "advance2.thCure.option"; // no editor
        for (const QString &t : texts)
            shown = shown || (t.endsWith(':') && (info.caption == t || info.caption.startsWith(t + " ") ||
                                                  info.caption.endsWith(" " + t)));
        QVERIFY2(shown, qPrintable(info.path()));
        if (info.kind == SettingKind::Choice) {
            bool matched = false;
            // An editor: not one of the boxes that only show a fixed choice.
            for (QComboBox *box : group->findChildren<QComboBox *>()) {
                const std::vector<const char *> &fixed = fixedChoiceBoxes();
                if (std::find(fixed.begin(), fixed.end(), box->objectName()) != fixed.end())
                    continue;
                QStringList items;
                for (int i = 0; i < box->count(); ++i)
                    items << box->itemText(i);
                matched = matched || items == info.choices;
            }
            QVERIFY2(matched, qPrintable(info.path() + ": " + info.choices.join(",")));
        }
    }
}

void TestCatalogue::valueText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path");
    QTest::newRow("sub-trim") << "basic.subTrim.ch3" << 7 << "7"
                              << "BASIC / SUB-TRIM / CH3:";
    QTest::newRow("reverse") << "basic.reverse.ch2" << 1 << "REV"
                             << "BASIC / REVERSE / CH2:";
    QTest::newRow("aux") << "basic.auxCh.ch5" << 0 << "SwA"
                         << "BASIC / AUX-CH / CH5:";
    QTest::newRow("aux beyond list") << "basic.auxCh.ch8" << 5 << "5"
                                     << "BASIC / AUX-CH / CH8:";
    QTest::newRow("end point") << "basic.endPoint.ch1Left" << 96 << "96 %"
                               << "BASIC / END POINT--L---R--- / CH1: L";
    QTest::newRow("dr channel") << "advance1.dr.ch" << 3 << "CH4"
                                << "ADVANCE1 / D/R / CH:";
    QTest::newRow("no dr channel") << "advance1.dr.ch" << 4 << "4"
                                   << "ADVANCE1 / D/R / CH:";
    QTest::newRow("exp") << "advance2.drCure.ch2DownExp" << -12 << "-12"
                         << "ADVANCE2 / D/R CURE / CH2 DOWN EXP:";
    QTest::newRow("th point") << "advance2.thCure.point4" << 50 << "50 %"
                              << "ADVANCE2 / TH CURE / POINT4:";
    QTest::newRow("mix state") << "progMix.mix3.mode" << 0 << "INH"
                               << "PROG.MIX / PROG.MIX3 / MIX:";
    QTest::newRow("master") << "progMix.mix2.master" << 7 << "CH8"
                            << "PROG.MIX / PROG.MIX2 / MAS:";
    QTest::newRow("tx alarm") << "system.alarm.tx" << 45 << "4.5 V"
                              << "SYSTEM / ALARM / TX-Alarm:";
    QTest::newRow("ext alarm") << "system.alarm.ext" << 1000 << "100.0 V"
                               << "SYSTEM / ALARM / EXT-Alarm:";
    QTest::newRow("rssi") << "system.alarm.rssi" << -80 << "-80 dBm"
                          << "SYSTEM / ALARM / Rssi-Alarm:";
    QTest::newRow("stick mode") << "system.versionMode.stkMode" << 2 << "2"
                                << "SYSTEM / VERSION / MODE / STK-MODE:";
}

void TestCatalogue::valueText()
{
    QFETCH(QString, key);
    QFETCH(int, value);
    const SettingInfo *info = findSetting(key);
    QVERIFY(info);
    TxSettingsRecord s = startSettings();
    setSettingValue(*info, s, value);
    QCOMPARE(settingValue(*info, s), value);
    QTEST(settingValueText(*info, s), "text");
    QTEST(info->path(), "path");
}

// Setting one row's value changes that row and no other.
void TestCatalogue::valuesReachTheirFields()
{
    QRandomGenerator g(11);
    const TxSettingsRecord base = randomInRangeSettings(g);
    for (const SettingInfo &info : settingsCatalogue()) {
        for (int v : {info.lower, info.upper}) {
            TxSettingsRecord s = base;
            const int old = settingValue(info, s);
            setSettingValue(info, s, v);
            QCOMPARE(settingValue(info, s), v);
            QCOMPARE(settingDifferences(base, s).size(), old == v ? 0 : 1);
        }
    }
    // An alarm sets its volts and its tenths together.
    TxSettingsRecord s = base;
    setSettingValue(*findSetting("system.alarm.rx"), s, 45);
    QCOMPARE(s.rxAlarmRaw, 45);
    QCOMPARE(s.rxAlarmVolt, 4.5);
}

void TestCatalogue::differences()
{
    TxSettingsRecord a = startSettings();
    TxSettingsRecord b = a;
    QVERIFY(settingDifferences(a, b).isEmpty());
    b.sub[2] = 7;
    b.drCh = 2;
    b.rxAlarmVolt = 5.5;
    b.drRateEdit = 3; // a mirror: not a setting of its own
    const QStringList expected = {"BASIC / SUB-TRIM / CH3: 0 -> 7", "ADVANCE1 / D/R / CH: CH1 -> CH3",
                                  "SYSTEM / ALARM / RX-Alarm: 4.0 V -> 5.5 V"};
    QCOMPARE(settingDifferences(a, b), expected);
    // drCh travels only in the lines.
    QCOMPARE(settingDifferences(a, b, true), QStringList({expected.at(0), expected.at(2)}));
}

QTEST_MAIN(TestCatalogue)
#include "test_catalogue.moc"
