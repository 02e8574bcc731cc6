#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <vector>

#include "model/txsettings.h"

// The binary frames that the transmitter sends to the tool.
//
// Live frames (20 bytes, streamed all the time while the port is open):
//   0xFE 0x18  servo[0..7] and txVolt, big-endian 16-bit words at bytes 2..19
//   0xFE 0x19  rxRssi (2), rxVolt (3), extVolt (4-5), telemWord3 (6-7),
//              telemWord4 (8-9); bytes 10..19 are not used
// Settings frames (12 bytes, the answer to "RR"):
//   0xFE, byte 1 (free, 0x00 when we build one), type, 8 payload bytes, 0xFE
// AUX frame (8 bytes, sequence number 7):
//   0xFE, 0x00, 0xAA, aux[0..3], 0xFE
//
// How frames are found in the received bytes:
// - A chunk that is exactly one frame (nothing pending) is recognised by its
//   length alone: 20 bytes starting 0xFE 0x18/0x19 are a live frame; 12 bytes
//   with 0xFE at both ends are a settings frame (an unknown type changes no
//   field but still counts as a settings frame); 8 bytes with byte 2 = 0xAA
//   are the AUX frame, bytes 0, 1 and 7 not examined - with one exception
//   below.
// - Anything else is scanned as a byte stream. A frame starts at 0xFE; the
//   byte after it decides: 0x18/0x19 is a live frame (it has no end marker);
//   otherwise, byte 2 = 0xAA with byte 7 = 0xFE is the AUX frame; otherwise
//   12 bytes ending in 0xFE whose type is known are a settings frame. A
//   settings frame whose free byte 1 is 0x18/0x19 is therefore only
//   recognised when it arrives as a chunk of its own.
// - Settings type 0xAA (sequence 17) also has 0xAA at byte 2; byte 7 is a
//   throttle-curve point (0..100), never 0xFE. So 0xFE, any, 0xAA with 0xFE
//   at byte 7 is the AUX frame at once. Without 0xFE at byte 7 it may be the
//   first 8 bytes of frame 17, and 0xFE 0x19 0xAA may be the head of a
//   telemetry frame: such 8 bytes wait for the next chunk and become the
//   longer frame when it completes them (frame 17: 0xFE at byte 11), or else
//   the AUX frame (decoded before that chunk). The virtual transmitter sends
//   the AUX frame as 0xFE 0x00 0xAA a0..a3 0xFE.
// - Bytes that start a frame but are not yet all there wait for the next
//   chunk (fewer than 20 bytes are ever kept). When the next chunk is a frame
//   of its own, the waiting bytes give way to it unless they and the chunk
//   form a settings or AUX frame with its end marker in place, followed by
//   nothing or by 0xFE; a waiting start also gives way to a complete frame
//   found further on. So a stale fragment never swallows a good frame. Bytes
//   that belong to no frame are dropped.

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
struct DecodedFrame {
    FrameKind kind;
    int seq; // 0 for live frames or an unknown settings type
};

// Decodes every whole frame of pending + chunk into s and d; an incomplete
// frame start stays in pending. onFrame is called after each frame is stored
// (the window uses it to refresh at once after 12-byte frames). An empty
// chunk does nothing.
void decodeChunk(QByteArray &pending, const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                 const std::function<void(const DecodedFrame &)> &onFrame);
