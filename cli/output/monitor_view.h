#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// What txctl monitor shows and records of the live values.

// The first line of a recording.
QString csvHeader();
// One row of a recording: the time in seconds, the eight outputs, the three
// voltages and the signal strength in dBm (empty without a reading).
QString csvRow(double seconds, const TxLiveDataRecord &d);
// After how long without a live frame the screen says that no data comes
// (the values shown are then the last ones received).
constexpr int kNoDataAfterMs = 500;

// The screen on a terminal: the eight outputs as bars, the telemetry, and the
// time, with a note when no live frame came for `silentMs` (from
// kNoDataAfterMs on). Drawn over the `*shownLines` lines drawn before, whose
// count it then holds.
QString screenText(const TxLiveDataRecord &d, double seconds, qint64 silentMs, int *shownLines);
