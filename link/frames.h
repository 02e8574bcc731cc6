#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

#include "model/txsettings.h"

// The binary frames that the transmitter sends to the tool, as one table:
// the decoder (link/decoder.h), the encoders of the tests and the virtual
// transmitter all read their layouts from here.
//
// Live frames (20 bytes, streamed all the time while the port is open):
//   0xFE 0x18  servo[0..7] and txVolt, big-endian 16-bit words at bytes 2..19
//   0xFE 0x19  rxRssi (2), rxVolt (3), extVolt (4-5), telemWord3 (6-7),
//              telemWord4 (8-9); bytes 10..19 are not used
// Settings frames (12 bytes, the answer to "RR"):
//   0xFE, byte 1 (free, 0x00 when we build one), type, 8 payload bytes, 0xFE
// AUX frame (8 bytes, sequence number 7):
//   0xFE, 0x00, 0xAA, aux[0..3], 0xFE (bytes 0, 1 and 7 are free)

// A field of the store: returns a reference to it (txVersion lives in
// TxLiveData, everything else of the settings frames in TxSettings).
using FrameRef = int &(*)(TxSettingsRecord &, TxLiveDataRecord &);

// One field of a frame. `pos` is the byte index in the frame; `offset` is
// added to the value on the wire and taken off when decoding (0, 100 or 120);
// be16 fields span pos and pos + 1, big-endian, unsigned.
struct FrameField {
    int pos;
    FrameRef ref;
    int offset;
    bool be16;
};

// One frame type: the byte at index 2 (settings and AUX) or 1 (live frames),
// its sequence number (1..19 for settings and AUX frames, 0 for live frames)
// and its fields in byte order.
struct SettingsFrameLayout {
    quint8 type;
    int seq;
    std::vector<FrameField> fields;
};

constexpr quint8 kFrameMarker = 0xFE;
constexpr quint8 kServoKind = 0x18;
constexpr quint8 kTelemetryKind = 0x19;
constexpr quint8 kAuxType = 0xAA;
constexpr int kLiveFrameLength = 20;
constexpr int kSettingsFrameLength = 12;
constexpr int kAuxFrameLength = 8;
constexpr int kAuxSeq = 7;
// The frames that answer "RR": 18 settings frames and the AUX frame.
constexpr int kSettingsFrameCount = 19;
// The bytes that the length rules never examine: a transmitter may send
// anything there (we send 0x00, and 0xFE as the AUX frame's end marker).
constexpr int kSettingsFreeBytes[] = {1};
constexpr int kAuxFreeBytes[] = {0, 1, 7};

// The 18 settings frame types 0x44..0xAC, in sequence order (1..19 without 7).
const std::vector<SettingsFrameLayout> &settingsFrameLayouts();
// The settings layout of a type, or nullptr for an unknown type.
const SettingsFrameLayout *settingsFrameLayout(quint8 type);
// The AUX frame (type 0xAA, sequence 7) and the two live frames (type = kind byte).
const SettingsFrameLayout &auxFrameLayout();
const SettingsFrameLayout &servoFrameLayout();
const SettingsFrameLayout &telemetryFrameLayout();

// 256 * b[a] + b[a + 1], bytes unsigned; a byte at or past the end reads as 0.
int beWord(const QByteArray &b, int a);

// Stores the fields of a whole frame of layout l into s and d, offsets taken
// off, and sets the volts that follow the raw alarms (0x99, 0xAB).
void decodeFields(const SettingsFrameLayout &l, const QByteArray &frame, TxSettingsRecord &s,
                  TxLiveDataRecord &d);

// The frames the transmitter would send for the given store. Values that do
// not fit their byte (or word) are clamped to it.
QByteArray buildSettingsFrame(const SettingsFrameLayout &l, const TxSettingsRecord &s,
                              const TxLiveDataRecord &d);
QByteArray buildAuxFrame(const TxSettingsRecord &s);
QByteArray buildServoFrame(const TxLiveDataRecord &d);
QByteArray buildTelemetryFrame(const TxLiveDataRecord &d);

enum class FrameKind { Servo, Telemetry, Settings, Aux };
inline bool isLiveFrame(FrameKind k)
{
    return k == FrameKind::Servo || k == FrameKind::Telemetry;
}
struct DecodedFrame {
    FrameKind kind;
    int seq; // 0 for live frames or an unknown settings type
};

// The frame sequence numbers of one answer, as bits 1..19.
constexpr quint32 kAllAnswerFrames = 0xFFFFEu;

// Whether every value a settings or AUX frame carries lies in its range.
bool carriesInRange(const SettingsFrameLayout &l, const QByteArray &frame);
