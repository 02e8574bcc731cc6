#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// The history of the transmitter's settings that txctl keeps: one settings
// file per entry (exactly what the window's SAVE writes) in
// $XDG_DATA_HOME/txconfig/history/, named
//   20261209T061502.123Z-before-write-ttyUSB0-4711.txt
// (the time in UTC, what happened, the port, the process), so that a plain
// `ls` sorts the entries by time and says what each one is.

// What made an entry, as its file name and `txctl history` say it.
enum class HistoryEvent { Read, BeforeWrite, Written, BeforeReset, Reset };

struct HistoryEntry {
    QString path;   // the file
    QDateTime time; // UTC
    QString event;  // "before write"
    QString port;   // "ttyUSB0"
};

// The history folder (not created).
QString historyFolder();

// The entries, newest first. Files that are not entries are passed over.
QVector<HistoryEntry> historyEntries();

// Stores `bytes` (a settings file) as a new entry for `event` on `port`,
// unless the newest entry holds the same bytes; then drops the oldest
// entries beyond the bound. Every entry is written whole under a name no
// other entry has (two txctl at once included). False with a one-line reason
// in *error when it could not be stored.
bool addHistoryEntry(HistoryEvent event, const QString &port, const QByteArray &bytes, QString *error);

// The most entries kept.
constexpr int kHistoryLimit = 1000;

// "@N" names the Nth newest entry. Returns the path of the entry, or an empty
// string with a one-line reason in *error ("@0", "@x", past the oldest).
QString historyEntryPath(const QString &reference, QString *error);
