#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// What to do with D/R edit mirrors (G line) that are not the rates of the
// selected D/R channel. The window derives them again after LOAD, so WRITE
// would send other bytes than the file holds: `write` refuses such a file,
// the commands that only read the values take it with a note.
enum class StaleEditMirrors { Refuse, Note };

// Reads a settings file as the window's loader reads it, but refuses what the
// window would take silently or change: a file that is not 243 bytes, a line
// whose letters are not in place, a value outside its range, text that is no
// number or fixed text that is not what SAVE writes. On success `out` holds
// the store exactly as the window holds it after LOAD. On failure *error is
// one line naming the file, the byte and line position, and the setting by
// its caption. *note (may be null) gets a one-line note for stale mirrors
// under StaleEditMirrors::Note.
bool loadSettingsBytesStrict(const QString &name, const QByteArray &bytes, StaleEditMirrors mirrors,
                             TxSettingsRecord &out, QString *note, QString *error);

// The same on the file at `path`, read with a bound (a device node or a huge
// file is not read whole).
bool loadSettingsFileStrict(const QString &path, StaleEditMirrors mirrors, TxSettingsRecord &out,
                            QString *note, QString *error);
