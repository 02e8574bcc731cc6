#pragma once

#include <QCommandLineOption>
#include <QString>
#include <vector>

#include "model/merge.h"

struct CommandLine;

// --only GROUPS and --keep GROUPS of write and merge: which groups of
// settings a template brings, and which the model keeps.
struct GroupChoice {
    bool given = false;
    MergeMode mode = MergeMode::Only;
    std::vector<const SettingGroup *> groups;
};

// The two options, as the commands' --help lists them; `base` names what
// the groups not taken come from ("BASE", "the transmitter").
std::vector<QCommandLineOption> groupOptions(const QString &base);

// The choice on `line`. Both options together, or an unknown group, is
// reported as one line (the groups there are named) and returns false.
bool readGroupChoice(const CommandLine &line, GroupChoice *choice);
