#include "model/merge.h"

#include "model/bindings.h"
#include "model/validation.h"

bool parseSettingGroups(const QStringList &names, std::vector<const SettingGroup *> &groups, QString *error)
{
    for (const QString &given : names)
        for (const QString &name : given.split(',')) {
            const SettingGroup *group = findSettingGroup(name.trimmed());
            if (!group) {
                *error = QString("%1: no such group (the groups: %2)")
                             .arg(name.trimmed().isEmpty() ? QString("\"\"") : name.trimmed(),
                                  settingGroupNames());
                return false;
            }
            groups.push_back(group);
        }
    return true;
}

TxSettingsRecord mergeSettings(const TxSettingsRecord &base, const TxSettingsRecord &source,
                               const std::vector<const SettingGroup *> &groups, MergeMode mode)
{
    // The named groups come from `from` into a copy of the other side.
    TxSettingsRecord out = mode == MergeMode::Only ? base : source;
    const TxSettingsRecord &from = mode == MergeMode::Only ? source : base;
    const std::vector<SettingInfo> &rows = settingsCatalogue();
    for (const SettingGroup *group : groups) {
        for (const int row : group->rows)
            copySetting(rows[size_t(row)], from, out);
        if (group->holdsDrEditCopy)
            for (const SettingInfo &info : drEditCopyRows())
                copySetting(info, from, out);
    }
    drDataSelect(out);
    validateSettings(out);
    return out;
}
