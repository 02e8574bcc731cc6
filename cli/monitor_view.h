#pragma once

#include <QByteArray>
#include <QString>

#include "model/txsettings.h"

// What txctl monitor shows and records of the live values.

// The first line of a recording.
QString csvHeader();
// One row of a recording: the time in seconds, the eight outputs, the three
// voltages and the signal strength in dBm (empty without a reading).
QString csvRow(double seconds, const TxLiveDataRecord &d);
// The screen on a terminal: the eight outputs as bars, the telemetry, and the
// time. Drawn over the `*shownLines` lines drawn before, whose count it then
// holds.
QString screenText(const TxLiveDataRecord &d, double seconds, int *shownLines);

// A recording of monitor --csv, row by row. "-" is standard output; a pipe
// or a device (a FIFO, /dev/null) is written into; a file gets the new
// recording under a temporary name beside it, which replaces it once the
// first row is in, so a run that records nothing leaves an earlier recording
// as it was. Rows are written one by one: a killed run keeps every row so far.
class CsvRecording
{
public:
    CsvRecording() = default;
    ~CsvRecording() { close(); }
    CsvRecording(const CsvRecording &) = delete;
    CsvRecording &operator=(const CsvRecording &) = delete;

    // On failure returns false with one line in *error.
    bool open(const QString &name, QString *error);
    bool isOpen() const { return fd >= 0; }
    bool toStandardOutput() const { return name == "-"; }
    // The name as a message names it.
    QString place() const { return toStandardOutput() ? QString("standard output") : name; }
    // Writes a row and its line end; false (errno set) when that failed.
    bool write(const QString &row);
    // The first row is in: the new recording takes the old one's place. False
    // with the reason in *error when it could not.
    bool putInPlace(QString *error);
    // Closes it; a recording that never got its first row is dropped.
    void close();

private:
    void dropTemporary();

    QString name;
    QString temporary; // until the first row
    int fd = -1;
};
