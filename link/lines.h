#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// The three 81-character settings lines that go to the transmitter and into
// settings files: S (per-channel settings), G (attitude, mixes, delays, D/R
// selection, mixes 1-2) and H (D/R curves, mixes 3-4, throttle curve, alarms).
enum class LineKind { S, G, H };

constexpr int kLineLength = 81;

// Sets the raw alarm tenths that the line of the given kind carries from
// their volts, as the encoders do before building it: txAlarmRaw for S,
// rxAlarmRaw and extAlarmRaw for H, nothing for G.
void setRawAlarms(LineKind kind, TxSettingsRecord &s);

// Builds the line of the given kind from s: the line letter, the fields in
// their layout order and the fixed tail. Every field is clamped to the nearest
// value its encoding can carry, so the result is always exactly 81 characters.
// Does not change s (the raw alarm fields are the caller's business).
QByteArray buildLine(LineKind kind, const TxSettingsRecord &s);

// The values the line field of `member` (a field of `s`) can carry in its
// width, from the layout: a digit 0..9, two hexadecimal digits 0x10..0xFF for
// value + k, three digits 0..999. False when no line carries the field.
bool lineFieldRange(const TxSettingsRecord &s, const int &member, int *lower, int *upper);

// Reads every field of a line into s, in layout order, inverting the
// encodings (base-16 parse, invalid text reads as 0, offsets taken off, the
// three-digit field digit by digit, volts following their tenths). `line`
// holds the 81 characters of the line starting with its letter; the letter and
// tail tests are the caller's business.
void readLine(LineKind kind, const QString &line, TxSettingsRecord &s);

// The last line built for each group; they start as the default lines.
extern QString lineS;
extern QString lineG;
extern QString lineH;
