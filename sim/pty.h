#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for the USB serial cable. The master
// side is held here; the slave path is what the tool opens as its port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0; }
    QString slavePath() const { return path; }
    int masterHandle() const { return masterFd; }

    // Writes all of data to the master side; returns false on failure.
    bool write(const QByteArray &data);
    // Reads what is available now, waiting at most timeoutMs for the first byte.
    QByteArray read(int timeoutMs = 0);
    // Closes the master side: the device vanishes for whoever holds the slave.
    void closeMaster();

private:
    int masterFd = -1;
    int keepSlaveFd = -1; // keeps the line open while the tool has closed it
    QString path;
};
