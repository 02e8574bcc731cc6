#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>
#include <vector>

#include "link/lines.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "sim/simprotocol.h"

class QSocketNotifier;

// A transmitter at the far end of a pseudo-terminal. The tool opens
// slavePath() as its serial port. After "OK" the transmitter streams live
// frames (servo outputs, then telemetry, alternately); "RR" makes it send its
// settings frames one by one; the S, G and H lines overwrite its model;
// "DIS" stops the stream. Everything runs on the event loop of the thread
// that owns it (timers and socket notifiers, no threads).
class VirtualTransmitter : public QObject
{
    Q_OBJECT
public:
    explicit VirtualTransmitter(QObject *parent = nullptr);
    ~VirtualTransmitter() override;

    bool isValid() const { return pty.isValid(); }
    QString slavePath() const { return pty.slavePath(); }

    // The transmitter's own memory. txVersion lives in liveData().
    const TxSettingsRecord &settings() const { return model; }
    void setSettings(const TxSettingsRecord &s) { model = s; }
    const TxLiveDataRecord &liveData() const { return live; }
    void setLiveData(const TxLiveDataRecord &d) { live = d; }
    void setTxVersion(int v) { live.txVersion = v; }
    // The last S, G or H line received (empty before the first).
    QByteArray lastLine(LineKind kind) const;

    // Live stream: one servo frame and one telemetry frame every intervalMs
    // (half the interval apart); 0 sends them back to back as fast as a
    // 115200 baud line carries them (576 frames a second).
    void setLiveInterval(int intervalMs);
    int liveInterval() const { return liveIntervalMs; }
    // Whether the live values move (on by default); when off the frames
    // carry liveData() as set.
    void setMotion(bool on) { motion = on; }
    // Pause between the frames of a settings dump (20 ms by default).
    void setSettingsInterval(int ms) { settingsIntervalMs = qMax(1, ms); }
    // Whether live frames go on between the frames of a settings dump (off
    // by default: the dump has the line to itself).
    void setLiveDuringDump(bool on) { liveDuringDump = on; }
    bool isStreaming() const { return streaming; }
    bool isDumping() const { return dumpNext < dump.size(); }

    // Fault switches.
    // Every write is split in two writes, gapMs apart: at byte `at`, or at a
    // random point when at <= 0.
    void setSplitFrames(bool on, int at = 0);
    // Every two frames go out in one write.
    void setJoinFrames(bool on);
    // Everything goes out as one stream cut in random pieces of 1..maxBytes
    // bytes, 1 ms apart while the line keeps up, as a USB serial adapter
    // hands bytes over (0: off).
    void setCut(int maxBytes) { cutMax = qMax(0, maxBytes); }
    // A burst of 1..maxBytes random bytes goes out (as a write of its own)
    // before every write.
    void setGarbage(bool on, int maxBytes = 10);
    // The free bytes of every settings and AUX frame (settings byte 1, AUX
    // bytes 0, 1 and 7) carry random values instead of 0x00 and the AUX end
    // marker. Each frame must then reach the tool as a chunk of its own.
    void setRandomFreeBytes(bool on) { randomFree = on; }
    // The pause between the parts of a split write and after a garbage burst.
    void setFaultGap(int ms) { faultGapMs = qMax(1, ms); }
    void setSeed(quint32 seed) { random.seed(seed); }
    // The device vanishes: the master side is closed and nothing more is
    // sent or read.
    void dropDevice();
    // A transmitter that does not keep what it is sent: after taking an S
    // line it moves the CH3 sub-trim by 7 (towards 0 when at the top of its
    // range), so a check after writing has something to find.
    void setAlterOnWrite(bool on) { alterOnWrite = on; }
    // A transmitter switched off behind its adapter: what the tool sends is
    // read and logged, but nothing is answered, streamed or kept. Set while
    // it streams, the stream stops until it is cleared.
    void setMute(bool on) { mute = on; }

    // What the tool sent, in order: "OK", "DIS", "RR", "WWW", "S", "G", "H"
    // (the most recent entries; the counters count everything).
    QStringList received() const { return log; }
    int receivedCount(const QString &token) const { return counts.value(token); }
    int skippedBytes() const { return skipped; }
    void clearReceived();

    // What it sent.
    int liveFramesSent() const { return liveSent; }
    int settingsFramesSent() const { return settingsSent; }
    int dumpsCompleted() const { return dumpsDone; }
    qint64 bytesWritten() const { return written; }
    qint64 bytesDropped() const { return dropped; }

signals:
    void tokenReceived(const QString &token);
    void lineReceived(LineKind kind);
    void dumpFinished();

private:
    struct Piece {
        QByteArray bytes;
        int gapMs; // pause after the previous write before this one goes out
    };

    void onReadable();
    void handle(const SimToken &t);
    void noteToken(const QString &name);
    void flushWwwNote();

    void startStreaming();
    void stopAll();
    void liveTick();
    void dumpTick();
    QByteArray nextLiveFrame();

    void emitFrame(const QByteArray &frame);
    void shapeAndQueue(const QByteArray &bytes);
    void queue(const QByteArray &bytes, int gapMs);
    void drain();
    void writeNow(const QByteArray &bytes);
    void flushBacklog();
    bool lineBusy() const { return !pieces.empty() || !backlog.isEmpty() || !held.isEmpty(); }

    PtyPair pty;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
    QByteArray rx;

    TxSettingsRecord model;
    TxLiveDataRecord live;
    QByteArray lines[3];

    QElapsedTimer clock;
    QTimer liveTimer;
    QTimer dumpTimer;
    QTimer drainTimer;
    QTimer joinFlushTimer;
    QTimer wwwNoteTimer;
    int liveIntervalMs = 20;
    int settingsIntervalMs = 20;
    bool motion = true;
    bool liveDuringDump = false;
    bool streaming = false;
    bool nextIsServo = true;
    qint64 wireStartMs = 0;
    qint64 wireFramesSinceStart = 0;

    std::vector<QByteArray> dump;
    size_t dumpNext = 0;

    bool split = false;
    int splitAt = 0;
    bool alterOnWrite = false;
    bool mute = false;
    bool join = false;
    int cutMax = 0;
    QByteArray uncut; // bytes not cut into pieces yet
    bool garbage = false;
    bool randomFree = false;
    int garbageMax = 10;
    int faultGapMs = 8;
    QRandomGenerator random{20240521u};

    std::deque<Piece> pieces;
    qint64 lastWriteMs = -1000000;
    QByteArray held;    // a frame waiting for its partner (join)
    QByteArray backlog; // bytes the pty did not take yet

    QStringList log;
    QHash<QString, int> counts;
    int skipped = 0;
    int wwwNotePending = 0;
    int liveSent = 0;
    int settingsSent = 0;
    int dumpsDone = 0;
    qint64 written = 0;
    qint64 dropped = 0;
};
