#include "file/linerange.h"

#include <algorithm>

#include "link/lines.h"

void settingLineRange(const SettingInfo &info, int *lower, int *upper)
{
    *lower = info.lower;
    *upper = info.upper;
    if (info.carrier == SettingCarrier::FramesOnly)
        return;
    TxSettingsRecord probe{};
    int lo = 0, hi = 0;
    if (lineFieldRange(probe, settingField(info, probe), &lo, &hi)) {
        *lower = std::max(*lower, lo);
        *upper = std::min(*upper, hi);
    }
}

bool settingFitsLine(const SettingInfo &info, int value)
{
    int lower = 0, upper = 0;
    settingLineRange(info, &lower, &upper);
    return value >= lower && value <= upper;
}
