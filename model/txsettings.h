#pragma once

// The program-wide settings store and live values. One instance of each lives
// for the whole run; every subsystem reads and writes the fields directly.

struct PrmMix {
    int mix;    // 0 "INH", 1 "OFF", 2 "ON"
    int master; // 0..7 = CH1..CH8
    int slave;  // 0..7 = CH1..CH8
    int data1;  // offset
    int data2;  // up rate
    int data3;  // down rate
};

struct TxSettingsRecord {
    // group 1 (S line)
    int rev[8];
    int sub[8];
    int lepa[8];
    int repa[8];
    int fs[8];
    int aux[4];
    double txAlarmVolt;
    int txAlarmRaw;
    int stkMode;
    // group 2 (G line)
    int delay[8];
    int drMix;
    int drCh;
    int drUpEdit;
    int drDownEdit;
    int attiM;
    int atti[6];
    int eleMix;
    int elev[6];
    int ruMix;
    int ru[4];
    PrmMix prm[4]; // prm[0], prm[1] travel in the G line, prm[2], prm[3] in the H line
    // group 3 (H line)
    int drSw;
    int drPosi;
    int drUp[4];
    int drDown[4];
    int drExpUp[4];
    int drExpDown[4];
    int thcureMix;
    int thcureOpt;
    int thcure[7];
    double rxAlarmVolt;
    int rxAlarmRaw;
    double extAlarmVolt;
    int extAlarmRaw;
    int rssiAlarm;
    // edit mirrors that no frame carries
    int drRateEdit;
    int drExpEdit;
};

struct TxLiveDataRecord {
    int servo[8];
    int txVolt; // hundredths of a volt
    int rxRssi;
    int rxVolt;  // tenths of a volt
    int extVolt; // tenths of a volt
    int telemWord3;
    int telemWord4;
    int txVersion;
    int readFlag;
};

bool operator==(const PrmMix &a, const PrmMix &b);
bool operator==(const TxSettingsRecord &a, const TxSettingsRecord &b);
inline bool operator!=(const TxSettingsRecord &a, const TxSettingsRecord &b)
{
    return !(a == b);
}
bool operator==(const TxLiveDataRecord &a, const TxLiveDataRecord &b);

// Values at program start.
// An alarm's volts as the tenths a settings line carries: volts * 10,
// rounded to single precision, truncated toward zero (0 for NaN).
int voltsToTenths(double volts);

TxSettingsRecord startSettings();
TxLiveDataRecord startLiveData();

// Factory resets: each writes the factory value of the fields it owns.
void restData(TxSettingsRecord &s);
void restData2(TxSettingsRecord &s);

extern TxSettingsRecord TxSettings;
extern TxLiveDataRecord TxLiveData;
