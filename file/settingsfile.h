#pragma once

#include <QByteArray>
#include <QString>

#include "link/sequences.h"
#include "model/txsettings.h"

class QIODevice;
class QSaveFile;

// A settings file holds the S, G and H lines back to back: 243 bytes, no
// header, no line breaks. The S line stands at 0..80, G at 81..161, H at
// 162..242; anything after that is ignored.

constexpr int kSettingsFileLength = 243;

// How much of a file Load looks at. Only the first 243 characters carry
// settings; the bound keeps a huge or endless file (a device node, a
// multi-gigabyte file picked by mistake) from filling memory.
constexpr qint64 kSettingsReadLimit = 64 * 1024;

// The bytes of a settings file: the three lines in Latin-1, nothing between
// or after them.
QByteArray settingsFileBytes(const QString &s, const QString &g, const QString &h);
QByteArray settingsFileBytes(const SettingsLines &lines);
// The file SAVE writes for the settings `s`: the lines are built from a copy,
// so the raw alarm tenths follow the volts as they do on the wire.
QByteArray settingsFileBytes(const TxSettingsRecord &s);

// Writes bytes into an opened save file and commits it: the old file is
// replaced only when all of it reached the disk. The bytes sit in the file's
// buffer until flushed, and a failure there (disk full, stick pulled) is not
// seen by commit(), so they are flushed and checked first. Returns whether
// the new file is in place; on failure the old one stays as it was, and
// `error` (when given) says why.
bool writeAndCommit(QSaveFile &file, const QByteArray &bytes, QString *error = nullptr);

// What a load found: the number of characters looked at and which lines
// passed their letter and length tests and were read into the store.
struct LoadReport {
    int length;
    bool s, g, h;
};

// Reads the lines of a settings file's text into st. A leading UTF-8
// byte-order mark is skipped: positions count from after it. A line is read only when
// the text is long enough for it (more than 161 characters for S and G, more
// than 242 for H) and its first and last letters stand in place; the others
// leave st alone. Writes the "Blength" lines to the debug log.
LoadReport loadSettingsText(const QString &text, TxSettingsRecord &st);

// The note for a load from a file that did not carry every line: empty when
// all three were loaded.
QString loadNote(const LoadReport &report);

// Reads at most `limit` bytes from the start of an open device and decodes
// them one character per byte (Latin-1), so character positions are byte
// positions whatever the file holds.
QString readSettingsFilePrefix(QIODevice &device, qint64 limit = kSettingsReadLimit);

class QFile;
// Opens a file chosen for loading, read-only. A pipe or a device (a FIFO with
// nobody writing, a terminal that says nothing) is opened without waiting, so
// reading it gives what is there now instead of blocking for ever.
bool openForLoad(QFile &file);
// Whether `path` names something other than a plain file or a folder (a
// pipe, a device, a socket): a settings file is never saved over such a
// thing, which the save file's rename would replace by a plain file.
bool isSpecialFile(const QString &path);
// The file that writing to `path` reaches: its symbolic links followed (also
// one whose target does not exist yet), as an absolute path with the links of
// its folder resolved. Two names of one file give one target.
QString resolvedTarget(const QString &path);
