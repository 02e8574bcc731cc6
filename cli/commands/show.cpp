// txctl show: every setting of a SOURCE in the window's words and units.

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/source/file_source.h"
#include "file/settingsjson.h"
#include "model/catalogue.h"

namespace {

// Every setting under its page and group, captions in one column.
QByteArray showText(const TxSettingsRecord &s)
{
    int width = 0;
    for (const SettingInfo &info : settingsCatalogue())
        width = std::max(width, int(info.caption.size()));
    QString out, page, group;
    for (const SettingInfo &info : settingsCatalogue()) {
        if (info.page != page) {
            page = info.page;
            group.clear();
            out += (out.isEmpty() ? "" : "\n") + page + "\n";
        }
        if (info.group != group) {
            group = info.group;
            out += "  " + group + "\n";
        }
        out += "    " + info.caption.leftJustified(width + 2) + settingValueText(info, s) + "\n";
        // The D/R edit copy after the switch, as the window shows it, where
        // it is data of its own.
        if (info.key == "advance1.dr.sw" && drEditCopyIsData(s))
            for (const SettingInfo &copy : drEditCopyRows())
                out += "    " + copy.caption.leftJustified(width + 2) + settingValueText(copy, s) + "\n";
    }
    return out.toUtf8();
}

// The groups write --only and --keep and merge take: each page (which holds
// its boxes), then each box with its settings, caption and key.
QByteArray groupsText()
{
    int width = 0;
    for (const SettingInfo &info : settingsCatalogue())
        width = std::max(width, int(info.caption.size()));
    const std::vector<SettingInfo> &rows = settingsCatalogue();
    QString out;
    for (const SettingGroup &group : settingGroups()) {
        if (group.wholePage) {
            out += (out.isEmpty() ? "" : "\n") + group.name + " (the whole page)\n";
            continue;
        }
        out += "  " + group.name + "\n";
        std::vector<const SettingInfo *> held;
        for (const int row : group.rows)
            held.push_back(&rows[size_t(row)]);
        if (group.holdsDrEditCopy)
            for (const SettingInfo &copy : drEditCopyRows())
                held.push_back(&copy);
        for (const SettingInfo *info : held)
            out += "    " + info->caption.leftJustified(width + 2) + info->key + "\n";
    }
    return out.toUtf8();
}

int runShow(const CommandLine &line)
{
    if (line.isSet("groups")) {
        if (!line.arguments().isEmpty())
            return failWith("show: --groups takes no SOURCE (usage: txctl show --groups)");
        return printResult(groupsText());
    }
    if (line.arguments().isEmpty())
        return failWith("show: wrong number of arguments (usage: txctl show [--json] SOURCE)");
    std::vector<TxSettingsRecord> s;
    if (!loadSourceArguments(line.arguments(), line.quiet(), s))
        return kExitError;
    return printResult(line.isSet("json") ? settingsToJson(s[0]) : showText(s[0]));
}

} // namespace

CliCommand showCommand()
{
    return {"show",
            "show SOURCE [--json]",
            "Show every setting by page, group and caption",
            "show [--json] SOURCE | show --groups",
            "Shows every setting by page, group and caption, with its value in the window's words and units. "
            "--groups lists the groups that write --only and --keep and merge take: every page and every "
            "box of a page, with the settings each holds (caption and JSON key). Names are matched without "
            "regard to case, spaces, dashes or underscores (fail-safe, FAIL SAFE and failsafe are one).",
            {{"[SOURCE]", kSourceArgumentHelp}},
            {{"json", "Print the JSON document instead (as export does)."},
             {"groups", "List the groups of settings and what each holds."}},
            runShow};
}
