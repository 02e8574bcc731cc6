// txctl history: the entries txctl keeps of the transmitter's settings,
// newest first.

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <fcntl.h>
#include <unistd.h>

#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/source/history.h"
#include "file/settingsfile_strict.h"
#include "model/catalogue.h"

namespace {

// One entry as the list shows it.
struct Listed {
    HistoryEntry entry;
    QByteArray bytes;
    TxSettingsRecord settings;
    bool loaded = false; // false when the file does not load (a user edited or replaced it)
    int previous = -1;   // the index of the entry before it on the same port, -1 none
};

void load(Listed &l)
{
    // A plain read: QFile looks at every file first, too slow for a
    // thousand entries.
    const int fd = ::open(QFile::encodeName(l.entry.path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n < 0)
        return;
    l.bytes = QByteArray(buffer, int(n));
    QString note, error;
    l.loaded =
        loadSettingsBytesStrict(l.entry.path, l.bytes, StaleEditMirrors::Note, l.settings, &note, &error);
}

// The entries, each loaded once and tied to the one before it on its port.
QVector<Listed> listedEntries()
{
    const QVector<HistoryEntry> entries = historyEntries();
    QVector<Listed> out;
    out.reserve(entries.size());
    for (const HistoryEntry &e : entries) {
        Listed l;
        l.entry = e;
        load(l);
        out << l;
    }
    QHash<QString, int> older; // port -> the index of its entry below the one looked at
    for (int i = out.size() - 1; i >= 0; --i) {
        out[i].previous = older.value(out[i].entry.port, -1);
        older.insert(out[i].entry.port, i);
    }
    return out;
}

// How many settings differ from the entry before on the same port; -1 when
// either is not a settings file or there is none.
int differences(const QVector<Listed> &all, const Listed &l)
{
    if (l.previous < 0 || !l.loaded || !all[l.previous].loaded)
        return -1;
    const Listed &p = all[l.previous];
    return p.bytes == l.bytes ? 0 : int(settingDifferences(p.settings, l.settings).size());
}

QString changeText(const QVector<Listed> &all, int i, int differ)
{
    const Listed &l = all[i];
    const QString before = QString("@%1").arg(l.previous + 1);
    if (!l.loaded)
        return "not a settings file";
    if (l.previous < 0)
        return i + 1 == all.size() ? QString("the oldest") : QString("the oldest of %1").arg(l.entry.port);
    if (differ < 0)
        return before + " is not a settings file";
    if (differ == 0)
        return "the same as " + before;
    return QString("%1 setting%2 from %3").arg(differ).arg(differ == 1 ? " differs" : "s differ").arg(before);
}

QString numberText(const HistoryEntry &e)
{
    return e.number > 0 ? QString("@@%1").arg(e.number) : QString("-");
}

int runHistory(const CommandLine &line)
{
    const QVector<Listed> all = listedEntries();
    QJsonArray array;
    QString text;
    const int atWidth = int(QString("@%1").arg(all.size()).size());
    int portWidth = 0, numberWidth = 0;
    for (const Listed &l : all) {
        portWidth = qMax(portWidth, int(l.entry.port.size()));
        numberWidth = qMax(numberWidth, int(numberText(l.entry).size()));
    }
    // Local time from one look at the zone (toLocalTime() looks again for
    // every entry).
    const QTimeZone zone = QTimeZone::systemTimeZone();
    for (int i = 0; i < all.size(); ++i) {
        const HistoryEntry &e = all[i].entry;
        const int differ = differences(all, all[i]);
        const QString at = QString("@%1").arg(i + 1);
        text += QString("%1  %2  %3  %4  %5  %6\n")
                    .arg(at, -atWidth)
                    .arg(numberText(e), -numberWidth)
                    .arg(e.time.toTimeZone(zone).toString("yyyy-MM-dd HH:mm:ss"))
                    .arg(e.event, -12)
                    .arg(e.port, -portWidth)
                    .arg(changeText(all, i, differ));
        QJsonObject o{{"entry", at},      {"time", e.time.toString(Qt::ISODateWithMs)},
                      {"event", e.event}, {"port", e.port},
                      {"file", e.path},   {"settings_file", all[i].loaded}};
        if (e.number > 0)
            o.insert("number", e.number); // @@N
        if (differ >= 0) {
            o.insert("differences_from_previous", differ);
            o.insert("previous", QString("@%1").arg(all[i].previous + 1));
        }
        array.append(o);
    }
    const bool json = line.isSet("json");
    if (all.isEmpty() && !json)
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
            "Lists the settings txctl kept, newest first in the order they were kept (never by the clock, "
            "which may have been wrong): @1, @2, ... with the entry's number @@N, the time, what happened "
            "(read, before write, written, before reset, reset), the port, and how many settings differ "
            "from the entry before on the same port. Every @N and @@N is a SOURCE of its own: txctl diff "
            "@2 @1 shows what the last write changed, txctl write PORT @2 puts the settings from before it "
            "back. @N moves down with every new entry; @@N stays the entry numbered N until it is dropped. "
            "Entries kept before entries were numbered show \"-\" and count as the oldest. The entries are "
            "settings files in $XDG_DATA_HOME/txconfig/history (~/.local/share/txconfig/history); at most "
            "1000 are kept, the oldest go first.",
            {},
            {{"json", "Print a JSON array instead, one object per entry."}},
            runHistory};
}
