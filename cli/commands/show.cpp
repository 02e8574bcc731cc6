// txctl show: every setting of a SOURCE in the window's words and units.

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/file_source.h"
#include "cli/output.h"
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

int runShow(const CommandLine &line)
{
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
            "show [--json] SOURCE",
            "Shows every setting by page, group and caption, with its value in the window's words and units.",
            {{"SOURCE", kSourceArgumentHelp}},
            {{"json", "Print the JSON document instead (as export does)."}},
            runShow};
}
