#pragma once

#include "model/catalogue.h"

// What a settings line (and so a settings file) can carry of a setting: its
// valid range narrowed by the line layout's field widths. The TX and RX
// alarms end at 23.9 V, the EXT alarm at 99.9 V, mix masters and slaves at 9.

void settingLineRange(const SettingInfo &info, int *lower, int *upper);
// Whether a settings line can carry `value` of the setting as it is. The one
// answer for read, write, import and diff.
bool settingFitsLine(const SettingInfo &info, int value);
