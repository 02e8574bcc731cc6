#include "support/stores.h"

#include "link/frames.h"
#include "link/sequences.h"

void forEachSettingsInt(TxSettingsRecord &s, const std::function<void(int &)> &f)
{
    auto all = [&f](int *a, int n) {
        for (int i = 0; i < n; ++i)
            f(a[i]);
    };
    all(s.rev, 8);
    all(s.sub, 8);
    all(s.lepa, 8);
    all(s.repa, 8);
    all(s.fs, 8);
    all(s.aux, 4);
    f(s.txAlarmRaw);
    f(s.stkMode);
    all(s.delay, 8);
    f(s.drMix);
    f(s.drCh);
    f(s.drUpEdit);
    f(s.drDownEdit);
    f(s.attiM);
    all(s.atti, 6);
    f(s.eleMix);
    all(s.elev, 6);
    f(s.ruMix);
    all(s.ru, 4);
    for (PrmMix &m : s.prm) {
        f(m.mix);
        f(m.master);
        f(m.slave);
        f(m.data1);
        f(m.data2);
        f(m.data3);
    }
    f(s.drSw);
    f(s.drPosi);
    all(s.drUp, 4);
    all(s.drDown, 4);
    all(s.drExpUp, 4);
    all(s.drExpDown, 4);
    f(s.thcureMix);
    f(s.thcureOpt);
    all(s.thcure, 7);
    f(s.rxAlarmRaw);
    f(s.extAlarmRaw);
    f(s.rssiAlarm);
    f(s.drRateEdit);
    f(s.drExpEdit);
}

TxSettingsRecord randomInRangeSettings(QRandomGenerator &g)
{
    TxSettingsRecord s = startSettings();
    auto r = [&g](int lo, int hi) { return lo + int(g.bounded(hi - lo + 1)); };
    auto all = [&r](int *a, int n, int lo, int hi) {
        for (int i = 0; i < n; ++i)
            a[i] = r(lo, hi);
    };
    all(s.rev, 8, 0, 1);
    all(s.sub, 8, -100, 100);
    all(s.lepa, 8, 0, 120);
    all(s.repa, 8, 0, 120);
    all(s.fs, 8, 0, 100);
    all(s.aux, 4, 0, 5);
    s.txAlarmRaw = r(0, 239); // two hex digits with offset 16
    s.stkMode = r(0, 4);
    all(s.delay, 8, 0, 100);
    s.drMix = r(0, 1);
    s.drCh = r(0, 4);
    s.drUpEdit = r(0, 100);
    s.drDownEdit = r(0, 100);
    s.attiM = r(0, 5);
    all(s.atti, 6, 0, 100);
    s.eleMix = r(0, 1);
    all(s.elev, 6, -100, 100);
    s.ruMix = r(0, 1);
    all(s.ru, 4, -100, 100);
    for (PrmMix &m : s.prm) {
        m.mix = r(0, 2);
        m.master = r(0, 9); // one decimal digit
        m.slave = r(0, 9);
        m.data1 = r(-100, 100);
        m.data2 = r(-100, 100);
        m.data3 = r(-100, 100);
    }
    s.drSw = r(0, 2);
    s.drPosi = r(0, 4);
    all(s.drUp, 4, 0, 100);
    all(s.drDown, 4, 0, 100);
    all(s.drExpUp, 4, -100, 100);
    all(s.drExpDown, 4, -100, 100);
    s.thcureMix = r(0, 5);
    s.thcureOpt = r(0, 4);
    all(s.thcure, 7, 0, 100);
    s.rxAlarmRaw = r(0, 239);
    s.extAlarmRaw = r(0, 999);
    s.rssiAlarm = r(-100, 0);
    s.drRateEdit = r(0, 100);
    s.drExpEdit = r(-100, 100);
    s.txAlarmVolt = s.txAlarmRaw / 10.0;
    s.rxAlarmVolt = s.rxAlarmRaw / 10.0;
    s.extAlarmVolt = s.extAlarmRaw / 10.0;
    return s;
}

TxSettingsRecord factorySettings()
{
    TxSettingsRecord s = startSettings();
    restData(s);
    restData2(s);
    return s;
}

QByteArray settingsFileOf(TxSettingsRecord s)
{
    const SettingsLines l = buildSettingsLines(s);
    return l.s + l.g + l.h;
}

std::vector<QByteArray> readAnswerFrames(const TxSettingsRecord &s, const TxLiveDataRecord &d)
{
    std::vector<QByteArray> out;
    for (const SettingsFrameLayout &l : settingsFrameLayouts()) {
        if (l.seq == kAuxSeq + 1)
            out.push_back(buildAuxFrame(s));
        out.push_back(buildSettingsFrame(l, s, d));
    }
    return out;
}
