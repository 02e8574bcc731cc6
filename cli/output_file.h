#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Where a command's result goes. A plain file is replaced in one step (a
// temporary file renamed into place), so it is either the old one or the
// complete new one. A pipe or a device (/dev/stdout) is written into, never
// replaced by a plain file; "-" is standard output. open() finds a bad place
// before the work starts; write() puts the result there. Errors are one line
// naming the place. A terminal device is refused (a serial port would take
// the bytes as commands), and so is binary content for standard output on
// a terminal.
class OutputFile
{
public:
    enum class Content { Text, Binary };
    explicit OutputFile(const QString &path, Content content = Content::Text);
    bool open(QString *error);
    bool write(const QByteArray &bytes, QString *error);

private:
    enum class Kind { StandardOutput, Special, Plain };
    QString path;
    Kind kind;
    Content content;
    QSaveFile file;
};

// A new file is made under a temporary name beside it, the given one with a
// suffix of 7 characters (".XXXXXX") where the system cannot make it without
// a name: why a name is too long for that, or an empty string.
QString temporaryNameProblem(const QString &path);

// OutputFile's open() and write() in one.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         OutputFile::Content content = OutputFile::Content::Text);
