// txctl history: the entries txctl keeps of the transmitter's settings,
// newest first.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/commands.h"
#include "cli/history.h"
#include "cli/output.h"
#include "file/settingsfile_strict.h"
#include "model/catalogue.h"

namespace {

// The settings of an entry; false when the file does not load (a user edited
// or replaced it).
bool loadEntry(const HistoryEntry &e, TxSettingsRecord &s)
{
    QFile f(e.path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QString note, error;
    return loadSettingsBytesStrict(e.path, f.read(4096), StaleEditMirrors::Note, s, &note, &error);
}

int runHistory(const CommandLine &line)
{
    const QVector<HistoryEntry> entries = historyEntries();
    QVector<TxSettingsRecord> settings(entries.size());
    QVector<bool> loaded(entries.size());
    for (int i = 0; i < entries.size(); ++i)
        loaded[i] = loadEntry(entries[i], settings[i]);
    QJsonArray array;
    QString text;
    const int atWidth = int(QString("@%1").arg(entries.size()).size());
    int portWidth = 0;
    for (const HistoryEntry &e : entries)
        portWidth = qMax(portWidth, int(e.port.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const HistoryEntry &e = entries[i];
        int differ = -1;
        if (loaded[i] && i + 1 < entries.size() && loaded[i + 1])
            differ = int(settingDifferences(settings[i + 1], settings[i]).size());
        QString change;
        if (!loaded[i])
            change = "not a settings file";
        else if (i + 1 == entries.size())
            change = "the oldest";
        else if (differ < 0)
            change = QString("@%1 is not a settings file").arg(i + 2);
        else if (differ == 0)
            change = QString("the same as @%1").arg(i + 2);
        else
            change = QString("%1 setting%2 from @%3")
                         .arg(differ)
                         .arg(differ == 1 ? " differs" : "s differ")
                         .arg(i + 2);
        const QString at = QString("@%1").arg(i + 1);
        text += QString("%1  %2  %3  %4  %5\n")
                    .arg(at, -atWidth)
                    .arg(e.time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"))
                    .arg(e.event, -12)
                    .arg(e.port, -portWidth)
                    .arg(change);
        QJsonObject o{{"entry", at},      {"time", e.time.toString(Qt::ISODateWithMs)},
                      {"event", e.event}, {"port", e.port},
                      {"file", e.path},   {"settings_file", loaded[i]}};
        if (differ >= 0)
            o.insert("differences_from_previous", differ);
        array.append(o);
    }
    const bool json = line.isSet("json");
    if (entries.isEmpty() && !json)
        progress(line.quiet(), QString("the history is empty (%1)").arg(historyFolder()));
    return printResult(json ? QJsonDocument(array).toJson() : text.toUtf8());
}

} // namespace

CliCommand historyCommand()
{
    return {"history",
            "history [--json]",
            "List the settings kept before and after every read and write",
            "history [--json]",
            "Lists the settings txctl kept, newest first: @1, @2, ... with the time, what happened (read, "
            "before write, written, before reset, reset), the port, and how many settings differ from the "
            "entry before. Every @N is a SOURCE of its own: txctl diff @2 @1 shows what the last write "
            "changed, txctl write PORT @2 puts the settings from before it back. The entries are settings "
            "files in $XDG_DATA_HOME/txconfig/history (~/.local/share/txconfig/history); at most 1000 are "
            "kept, the oldest go first.",
            {},
            {{"json", "Print a JSON array instead, one object per entry."}},
            runHistory};
}
