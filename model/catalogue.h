#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "model/txsettings.h"

// The settings catalogue: one row per setting a user sets, with the name the
// window shows it under and its range. show, diff, the JSON documents, the
// printable sheet and the groups a template takes (settingGroups()) all read
// this table. The ranges are validation's (see
// model/validation.h); the catalogue only names them.

// Which directions carry a setting: the S/G/H lines (and so settings files)
// and/or the transmitter's settings frames.
enum class SettingCarrier { Both, LinesOnly, FramesOnly };

enum class SettingKind { Integer, Choice, Volts };

struct SettingInfo {
    QString key;     // stable JSON key, e.g. "basic.subTrim.ch3" (lower camel segments joined by '.')
    QString page;    // "BASIC", "ADVANCE1", "ADVANCE2", "PROG.MIX", "SYSTEM" (the window's tab captions)
    QString group;   // the window's group title, e.g. "SUB-TRIM", "TH CURE"
    QString caption; // the window's caption of the editor, e.g. "CH3", "POINT4:"
    SettingKind kind;
    QStringList choices; // for Choice: the names as the window's combo box shows them, index = stored value
    QString unit;        // "%", "V", "dBm" or empty
    int lower, upper;    // the valid range (for Volts: tenths of a volt)
    SettingCarrier carrier;
    // "BASIC / SUB-TRIM / CH3"
    QString path() const;
};

// Every setting of TxSettingsRecord that a user sets (edit mirrors excluded
// where they are derived), in the window's page and group order.
const std::vector<SettingInfo> &settingsCatalogue();
const SettingInfo *findSetting(const QString &key);

// Reading and writing a setting's value in a store. For Volts the value is in
// tenths of a volt.
int settingValue(const SettingInfo &info, const TxSettingsRecord &s);
void setSettingValue(const SettingInfo &info, TxSettingsRecord &s, int value);

// The value in the window's words and units: "REV", "SwA", "7", "-12 %", "4.5 V", "-80 dBm".
QString settingValueText(const SettingInfo &info, const TxSettingsRecord &s);

// One line per setting whose value differs, "BASIC / SUB-TRIM / CH3: 0 -> 7"
// (values as settingValueText gives them). With bothWaysOnly, only the
// settings that lines and frames both carry are compared (write --verify).
QStringList settingDifferences(const TxSettingsRecord &a, const TxSettingsRecord &b,
                               bool bothWaysOnly = false);

// ---- additions ----

// The value as text without its unit: a choice's name (or the number when the
// value is outside the list), "4.5" for volts, "-12" for a number.
QString settingValueWord(const SettingInfo &info, int value);
// The same with the unit, as settingValueText.
QString settingValueText(const SettingInfo &info, int value);
// The valid range in the window's words: "-100..100", "0.0..50.0 V",
// "NOR, REV" (choices also accept their index, see docs/settings-json.md).
QString settingRangeText(const SettingInfo &info);
// Whether value lies in the setting's valid range.
bool settingAccepts(const SettingInfo &info, int value);

// The integer field of the store that a row stands for (for Volts its
// tenths), as the line layout and the frames address it.
int &settingField(const SettingInfo &info, TxSettingsRecord &s);

// The G line carries the UP and DOWN rates of the selected D/R channel a
// second time (the D/R group's UP: and DOWN: boxes). While the D/R channel is
// CH1..CH4 the copy is derived from that channel's rates; with any other
// channel (4 is valid) the window keeps the copy as loaded and sends it
// again, so it is data of its own.
bool drEditCopyIsData(const TxSettingsRecord &s);
// Its two rows (ADVANCE1 / D/R / UP: and DOWN:, keys advance1.dr.up and
// advance1.dr.down); not in settingsCatalogue(). settingValue and the other
// functions above take them. settingDifferences compares them where the copy
// is data on either side (not with bothWaysOnly: no frame carries it).
const std::vector<SettingInfo> &drEditCopyRows();

// The names of validation's rules (model/validation.h) that a row stands for:
// one name, or for Volts the tenths rule and the volts rule.
QStringList settingRuleNames(const SettingInfo &info);
// Fields of the store that the catalogue leaves out because they are derived:
// the D/R edit mirrors, recomputed from the per-channel arrays whenever a
// file is loaded or a frame arrives.
QStringList derivedSettingFields();

// ---- groups ----

// A group of settings that a command can take or keep as one: a box of the
// window (REVERSE, FAIL SAFE, PROG.MIX2, ...) or a whole page (BASIC,
// ADVANCE1, ...), as show prints them. A box's name is its title without the
// column header ("END POINT" for "END POINT--L---R---"). The D/R group (and
// so the ADVANCE1 page) also holds the D/R edit copy (drEditCopyRows()).
struct SettingGroup {
    QString name;   // "FAIL SAFE", "BASIC"
    QString page;   // the page it is on, or its own name for a page
    bool wholePage; // a page rather than a box
    bool holdsDrEditCopy;
    std::vector<int> rows; // indices into settingsCatalogue(), in its order
};

// Every group, in the catalogue's order: each page, then its boxes.
const std::vector<SettingGroup> &settingGroups();
// A group by name: letters and digits count, case does not ("fail-safe",
// "FAIL SAFE", "fail_safe" and "failsafe" are one); a box also by its whole
// title. Null when there is none.
const SettingGroup *findSettingGroup(const QString &name);
// "BASIC, REVERSE, SUB-TRIM, ...": every group's name, for a message.
QString settingGroupNames();

// Copies one setting's value from `from` to `to` exactly (for an alarm its
// raw tenths and its volts both).
void copySetting(const SettingInfo &info, const TxSettingsRecord &from, TxSettingsRecord &to);
