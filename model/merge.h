#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "model/catalogue.h"
#include "model/txsettings.h"

// Part of a set from another: the groups of settings (model/catalogue.h) a
// template brings, the rest kept from the model it is applied to.

enum class MergeMode {
    Only, // the named groups from the source, everything else from the base
    Keep, // everything from the source, the named groups from the base
};

// The groups named in `names` (each may hold several, separated by commas).
// On an unknown or empty name returns false with one line in *error that
// names the groups there are.
bool parseSettingGroups(const QStringList &names, std::vector<const SettingGroup *> &groups, QString *error);

// The merged set. A group's settings travel together (a mix's mode, channels
// and rates; the D/R rates with the D/R channel and the edit copy); the D/R
// edit mirrors are derived again from the rates taken and every field is put
// into its range, as after LOAD.
TxSettingsRecord mergeSettings(const TxSettingsRecord &base, const TxSettingsRecord &source,
                               const std::vector<const SettingGroup *> &groups, MergeMode mode);
