#include "model/choices.h"

#define NAMES(function, ...)                                                                                 \
    const QStringList &function()                                                                            \
    {                                                                                                        \
        static const QStringList names = {__VA_ARGS__};                                                      \
        return names;                                                                                        \
    }

NAMES(norRevNames, "NOR", "REV")
NAMES(offOnNames, "OFF", "ON")
NAMES(auxSourceNames, "SwA", "SwB", "VrA", "VrB", "NULL")
NAMES(ch1to4Names, "CH1", "CH2", "CH3", "CH4")
NAMES(ch1to8Names, "CH1", "CH2", "CH3", "CH4", "CH5", "CH6", "CH7", "CH8")
NAMES(swaNames, "SWA")
NAMES(upDownNames, "UP", "DOWN")
NAMES(attiSourceNames, "CH5", "CH6", "CH7", "CH8", "OFF")
NAMES(mixStateNames, "INH", "OFF", "ON")
