#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// Loads a settings file for sending, with the window's loader, and refuses
// one that does not load whole: the wrong size, a line whose letters are not
// in place, a value that validation would replace, or text that does not
// come back as written (a field that is no number, a changed fixed digit or
// tail, D/R edit values that do not match their channel). On success
// `settings` holds the store exactly as the window would hold it after LOAD;
// on failure *error is one line naming the file, the line and the field.
bool loadSettingsFileWhole(const QString &path, TxSettingsRecord &settings, QString *error);

// The same checks on the bytes of a file already read (`name` names it in the
// message).
bool loadSettingsBytesWhole(const QByteArray &bytes, const QString &name, TxSettingsRecord &settings,
                            QString *error);
