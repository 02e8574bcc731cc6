#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Where a command's result goes: the one way txctl writes a file (settings
// files, JSON, pictures, recordings, history entries).
//
// - "-" is standard output.
// - A pipe or a device other than a terminal (a FIFO, /dev/null,
//   /dev/stdout) is written into, never replaced by a plain file.
// - A terminal device (a serial port, a console) is refused, judged without
//   opening it: opening a serial port may reset what hangs on it, and the
//   bytes would reach it as commands. Binary content for standard output on
//   a terminal is refused too.
// - A file is written through a symbolic link to its target. The new content
//   goes to a temporary file beside the target, with the target's
//   permissions, and replaces it in one step once all of it is on disk: the
//   target is either the old file or the complete new one, and no temporary
//   file stays behind.
//
// open() judges the place before the work starts; write() puts a whole
// result there. A recording is written piece by piece: append(), then
// putInPlace() once the first piece is in (later pieces go on into the same
// file). Errors are one line naming the place.
class OutputFile
{
public:
    enum class Content { Text, Binary };
    explicit OutputFile(const QString &path, Content content = Content::Text);
    ~OutputFile() { close(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool open(QString *error);
    bool write(const QByteArray &bytes, QString *error);

    bool append(const QByteArray &bytes); // false with errno set
    bool putInPlace(QString *error);
    // Drops a new file that never took its place; the old one stays.
    void close();

    bool toStandardOutput() const { return kind == Kind::StandardOutput; }
    // The place as a message names it.
    QString place() const { return toStandardOutput() ? QString("standard output") : path; }

private:
    enum class Kind { StandardOutput, Special, Plain };
    bool openSpecial(QString *error);
    bool openTemporary(QString *error);
    void dropTemporary();

    QString path;
    QString target; // a file: the path with its links followed
    Kind kind;
    Content content;
    int fd = -1;
    QByteArray temporary; // until it takes the target's place
};

// A new file is made under a temporary name beside it, the given one with a
// suffix of 7 characters (".XXXXXX") where the system cannot make it without
// a name: why a name is too long for that, or an empty string.
QString temporaryNameProblem(const QString &path);

// OutputFile's open() and write() in one.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         OutputFile::Content content = OutputFile::Content::Text);

// Writes `bytes` as a new file in `folder`, whole, under the first of the
// names `nameFor(0)`, `nameFor(1)`, ... (up to `tries`) that is free: a file
// there is never replaced. False with errno set when that failed.
bool writeNewFile(const QString &folder, const std::function<QString(int)> &nameFor, int tries,
                  const QByteArray &bytes);
