#pragma once

#include <QString>

// How the live values are shown: the texts of the telemetry boxes and the two
// bars of a servo channel's centre-zero meter.

// Digit k of x (k = 0 is the units digit), of the magnitude of x.
int decimalDigit(int x, int k);

// Transmitter battery from hundredths of a volt, one decimal:
// 987 -> " 9.8V", 1234 -> "12.3 V"; only these digits are shown, so 12345
// -> "23.4 V".
QString txVoltText(int hundredths);

// Receiver or external voltage from tenths of a volt: 55 -> " 5.5V",
// 126 -> "12.6 V", 1234 -> "23.4 V".
QString tenthsVoltText(int tenths);

// Signal strength byte: 1..100 -> "-" and two digits of 100 - rssi, then "dBm"
// (30 -> "-70dBm", 100 -> "-00dBm"). 0 means no reading: "null". A byte
// above 100 would be a strength above 0 dBm, which is no reading either, so it
// shows "null" too (as does a negative value).
QString rssiText(int rssi);

// The two bars of a servo output v (1000 = centre). The upper bar (0..1010)
// fills from the centre up for v below 1000, the lower bar (0..1000) from the
// centre down for v above 1000. A value outside a bar's range is ignored by
// the bar, so above 2000 the lower bar keeps its last value.
inline int upperBarValue(int v)
{
    return v <= 999 ? 1010 - v : 10;
}
inline int lowerBarValue(int v)
{
    return v <= 1000 ? 1000 : 2000 - v;
}
