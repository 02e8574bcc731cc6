#include <QtTest>

#include "model/txsettings.h"

// Start values, the two factory resets, and the fields where they differ.
class TestStore : public QObject
{
    Q_OBJECT
private slots:
    void startValues();
    void factoryResets();
    void resetsTouchOnlyTheirFields();
};

void TestStore::startValues()
{
    const TxSettingsRecord s = startSettings();
    const int rev[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    const int fs[8] = {50, 50, 0, 50, 50, 50, 50, 50};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(s.rev[i], rev[i]);
        QCOMPARE(s.sub[i], 0);
        QCOMPARE(s.lepa[i], 96);
        QCOMPARE(s.repa[i], 96);
        QCOMPARE(s.fs[i], fs[i]);
        QCOMPARE(s.delay[i], 100);
    }
    const int aux[4] = {1, 3, 0, 2};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(s.aux[i], aux[i]);
        QCOMPARE(s.drUp[i], 100);
        QCOMPARE(s.drDown[i], 100);
        QCOMPARE(s.drExpUp[i], 0);
        QCOMPARE(s.drExpDown[i], 0);
    }
    QCOMPARE(s.txAlarmVolt, 11.0); // shows 11.0 V although its link form is 37
    QCOMPARE(s.txAlarmRaw, 37);
    QCOMPARE(s.stkMode, 1);
    QCOMPARE(s.attiM, 4);
    const int atti[6] = {14, 29, 44, 56, 69, 88};
    const int elev[6] = {100, 100, 100, -100, 100, 100};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(s.atti[i], atti[i]);
        QCOMPARE(s.elev[i], elev[i]);
    }
    const int ru[4] = {50, -50, 50, 50};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(s.ru[i], ru[i]);
    for (int m = 0; m < 4; ++m) {
        QCOMPARE(s.prm[m].mix, 0);
        QCOMPARE(s.prm[m].master, m % 2 == 0 ? 0 : 1);
        QCOMPARE(s.prm[m].slave, m % 2 == 0 ? 3 : 5);
        QCOMPARE(s.prm[m].data1, 0);
        QCOMPARE(s.prm[m].data2, 0);
        QCOMPARE(s.prm[m].data3, 0);
    }
    const int th[7] = {0, 16, 33, 50, 67, 84, 100};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(s.thcure[i], th[i]);
    QCOMPARE(s.drMix, 0);
    QCOMPARE(s.drCh, 0);
    QCOMPARE(s.drUpEdit, 100);
    QCOMPARE(s.drDownEdit, 100);
    QCOMPARE(s.drRateEdit, 100);
    QCOMPARE(s.drExpEdit, 0);
    QCOMPARE(s.drSw, 0);
    QCOMPARE(s.drPosi, 0);
    QCOMPARE(s.eleMix, 0);
    QCOMPARE(s.ruMix, 0);
    QCOMPARE(s.thcureMix, 0);
    QCOMPARE(s.thcureOpt, 0);
    QCOMPARE(s.rxAlarmVolt, 4.0);
    QCOMPARE(s.rxAlarmRaw, 40);
    QCOMPARE(s.extAlarmVolt, 11.0);
    QCOMPARE(s.extAlarmRaw, 110);
    QCOMPARE(s.rssiAlarm, -100);

    const TxLiveDataRecord d = startLiveData();
    for (int v : d.servo)
        QCOMPARE(v, 1000);
    QCOMPARE(d.txVolt, 0);
    QCOMPARE(d.rxRssi, 0);
    QCOMPARE(d.rxVolt, 0);
    QCOMPARE(d.extVolt, 0);
    QCOMPARE(d.txVersion, 0);
    QCOMPARE(d.readFlag, 0);

    // The program-wide records start with these values.
    QVERIFY(TxSettings == s);
    QVERIFY(TxLiveData == d);
}

void TestStore::factoryResets()
{
    TxSettingsRecord s = startSettings();
    restData(s);
    QCOMPARE(s.txAlarmVolt, 3.7);
    QCOMPARE(s.stkMode, 2);
    restData2(s);
    // Apart from these two fields, start and factory agree.
    TxSettingsRecord expected = startSettings();
    expected.txAlarmVolt = 3.7;
    expected.stkMode = 2;
    QVERIFY(s == expected);
}

void TestStore::resetsTouchOnlyTheirFields()
{
    // Fill everything with a marker, then see what each reset rewrites.
    auto mark = [](TxSettingsRecord &s) {
        TxSettingsRecord m = startSettings();
        for (int i = 0; i < 8; ++i)
            m.rev[i] = m.sub[i] = m.lepa[i] = m.repa[i] = m.fs[i] = m.delay[i] = 7;
        for (int i = 0; i < 4; ++i)
            m.aux[i] = m.drUp[i] = m.drDown[i] = m.drExpUp[i] = m.drExpDown[i] = 7;
        for (int i = 0; i < 6; ++i)
            m.atti[i] = m.elev[i] = 7;
        for (int i = 0; i < 4; ++i)
            m.ru[i] = 7;
        for (int i = 0; i < 7; ++i)
            m.thcure[i] = 7;
        for (auto &x : m.prm)
            x = {7, 7, 7, 7, 7, 7};
        m.txAlarmVolt = m.rxAlarmVolt = m.extAlarmVolt = 7.0;
        m.txAlarmRaw = m.stkMode = m.drMix = m.drCh = m.drUpEdit = m.drDownEdit = m.attiM = m.eleMix = 7;
        m.ruMix = m.drSw = m.drPosi = m.thcureMix = m.thcureOpt = m.rxAlarmRaw = m.extAlarmRaw = 7;
        m.rssiAlarm = m.drRateEdit = m.drExpEdit = 7;
        s = m;
    };

    TxSettingsRecord a;
    mark(a);
    restData(a);
    // RestData: groups 1 and 2, drSw, drUp, drDown. Not the H-line rest.
    QCOMPARE(a.stkMode, 2);
    QCOMPARE(a.drSw, 0);
    QCOMPARE(a.drUp[3], 100);
    QCOMPARE(a.prm[1].master, 1);
    QCOMPARE(a.prm[2].master, 7);
    QCOMPARE(a.drPosi, 7);
    QCOMPARE(a.drExpUp[0], 7);
    QCOMPARE(a.thcure[0], 7);
    QCOMPARE(a.rxAlarmRaw, 7);
    QCOMPARE(a.drRateEdit, 7);
    QCOMPARE(a.drExpEdit, 7);

    TxSettingsRecord b;
    mark(b);
    restData2(b);
    // RestData2: mixes 3 and 4, rx/ext alarms, rssi, throttle curve, drPosi, expos.
    QCOMPARE(b.prm[2].slave, 3);
    QCOMPARE(b.prm[3].slave, 5);
    QCOMPARE(b.prm[1].slave, 7);
    QCOMPARE(b.rxAlarmVolt, 4.0);
    QCOMPARE(b.extAlarmRaw, 110);
    QCOMPARE(b.rssiAlarm, -100);
    QCOMPARE(b.thcureOpt, 0);
    QCOMPARE(b.thcure[6], 100);
    QCOMPARE(b.drPosi, 0);
    QCOMPARE(b.drExpDown[3], 0);
    QCOMPARE(b.drExpEdit, 0);
    QCOMPARE(b.drUp[0], 7);
    QCOMPARE(b.drSw, 7);
    QCOMPARE(b.txAlarmRaw, 7);
    // Neither touches the rate mirror.
    restData(b);
    QCOMPARE(b.drRateEdit, 7);
}

QTEST_APPLESS_MAIN(TestStore)
#include "test_store.moc"
