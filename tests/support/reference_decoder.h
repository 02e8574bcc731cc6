#pragma once

// A decoder written from the length rules alone, for checking the real one:
// a chunk is exactly one frame or nothing, and nothing carries over between
// chunks. Only the field layouts come from the program's frame table.

#include <QByteArray>

#include "link/frames.h"
#include "model/txsettings.h"

// Decodes c into s and d when it is one frame under the length rules;
// returns whether it was.
inline bool referenceDecode(const QByteArray &c, TxSettingsRecord &s, TxLiveDataRecord &d)
{
    const auto at = [&c](int i) { return static_cast<unsigned char>(c.at(i)); };
    if (c.size() == 20 && at(0) == 0xFE && (at(1) == 0x18 || at(1) == 0x19)) {
        decodeFields(at(1) == 0x18 ? servoFrameLayout() : telemetryFrameLayout(), c, s, d);
        return true;
    }
    if (c.size() == 12 && at(0) == 0xFE && at(11) == 0xFE) {
        if (const SettingsFrameLayout *l = settingsFrameLayout(at(2))) {
            decodeFields(*l, c, s, d);
            d.readFlag = l->seq;
        }
        return true; // an unknown type is a frame that changes nothing
    }
    if (c.size() == 8 && at(2) == 0xAA) {
        decodeFields(auxFrameLayout(), c, s, d);
        d.readFlag = 7;
        return true;
    }
    return false;
}
