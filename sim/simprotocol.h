#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <vector>

#include "link/lines.h"
#include "model/txsettings.h"

// What the virtual transmitter understands of the bytes the tool sends, and
// what it sends back, as plain functions (the VirtualTransmitter object adds
// the pty, the timers and the fault switches).

enum class SimTokenKind { Ok, Dis, ReadRequest, Www, Line };

struct SimToken {
    SimTokenKind kind;
    LineKind line = LineKind::S; // for Line tokens
    QByteArray text;             // the bytes of the token as received
};

// "OK", "DIS", "RR", "WWW", or the line letter "S", "G", "H".
QString simTokenName(const SimToken &t);

// Takes every whole token off the front of buffer and appends it to out.
// Bytes that start no token are dropped one by one (counted in the result);
// bytes that may still become a token (a prefix of a command, or the first
// bytes of a settings line whose characters are all plausible so far) stay
// in buffer for the next call. A settings line is its letter, the digits of
// its head and its fixed tail, 81 bytes in all; when the tail does not match,
// only the letter is dropped and the rest is scanned again.
int takeSimTokens(QByteArray &buffer, std::vector<SimToken> &out);

// Fills the free bytes of a settings or AUX frame (the bytes the decoder
// does not examine in a chunk of its own) with random values.
void randomizeFreeBytes(QByteArray &frame, QRandomGenerator &random);

// The answer to "RR": the 18 settings frames and the AUX frame, in sequence
// order 1..19 (AUX as number 7), built from the transmitter's model.
std::vector<QByteArray> settingsDump(const TxSettingsRecord &s, const TxLiveDataRecord &d);

// Live values at `seconds` since the transmitter was switched on: the servo
// outputs sweep between 1000 and 2000 around 1500 like sticks being moved
// (each channel on its own period), the battery drifts around 11.80 V and the
// receiver reports a plausible voltage, external voltage and signal strength.
// Only the live fields of d change.
void moveLiveValues(TxLiveDataRecord &d, double seconds);

// A model as a flier would have it set up: an aerobatic plane with reversed
// channels, sub-trims, end points, V-tail mixing, dual rates with expo,
// programmable mixes, a throttle curve and its own alarms. Every value is in
// range for the window's editors.
TxSettingsRecord demoSettings();
constexpr int kDemoTxVersion = 46;
