#pragma once

// Checks shared by the fuzz targets: what must hold for the store after every
// chunk received and after every file loaded. A violation aborts, so libFuzzer
// records the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <variant>

#include "link/lines.h"
#include "model/txsettings.h"
#include "model/validation.h"

namespace fuzzcheck {

[[noreturn]] inline void fail(const char *what, const char *field)
{
    std::fprintf(stderr, "invariant broken: %s (%s)\n", what, field);
    std::abort();
}

// Every validated field lies in its range.
inline void settingsInRange(TxSettingsRecord s)
{
    for (const ValidationRule &rule : validationRules()) {
        if (const IntRule *r = std::get_if<IntRule>(&rule)) {
            const int v = r->field(s);
            if (v < r->lower || v > r->upper)
                fail("setting out of range after validation", r->name.c_str());
        } else {
            const VoltRule &vr = std::get<VoltRule>(rule);
            const double v = vr.field(s);
            if (!(v >= 0.0 && v <= vr.upper))
                fail("voltage out of range after validation", vr.name.c_str());
        }
    }
}

// The three lines built from the store, the way the encoders build them (the
// raw alarms recomputed from the volts first), are 81 characters each and
// carry their letters and tails.
inline void linesWellFormed(const TxSettingsRecord &store)
{
    TxSettingsRecord s = store;
    s.txAlarmRaw = voltsToTenths(s.txAlarmVolt);
    s.rxAlarmRaw = voltsToTenths(s.rxAlarmVolt);
    s.extAlarmRaw = voltsToTenths(s.extAlarmVolt);
    const QByteArray S = buildLine(LineKind::S, s);
    const QByteArray G = buildLine(LineKind::G, s);
    const QByteArray H = buildLine(LineKind::H, s);
    if (S.size() != kLineLength || G.size() != kLineLength || H.size() != kLineLength)
        fail("line not 81 characters", "S/G/H");
    if (S.at(0) != 'S' || S.at(80) != 'Y')
        fail("S line letters", "S");
    if (G.at(0) != 'G' || G.at(36) != '6' || !G.endsWith("6D2Z"))
        fail("G line letters", "G");
    if (H.at(0) != 'H' || !H.endsWith("0000X"))
        fail("H line letters", "H");
    // The unchanged store builds the same lines too (the encoders do not
    // depend on anything but the store).
    if (buildLine(LineKind::S, store).size() != kLineLength ||
        buildLine(LineKind::G, store).size() != kLineLength ||
        buildLine(LineKind::H, store).size() != kLineLength)
        fail("line not 81 characters", "store as is");
}

} // namespace fuzzcheck
