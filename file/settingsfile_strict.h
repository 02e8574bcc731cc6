#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// What to do with D/R edit mirrors (G line) that are not the rates of the
// selected D/R channel. The window derives them again after LOAD, so WRITE
// sends other bytes than the file holds: `write` sends what the window sends
// (Rederive, with a note saying so), the commands that only read the values
// take the file with a note.
enum class StaleEditMirrors { Refuse, Note, Rederive };

// Reads a settings file as the window's loader reads it, but refuses what the
// window would take silently or change: a file shorter than 243 bytes, a line
// whose letters are not in place, a value outside its range, text that is no
// number or fixed text that is not what SAVE writes. On success `out` holds
// the store exactly as the window holds it after LOAD. On failure *error is
// one line naming the file, the byte and line position, and the setting by
// its caption. *note (may be null) gets a one-line note for stale mirrors
// and for what LOAD passes over: a UTF-8 byte-order mark before the lines and
// bytes after them (a line break from an editor).
bool loadSettingsBytesStrict(const QString &name, const QByteArray &bytes, StaleEditMirrors mirrors,
                             TxSettingsRecord &out, QString *note, QString *error);

// The same on the file at `path`, read with a bound (a device node or a huge
// file is not read whole).
bool loadSettingsFileStrict(const QString &path, StaleEditMirrors mirrors, TxSettingsRecord &out,
                            QString *note, QString *error);
