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
// - A chunk that is exactly one frame under the length rules is decoded at
//   once as that frame and never merged with bytes before or after it: 20
//   bytes starting 0xFE 0x18/0x19 are a live frame; 12 bytes with 0xFE at both
//   ends are a settings frame (an unknown type changes no field but still
//   counts); 8 bytes with byte 2 = 0xAA are the AUX frame, bytes 0, 1 and 7
//   not examined.
// - Anything else is scanned as a byte stream (joined frames, split frames,
//   garbage). A frame starts at 0xFE; the byte after it decides: 0x18/0x19 is
//   a live frame (it has no end marker); otherwise byte 2 = 0xAA with 0xFE at
//   byte 7 is the AUX frame, and 12 bytes of a known type ending in 0xFE are
//   a settings frame (settings frame 17 also has type 0xAA, with a curve point
//   at byte 7). In a stream, a settings or AUX frame whose free byte 1 is
//   0x18/0x19 reads as the start of a live frame; such a frame is recognised
//   only as a chunk of its own.
// - Bytes that start a frame but are not all there yet wait for the next
//   chunk (fewer than 20 are ever kept). A chunk that is a frame of its own
//   drops them; a chunk that begins with a frame drops them unless the two
//   together make a settings or AUX frame with its end marker, followed by
//   nothing or by 0xFE. A waiting start also gives way to a whole frame found
//   further on. Bytes that belong to no frame are dropped.
// - So a frame whose rest arrives as a chunk that is a frame under the length
//   rules (frame 17 cut right after its 8th byte, say) is lost; the next READ
//   brings it again.

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
struct DecodedFrame {
    FrameKind kind;
    int seq; // 0 for live frames or an unknown settings type
};

// What the bytes from b[i] on hold. Framing::Chunk reads them as one chunk
// (the length rules: exactly one frame or nothing, None); Framing::Stream as
// the start of a byte stream (Partial: a frame start that needs more bytes;
// None: no frame starts at i).
enum class Framing { Chunk, Stream };
enum class FrameMatch { None, Partial, Live, Aux, Settings };
FrameMatch classifyFrame(const QByteArray &b, int i, Framing framing);

// The decoder of the received bytes. It keeps the start of a frame that has
// not arrived whole yet until the next chunk.
class FrameDecoder
{
public:
    // Decodes every whole frame that the chunk completes into s and d.
    // onFrame is called after each frame is stored (the window uses it to
    // refresh at once after settings frames). An empty chunk does nothing.
    void feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
              const std::function<void(const DecodedFrame &)> &onFrame = {});
    // Forgets the waiting bytes (a new link starts clean).
    void clear() { waiting.clear(); }
    const QByteArray &pending() const { return waiting; }

private:
    QByteArray waiting;
};
