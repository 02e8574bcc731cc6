#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// The history of the transmitter's settings that txctl keeps: one settings
// file per entry (exactly what the window's SAVE writes) in
// $XDG_DATA_HOME/txconfig/history/, named
//   00000017-20261209T061502.123Z-before-write-ttyUSB0-4711.txt
// (the entry's number, the time in UTC, what happened, the port, the
// process), so that a plain `ls` lists the entries in the order they were
// written and says what each one is.
//
// Order of writing: every entry takes the next number under the history's
// lock, and that number alone orders the entries and decides which ones go
// when there are too many. The time is shown, never used to order: a clock
// that was wrong (a year ahead, then set right) cannot put an old entry above
// a newer one. Entries written before entries were numbered (no number in
// the name) count as older than every numbered one, in the order of their
// times.

// What made an entry, as its file name and `txctl history` say it.
enum class HistoryEvent { Read, BeforeWrite, Written, BeforeReset, Reset };

struct HistoryEntry {
    QString path;      // the file
    qint64 number = 0; // its stable number (@@N), 0 for an entry from before numbering
    QDateTime time;    // UTC, as the clock said when it was written
    QString event;     // "before write"
    QString port;      // "ttyUSB0"
};

// The history folder (not created).
QString historyFolder();

// The entries, newest first (the order of writing). Files that are not
// entries are passed over.
QVector<HistoryEntry> historyEntries();

// The port as entries name it: "/dev/ttyUSB0" -> "ttyUSB0", "/dev/pts/5" ->
// "pts_5".
QString historyPortName(const QString &port);

// Stores `bytes` (a settings file) as a new entry for `event` on `port`,
// unless the newest entry of the same port holds the same bytes (that one
// then stands for it); then drops the oldest entries beyond the bound, never
// the one just stored. Every entry is written whole under a name no other
// entry has (two txctl at once included). False with a one-line reason in
// *error when it could not be stored.
bool addHistoryEntry(HistoryEvent event, const QString &port, const QByteArray &bytes, QString *error);

// The most entries kept.
constexpr int kHistoryLimit = 1000;

// "@N" names the Nth newest entry (it moves on with every new entry);
// "@@N" the entry numbered N (it stays that entry until it is dropped).
// Returns the path of the entry, or an empty string with a one-line reason
// in *error ("@0", "@x", past the oldest, a number no entry has).
QString historyEntryPath(const QString &reference, QString *error);
