#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <functional>
#include <vector>

#include "model/txsettings.h"

// Calls f on every int field of s (not the three volts).
void forEachSettingsInt(TxSettingsRecord &s, const std::function<void(int &)> &f);

// A store whose every field the settings lines and frames carry holds a random
// value inside its valid range (and inside what its line field can carry);
// the volts match their tenths. drRateEdit and drExpEdit are random too.
TxSettingsRecord randomInRangeSettings(QRandomGenerator &g);

// The factory settings, as RESET sets them.
TxSettingsRecord factorySettings();

// The settings file (the three lines) SAVE writes for s.
QByteArray settingsFileOf(TxSettingsRecord s);

// The nineteen frames a transmitter holding s (and d's version) sends in
// answer to "RR", in sequence order: the AUX frame is number 7.
std::vector<QByteArray> readAnswerFrames(const TxSettingsRecord &s, const TxLiveDataRecord &d);
