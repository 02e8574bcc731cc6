#include "model/txsettings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

template <typename T, int N> void fill(T (&a)[N], const T (&v)[N])
{
    for (int i = 0; i < N; ++i)
        a[i] = v[i];
}

template <typename T, int N> void fillAll(T (&a)[N], T v)
{
    for (int i = 0; i < N; ++i)
        a[i] = v;
}

// Mixes 1 and 3 default to CH1 -> CH4, mixes 2 and 4 to CH2 -> CH6.
PrmMix defaultMix(int index)
{
    return index % 2 == 0 ? PrmMix{0, 0, 3, 0, 0, 0} : PrmMix{0, 1, 5, 0, 0, 0};
}

} // namespace

bool operator==(const PrmMix &a, const PrmMix &b)
{
    return a.mix == b.mix && a.master == b.master && a.slave == b.slave && a.data1 == b.data1 &&
           a.data2 == b.data2 && a.data3 == b.data3;
}

// Field by field, so padding bytes never take part.
#define EQ(f) (std::memcmp(&a.f, &b.f, sizeof a.f) == 0)

bool operator==(const TxSettingsRecord &a, const TxSettingsRecord &b)
{
    for (int i = 0; i < 4; ++i)
        if (!(a.prm[i] == b.prm[i]))
            return false;
    return EQ(rev) && EQ(sub) && EQ(lepa) && EQ(repa) && EQ(fs) && EQ(aux) &&
           a.txAlarmVolt == b.txAlarmVolt && EQ(txAlarmRaw) && EQ(stkMode) && EQ(delay) && EQ(drMix) &&
           EQ(drCh) && EQ(drUpEdit) && EQ(drDownEdit) && EQ(attiM) && EQ(atti) && EQ(eleMix) && EQ(elev) &&
           EQ(ruMix) && EQ(ru) && EQ(drSw) && EQ(drPosi) && EQ(drUp) && EQ(drDown) && EQ(drExpUp) &&
           EQ(drExpDown) && EQ(thcureMix) && EQ(thcureOpt) && EQ(thcure) && a.rxAlarmVolt == b.rxAlarmVolt &&
           EQ(rxAlarmRaw) && a.extAlarmVolt == b.extAlarmVolt && EQ(extAlarmRaw) && EQ(rssiAlarm) &&
           EQ(drRateEdit) && EQ(drExpEdit);
}

bool operator==(const TxLiveDataRecord &a, const TxLiveDataRecord &b)
{
    return EQ(servo) && EQ(txVolt) && EQ(rxRssi) && EQ(rxVolt) && EQ(extVolt) && EQ(telemWord3) &&
           EQ(telemWord4) && EQ(txVersion) && EQ(readFlag);
}

#undef EQ

void restData(TxSettingsRecord &s)
{
    fill(s.rev, {0, 0, 1, 0, 0, 0, 0, 0});
    fillAll(s.sub, 0);
    fillAll(s.lepa, 96);
    fillAll(s.repa, 96);
    fill(s.fs, {50, 50, 0, 50, 50, 50, 50, 50});
    fill(s.aux, {1, 3, 0, 2});
    s.txAlarmVolt = 3.7;
    s.txAlarmRaw = 37;
    s.stkMode = 2;

    fillAll(s.delay, 100);
    s.drMix = 0;
    s.drCh = 0;
    s.drUpEdit = 100;
    s.drDownEdit = 100;
    s.attiM = 4;
    fill(s.atti, {14, 29, 44, 56, 69, 88});
    s.eleMix = 0;
    fill(s.elev, {100, 100, 100, -100, 100, 100});
    s.ruMix = 0;
    fill(s.ru, {50, -50, 50, 50});
    s.prm[0] = defaultMix(0);
    s.prm[1] = defaultMix(1);

    s.drSw = 0;
    fillAll(s.drUp, 100);
    fillAll(s.drDown, 100);
}

void restData2(TxSettingsRecord &s)
{
    s.prm[2] = defaultMix(2);
    s.prm[3] = defaultMix(3);
    s.rxAlarmVolt = 4.0;
    s.rxAlarmRaw = 40;
    s.extAlarmVolt = 11.0;
    s.extAlarmRaw = 110;
    s.rssiAlarm = -100;
    s.thcureMix = 0;
    s.thcureOpt = 0;
    fill(s.thcure, {0, 16, 33, 50, 67, 84, 100});
    s.drPosi = 0;
    fillAll(s.drExpUp, 0);
    fillAll(s.drExpDown, 0);
    s.drExpEdit = 0;
}

TxSettingsRecord startSettings()
{
    TxSettingsRecord s;
    std::memset(&s, 0, sizeof s);
    restData(s);
    restData2(s);
    // Start values that differ from the factory values.
    s.txAlarmVolt = 11.0;
    s.stkMode = 1;
    s.drRateEdit = 100;
    return s;
}

TxLiveDataRecord startLiveData()
{
    TxLiveDataRecord d;
    std::memset(&d, 0, sizeof d);
    fillAll(d.servo, 1000);
    return d;
}

TxSettingsRecord TxSettings = startSettings();
TxLiveDataRecord TxLiveData = startLiveData();

int voltsToTenths(double volts)
{
    if (std::isnan(volts))
        return 0;
    // Kept inside what both float and int can hold before converting.
    const double product = std::clamp(volts * 10.0, -2.0e9, 2.0e9);
    return static_cast<int>(static_cast<float>(product));
}
