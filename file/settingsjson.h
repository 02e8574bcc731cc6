#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// Settings as a JSON document (docs/settings-json.md): every setting of the
// catalogue under its key, with choices by the window's names, numbers as
// numbers and alarms in volts with one decimal.
//
//   {
//     "format": "txconfig-settings",
//     "version": 1,
//     "settings": {
//       "basic.reverse.ch1": "NOR",
//       ...
//     }
//   }

extern const char *const kSettingsJsonFormat; // "txconfig-settings"
constexpr int kSettingsJsonVersion = 1;

// The document of s, keys in the catalogue's order, two-space indent, ending
// in a line break.
QByteArray settingsToJson(const TxSettingsRecord &s);

// Reads a document strictly: a missing or unknown key, a value of the wrong
// type or outside its range fails with a one-line reason that names the key
// and the allowed values, and out is left alone. On success out holds the
// start store with every setting of the document, the alarm tenths and volts
// set together and the D/R edit mirrors derived as the loader derives them.
bool settingsFromJson(const QByteArray &json, TxSettingsRecord &out, QString *error);

// The store rebuilt from the catalogue's values of s alone (what export and
// import carry): the rest as settingsFromJson leaves it.
TxSettingsRecord catalogueValuesOnly(const TxSettingsRecord &s);

// Whether a settings file (the three lines) holds every setting of s as it
// is. Empty when it does; otherwise a one-line reason naming the first
// setting that would change and the values the file can hold for it.
QString settingsFileProblem(const TxSettingsRecord &s);

// True when the bytes look like a JSON document: the first byte that is not
// white space is '{'.
bool looksLikeJson(const QByteArray &bytes);

// While one lives, debug messages (the loader's "Blength" lines) are dropped;
// warnings and errors still go to the message handler that was in place.
class QuietDebugLog
{
public:
    QuietDebugLog();
    ~QuietDebugLog();
    QuietDebugLog(const QuietDebugLog &) = delete;
    QuietDebugLog &operator=(const QuietDebugLog &) = delete;
};
