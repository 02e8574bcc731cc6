#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QSet>
#include <QString>
#include <functional>

#include "link/frames.h"
#include "link/receive.h"
#include "link/sequences.h"
#include "model/txsettings.h"

// The serial link of txctl: the port opened as the window opens it, the
// received bytes decoded and answered as the window answers them. Ctrl-C
// (cli/interrupts.h) ends a wait; the commands honour it between steps.

// A port argument as a device path: "ttyUSB0" -> "/dev/ttyUSB0"; anything
// with a slash is taken as it stands.
QString portDevicePath(const QString &port);

// Why a port that exists cannot be opened by us, or an empty string: checked
// before opening, so "permission denied" and "busy" are told apart (the serial
// port reports both as a permission error).
QString portAccessProblem(const QString &devicePath);

// The hint for a port we may not open.
extern const char kDialoutHint[];

class PortLink : public QObject
{
    Q_OBJECT
public:
    PortLink();
    ~PortLink() override;

    // Opens the port at 115200 8N1 and says "OK". On failure returns false with
    // one line naming the port, the cause and the fix in *error. Warns when
    // another program has the port open too, unless told not to.
    bool open(const QString &port, QString *error);
    bool isOpen() const { return serial.isOpen(); }
    bool warnWhenShared = true;
    QString path() const { return devicePath; }

    // Hands bytes to the port in one write and to the device at once.
    void send(const QByteArray &bytes);
    // Runs a sequence of steps with its pauses. `mayGoOn` is asked before
    // every step; `afterStep` is told the index of each step sent; `pause`
    // replaces the plain pause (waitMs) where a pause may end early.
    bool run(const LinkSequence &steps, const std::function<bool()> &mayGoOn,
             const std::function<void(int)> &afterStep = {}, const std::function<void(int)> &pause = {});
    // "DIS", handed to the device and drained, then the port closes. Safe to
    // call twice.
    void close();

    // The received settings and live values: the store starts as the window's
    // does at program start, and every chunk is decoded into it, followed by
    // the D/R mirrors and validation, and answered with "WWW".
    TxSettingsRecord settings;
    TxLiveDataRecord live;

    // The receive path, and READ through it.
    LinkReceiver &receiver() { return received; }
    int chunksReceived() const { return chunks; }
    int liveFramesReceived() const { return liveFrames; }
    // The device went away (unplugged) while the port was open.
    bool deviceLost() const { return lost; }

    // Called after every received chunk (after the answer went out).
    std::function<void()> onChunk;

private:
    void onReadyRead();

    QSerialPort serial;
    QString devicePath;
    LinkReceiver received{settings, live};
    int chunks = 0;
    int liveFrames = 0;
    bool lost = false;
};

// Waits (the event loop running) until `done` holds, the deadline passes or
// an interrupt arrives; returns done().
bool waitUntil(const std::function<bool()> &done, const QElapsedTimer &clock, qint64 deadlineMs);

// Reads the settings over an open link as READ does in the window: "RR",
// and again while no whole set has come, until a whole set is taken,
// timeoutMs passed or an interrupt arrived. `onProgress` is told the number
// of frames of the answer being read whenever it grows. Returns whether a
// whole set was taken (into link.settings); on failure *error says why (no
// answer at all, or which frames are missing) and the settings are as before.
bool readSettingsOverLink(PortLink &link, int timeoutMs, const std::function<void(int)> &onProgress,
                          QString *error);
