#include <QtTest>
#include <climits>
#include <functional>
#include <set>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "model/validation.h"
#include "support/testutil.h"

// Range checks of the store: out-of-range values fall back silently, field by
// field; everything in range stays.
class TestValidation : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void edgeCases_data();
    void edgeCases();
    void voltEdgeCases_data();
    void voltEdgeCases();
    void sweepIntegerFields_data();
    void sweepIntegerFields();
    void sweepVoltages_data();
    void sweepVoltages();
    void everyIntegerFieldHasOneRule();
    void fallbacksAreTheStartValues();
    void startAndFactoryStoresAreValid();
    void voltsAndTenthsAreIndependent();
    void rateMirrorIsNotChecked();
    void falseSaveDataChecksTheStore();
};

using IntField = std::function<int &(TxSettingsRecord &)>;
Q_DECLARE_METATYPE(IntField)
using VoltField = std::function<double &(TxSettingsRecord &)>;
Q_DECLARE_METATYPE(VoltField)

void TestValidation::edgeCases_data()
{
    QTest::addColumn<IntField>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    auto row = [](const char *name, IntField f, int value, int expected) {
        QTest::newRow(name) << f << value << expected;
    };
    auto sub3 = [](TxSettingsRecord &s) -> int & { return s.sub[3]; };
    row("sub[3] -101", sub3, -101, 0);
    row("sub[3] -100", sub3, -100, -100);
    row("sub[3] 100", sub3, 100, 100);
    row("sub[3] 101", sub3, 101, 0);
    auto lepa0 = [](TxSettingsRecord &s) -> int & { return s.lepa[0]; };
    row("lepa[0] 121", lepa0, 121, 96);
    row("lepa[0] 120", lepa0, 120, 120);
    row("lepa[0] -1", lepa0, -1, 96);
    row(
        "rev[2] 2", [](TxSettingsRecord &s) -> int & { return s.rev[2]; }, 2, 1);
    row(
        "rev[0] 2", [](TxSettingsRecord &s) -> int & { return s.rev[0]; }, 2, 0);
    row(
        "fs[2] 101", [](TxSettingsRecord &s) -> int & { return s.fs[2]; }, 101, 0);
    row(
        "fs[0] 101", [](TxSettingsRecord &s) -> int & { return s.fs[0]; }, 101, 50);
    auto stk = [](TxSettingsRecord &s) -> int & { return s.stkMode; };
    row("stkMode 5", stk, 5, 1);
    row("stkMode 0", stk, 0, 0);
    auto rssi = [](TxSettingsRecord &s) -> int & { return s.rssiAlarm; };
    row("rssiAlarm 1", rssi, 1, -100);
    row("rssiAlarm -101", rssi, -101, -100);
    row("rssiAlarm 0", rssi, 0, 0);
    row("rssiAlarm -50", rssi, -50, -50);
    auto drCh = [](TxSettingsRecord &s) -> int & { return s.drCh; };
    row("drCh 4", drCh, 4, 4);
    row("drCh 5", drCh, 5, 0);
    row("drCh -1", drCh, -1, 0);
    row(
        "attiM 5", [](TxSettingsRecord &s) -> int & { return s.attiM; }, 5, 5);
    row(
        "attiM 6", [](TxSettingsRecord &s) -> int & { return s.attiM; }, 6, 4);
    row(
        "elev[3] 101", [](TxSettingsRecord &s) -> int & { return s.elev[3]; }, 101, -100);
    row(
        "ru[1] -101", [](TxSettingsRecord &s) -> int & { return s.ru[1]; }, -101, -50);
    row(
        "aux[3] 6", [](TxSettingsRecord &s) -> int & { return s.aux[3]; }, 6, 2);
    row(
        "atti[5] 101", [](TxSettingsRecord &s) -> int & { return s.atti[5]; }, 101, 88);
    row(
        "thcure[1] 101", [](TxSettingsRecord &s) -> int & { return s.thcure[1]; }, 101, 16);
    row(
        "prm[1].master 11", [](TxSettingsRecord &s) -> int & { return s.prm[1].master; }, 11, 1);
    row(
        "prm[3].slave 11", [](TxSettingsRecord &s) -> int & { return s.prm[3].slave; }, 11, 5);
    row(
        "prm[2].slave 10", [](TxSettingsRecord &s) -> int & { return s.prm[2].slave; }, 10, 10);
    row(
        "prm[0].data2 -101", [](TxSettingsRecord &s) -> int & { return s.prm[0].data2; }, -101, 0);
    row(
        "txAlarmRaw 501", [](TxSettingsRecord &s) -> int & { return s.txAlarmRaw; }, 501, 37);
    row(
        "rxAlarmRaw 1000", [](TxSettingsRecord &s) -> int & { return s.rxAlarmRaw; }, 1000, 1000);
    row(
        "extAlarmRaw 1001", [](TxSettingsRecord &s) -> int & { return s.extAlarmRaw; }, 1001, 110);
    row(
        "drExpEdit -101", [](TxSettingsRecord &s) -> int & { return s.drExpEdit; }, -101, 0);
    row(
        "drSw 3", [](TxSettingsRecord &s) -> int & { return s.drSw; }, 3, 0);
    row(
        "drPosi 4", [](TxSettingsRecord &s) -> int & { return s.drPosi; }, 4, 4);
    row(
        "thcureOpt 5", [](TxSettingsRecord &s) -> int & { return s.thcureOpt; }, 5, 0);
}

void TestValidation::edgeCases()
{
    QFETCH(IntField, field);
    QFETCH(int, value);
    QFETCH(int, expected);
    TxSettingsRecord s = startSettings();
    field(s) = value;
    TxSettingsRecord want = s;
    field(want) = expected;
    validateSettings(s);
    QCOMPARE(field(s), expected);
    QVERIFY(s == want); // no other field moved
}

void TestValidation::voltEdgeCases_data()
{
    QTest::addColumn<VoltField>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    VoltField tx = [](TxSettingsRecord &s) -> double & { return s.txAlarmVolt; };
    VoltField rx = [](TxSettingsRecord &s) -> double & { return s.rxAlarmVolt; };
    VoltField ext = [](TxSettingsRecord &s) -> double & { return s.extAlarmVolt; };
    QTest::newRow("tx 50.5") << tx << 50.5 << 0.0;
    QTest::newRow("tx 50.0") << tx << 50.0 << 50.0;
    QTest::newRow("tx 60.0") << tx << 60.0 << 0.0;
    QTest::newRow("tx 0.0") << tx << 0.0 << 0.0;
    QTest::newRow("tx -0.1") << tx << -0.1 << 0.0;
    QTest::newRow("rx 100.5") << rx << 100.5 << 4.0;
    QTest::newRow("rx 100.0") << rx << 100.0 << 100.0;
    QTest::newRow("rx -1") << rx << -1.0 << 4.0;
    QTest::newRow("ext -0.1") << ext << -0.1 << 11.0;
    QTest::newRow("ext 100.01") << ext << 100.01 << 11.0;
    QTest::newRow("ext 99.9") << ext << 99.9 << 99.9;
    QTest::newRow("ext nan") << ext << std::nan("") << 11.0;
    QTest::newRow("rx inf") << rx << HUGE_VAL << 4.0;
    QTest::newRow("tx -inf") << tx << -HUGE_VAL << 0.0;
}

void TestValidation::voltEdgeCases()
{
    QFETCH(VoltField, field);
    QFETCH(double, value);
    QFETCH(double, expected);
    TxSettingsRecord s = startSettings();
    field(s) = value;
    TxSettingsRecord want = s;
    field(want) = expected;
    validateSettings(s);
    QCOMPARE(field(s), expected);
    QVERIFY(s == want);
}

void TestValidation::sweepIntegerFields_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("valid");
    const auto &rules = intRules();
    for (int r = 0; r < int(rules.size()); ++r) {
        const IntRule &rule = rules[r];
        const QByteArray n = QByteArray::fromStdString(rule.name);
        auto row = [&](const char *what, qint64 v, bool valid) {
            QTest::newRow(n + " " + what) << r << v << valid;
        };
        row("lower-1", qint64(rule.lower) - 1, false);
        row("lower", rule.lower, true);
        row("middle", (qint64(rule.lower) + rule.upper) / 2, true);
        row("upper", rule.upper, true);
        row("upper+1", qint64(rule.upper) + 1, false);
        row("INT_MIN", INT_MIN, false);
        row("INT_MAX", INT_MAX, false);
        row("-1000000", -1000000, false);
        row("65535", 65535, false);
    }
}

void TestValidation::sweepIntegerFields()
{
    QFETCH(int, rule);
    QFETCH(qint64, value);
    QFETCH(bool, valid);
    const IntRule &r = intRules()[rule];
    TxSettingsRecord s = startSettings();
    r.field(s) = int(value);
    TxSettingsRecord want = s;
    r.field(want) = valid ? int(value) : r.fallback;
    validateSettings(s);
    QCOMPARE(r.field(s), r.field(want));
    QVERIFY(s == want);
}

void TestValidation::sweepVoltages_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    const auto &rules = voltRules();
    for (int r = 0; r < int(rules.size()); ++r) {
        const QByteArray n = QByteArray::fromStdString(rules[r].name);
        const double upper = rules[r].upper;
        QTest::newRow(n + " 0.0") << r << 0.0 << true;
        QTest::newRow(n + " upper") << r << upper << true;
        QTest::newRow(n + " upper+0.05") << r << upper + 0.05 << false;
        QTest::newRow(n + " -0.05") << r << -0.05 << false;
        QTest::newRow(n + " -1e9") << r << -1e9 << false;
        QTest::newRow(n + " 1e300") << r << 1e300 << false;
    }
}

void TestValidation::sweepVoltages()
{
    QFETCH(int, rule);
    QFETCH(double, value);
    QFETCH(bool, valid);
    const VoltRule &r = voltRules()[rule];
    TxSettingsRecord s = startSettings();
    r.field(s) = value;
    TxSettingsRecord want = s;
    r.field(want) = valid ? value : r.fallback;
    validateSettings(s);
    QCOMPARE(r.field(s), r.field(want));
    QVERIFY(s == want);
}

void TestValidation::everyIntegerFieldHasOneRule()
{
    // 133 integer fields in the record; all but the rate mirror are checked.
    TxSettingsRecord s{};
    std::set<const int *> seen;
    const char *begin = reinterpret_cast<const char *>(&s);
    for (const IntRule &r : intRules()) {
        const int *p = &r.field(s);
        const char *c = reinterpret_cast<const char *>(p);
        QVERIFY2(c >= begin && c < begin + sizeof s, r.name.c_str());
        QVERIFY2(seen.insert(p).second, r.name.c_str()); // no field twice
        QVERIFY2(p != &s.drRateEdit, r.name.c_str());
    }
    QCOMPARE(int(seen.size()), 132);
    std::set<const double *> volts;
    for (const VoltRule &r : voltRules())
        volts.insert(&r.field(s));
    QCOMPARE(volts, (std::set<const double *>{&s.txAlarmVolt, &s.rxAlarmVolt, &s.extAlarmVolt}));
    QCOMPARE(validationRules().size(), intRules().size() + voltRules().size());
}

void TestValidation::fallbacksAreTheStartValues()
{
    // Every integer falls back to its start value; of the voltages only the
    // transmitter alarm differs (0.0 against 11.0 at start).
    TxSettingsRecord start = startSettings();
    for (const IntRule &r : intRules())
        QVERIFY2(r.fallback == r.field(start), r.name.c_str());
    for (const VoltRule &r : voltRules()) {
        if (&r.field(start) == &start.txAlarmVolt)
            QCOMPARE(r.fallback, 0.0);
        else
            QCOMPARE(r.fallback, r.field(start));
    }
}

void TestValidation::startAndFactoryStoresAreValid()
{
    TxSettingsRecord s = startSettings();
    validateSettings(s);
    QVERIFY(s == startSettings());
    TxSettingsRecord f = startSettings();
    restData(f);
    restData2(f);
    TxSettingsRecord g = f;
    validateSettings(g);
    QVERIFY(g == f);
}

void TestValidation::voltsAndTenthsAreIndependent()
{
    TxSettingsRecord s = startSettings();
    s.txAlarmVolt = 60.0;
    s.txAlarmRaw = 123;
    s.rxAlarmVolt = 12.0;
    s.rxAlarmRaw = 1001;
    validateSettings(s);
    QCOMPARE(s.txAlarmVolt, 0.0);
    QCOMPARE(s.txAlarmRaw, 123); // the tenths keep their value
    QCOMPARE(s.rxAlarmVolt, 12.0);
    QCOMPARE(s.rxAlarmRaw, 40);
}

void TestValidation::rateMirrorIsNotChecked()
{
    TxSettingsRecord s = startSettings();
    s.drRateEdit = 500;
    validateSettings(s);
    QCOMPARE(s.drRateEdit, 500);
    s.drRateEdit = INT_MIN;
    validateSettings(s);
    QCOMPARE(s.drRateEdit, INT_MIN);
}

void TestValidation::falseSaveDataChecksTheStore()
{
    MainWindow w;
    TxSettings.sub[3] = -101;
    TxSettings.drCh = 5;
    TxSettings.extAlarmVolt = -0.1;
    TxLiveData.txVersion = -7; // live values are not checked
    QVERIFY(QMetaObject::invokeMethod(&w, "FalseSaveData", Qt::DirectConnection));
    TxSettingsRecord want = startSettings();
    QVERIFY(TxSettings == want);
    QCOMPARE(TxLiveData.txVersion, -7);
}

QTEST_MAIN(TestValidation)
#include "test_validation.moc"
