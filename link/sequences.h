#pragma once

#include <QByteArray>
#include <functional>
#include <vector>

#include "model/txsettings.h"

// What the tool puts on the wire for each command, and the pauses between:
// the window and txctl run these same definitions, so both send the same
// bytes with the same pauses.

// The words of the link, written without terminator.
extern const QByteArray kHelloWord; // "OK" right after the port opens
extern const QByteArray kByeWord;   // "DIS" right before the port closes
extern const QByteArray kReadWord;  // "RR" asks for the settings frames
extern const QByteArray kAckWord;   // "WWW" answers every received chunk and ends a write

// How long a command button stays locked after a click (the window only).
constexpr int kButtonLockMs = 200;
// Pause after each settings line, so the transmitter can take it in.
constexpr int kLinePauseMs = 800;
// Pause after "RR" while the settings frames come in.
constexpr int kReadPauseMs = 500;

// One write to the port (all of `bytes` in one piece), then a pause.
struct LinkStep {
    QByteArray bytes;
    int pauseMs;
};
using LinkSequence = std::vector<LinkStep>;

// The S, G and H lines of one write, built from one state of the store.
struct SettingsLines {
    QByteArray s, g, h;
};

// Builds the three lines from s. Like the encoders, it first sets the raw
// alarm tenths of s from their volts (txAlarmRaw, rxAlarmRaw, extAlarmRaw);
// nothing else of s changes.
SettingsLines buildSettingsLines(TxSettingsRecord &s);

// "RR", then 500 ms.
LinkSequence readSequence();
// The S, G and H lines, each followed by 800 ms (what SAVE sends).
LinkSequence linesSequence(const SettingsLines &lines);
// The lines as above, then "WWW" with no pause after it (WRITE, RESET,
// DATA RESET).
LinkSequence writeSequence(const SettingsLines &lines);

// Runs the steps in order. Before each step `mayGoOn` is asked; when it says
// no, the run stops there and nothing more is sent. Returns whether every step
// ran.
bool runSequence(const LinkSequence &steps, const std::function<bool()> &mayGoOn,
                 const std::function<void(const QByteArray &)> &send, const std::function<void(int)> &pause);
