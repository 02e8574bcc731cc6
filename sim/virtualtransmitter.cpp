#include "sim/virtualtransmitter.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <cerrno>
#include <unistd.h>

#include "link/frames.h"

Q_LOGGING_CATEGORY(lcSim, "txsim")

namespace {

// A 115200 baud line with one start and one stop bit carries 11520 bytes a
// second: 576 live frames.
constexpr int kWireFramesPerSecond = 576;
// At most this many bytes wait for the tool to read them; beyond that the
// transmitter's writes go nowhere, as on a real UART nobody listens to.
constexpr int kMaxBacklog = 4096;
// A frame kept back to be joined with the next goes out alone after this.
constexpr int kJoinFlushMs = 50;
// Keep the most recent tokens; the counters keep counting.
constexpr int kMaxLogEntries = 20000;

int lineIndex(LineKind k)
{
    return k == LineKind::S ? 0 : k == LineKind::G ? 1 : 2;
}

} // namespace

VirtualTransmitter::VirtualTransmitter(QObject *parent) : QObject(parent)
{
    model = demoSettings();
    live = startLiveData();
    live.txVersion = kDemoTxVersion;
    clock.start();
    moveLiveValues(live, 0.0);

    liveTimer.setTimerType(Qt::PreciseTimer);
    dumpTimer.setTimerType(Qt::PreciseTimer);
    drainTimer.setTimerType(Qt::PreciseTimer);
    drainTimer.setSingleShot(true);
    joinFlushTimer.setSingleShot(true);
    joinFlushTimer.setInterval(kJoinFlushMs);
    wwwNoteTimer.setSingleShot(true);
    wwwNoteTimer.setInterval(1000);
    setLiveInterval(liveIntervalMs);
    connect(&liveTimer, &QTimer::timeout, this, &VirtualTransmitter::liveTick);
    connect(&dumpTimer, &QTimer::timeout, this, &VirtualTransmitter::dumpTick);
    connect(&drainTimer, &QTimer::timeout, this, &VirtualTransmitter::drain);
    connect(&joinFlushTimer, &QTimer::timeout, this, [this] {
        if (!held.isEmpty()) {
            const QByteArray frame = held;
            held.clear();
            shapeAndQueue(frame);
        }
    });
    connect(&wwwNoteTimer, &QTimer::timeout, this, &VirtualTransmitter::flushWwwNote);

    if (!pty.isValid())
        return;
    readNotifier = std::make_unique<QSocketNotifier>(pty.masterHandle(), QSocketNotifier::Read);
    connect(readNotifier.get(), &QSocketNotifier::activated, this, &VirtualTransmitter::onReadable);
    writeNotifier = std::make_unique<QSocketNotifier>(pty.masterHandle(), QSocketNotifier::Write);
    writeNotifier->setEnabled(false);
    connect(writeNotifier.get(), &QSocketNotifier::activated, this, &VirtualTransmitter::flushBacklog);
}

VirtualTransmitter::~VirtualTransmitter()
{
    flushWwwNote();
    readNotifier.reset();
    writeNotifier.reset();
}

QByteArray VirtualTransmitter::lastLine(LineKind kind) const
{
    return lines[lineIndex(kind)];
}

void VirtualTransmitter::setLiveInterval(int intervalMs)
{
    liveIntervalMs = qMax(0, intervalMs);
    // One frame per tick, servo and telemetry taking turns; at wire speed the
    // tick only checks how many frames the line has room for by now.
    liveTimer.setInterval(liveIntervalMs == 0 ? 1 : qMax(1, liveIntervalMs / 2));
    wireStartMs = clock.elapsed();
    wireFramesSinceStart = 0;
}

void VirtualTransmitter::setSplitFrames(bool on, int at)
{
    split = on;
    splitAt = at;
}

void VirtualTransmitter::setJoinFrames(bool on)
{
    join = on;
    if (!on && !held.isEmpty()) {
        const QByteArray frame = held;
        held.clear();
        shapeAndQueue(frame);
    }
}

void VirtualTransmitter::setGarbage(bool on, int maxBytes)
{
    garbage = on;
    garbageMax = qMax(1, maxBytes);
}

void VirtualTransmitter::dropDevice()
{
    stopAll();
    readNotifier.reset();
    writeNotifier.reset();
    backlog.clear();
    pty.closeMaster();
    qCInfo(lcSim) << "device dropped";
}

void VirtualTransmitter::clearReceived()
{
    flushWwwNote();
    log.clear();
    counts.clear();
    skipped = 0;
}

// ---- input ----

void VirtualTransmitter::onReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pty.masterHandle(), buf, sizeof buf);
        if (n > 0) {
            rx.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && readNotifier) {
            // Nobody holds the line open (EIO): look again later instead of
            // spinning on a descriptor that is always "readable".
            readNotifier->setEnabled(false);
            QTimer::singleShot(200, this, [this] {
                if (readNotifier)
                    readNotifier->setEnabled(true);
            });
        }
        break;
    }
    std::vector<SimToken> tokens;
    skipped += takeSimTokens(rx, tokens);
    for (const SimToken &t : tokens) {
        handle(t);
        if (!pty.isValid())
            break;
    }
}

void VirtualTransmitter::handle(const SimToken &t)
{
    noteToken(simTokenName(t));
    if (mute)
        return;
    switch (t.kind) {
    case SimTokenKind::Ok:
        startStreaming();
        break;
    case SimTokenKind::Dis:
        stopAll();
        break;
    case SimTokenKind::ReadRequest:
        dump = settingsDump(model, live);
        if (randomFree)
            for (QByteArray &frame : dump)
                randomizeFreeBytes(frame, random);
        dumpNext = 0;
        dumpTimer.start(settingsIntervalMs);
        break;
    case SimTokenKind::Www:
        break;
    case SimTokenKind::Line:
        readLine(t.line, QString::fromLatin1(t.text), model);
        if (alterOnWrite && t.line == LineKind::S)
            model.sub[2] += model.sub[2] <= 93 ? 7 : -7;
        lines[lineIndex(t.line)] = t.text;
        qCInfo(lcSim).noquote() << "  " << QString::fromLatin1(t.text);
        emit lineReceived(t.line);
        break;
    }
}

void VirtualTransmitter::noteToken(const QString &name)
{
    log << name;
    if (log.size() > kMaxLogEntries)
        log.erase(log.begin(), log.begin() + kMaxLogEntries / 2);
    ++counts[name];
    if (name == "WWW") {
        // The tool answers every chunk with "WWW": tell of them once a second.
        ++wwwNotePending;
        if (!wwwNoteTimer.isActive())
            wwwNoteTimer.start();
    } else {
        flushWwwNote();
        qCInfo(lcSim).noquote() << "received" << name;
    }
    emit tokenReceived(name);
}

void VirtualTransmitter::flushWwwNote()
{
    wwwNoteTimer.stop();
    if (wwwNotePending > 0)
        qCInfo(lcSim).noquote() << "received WWW x" + QString::number(wwwNotePending);
    wwwNotePending = 0;
}

// ---- output ----

void VirtualTransmitter::startStreaming()
{
    streaming = true;
    nextIsServo = true;
    wireStartMs = clock.elapsed();
    wireFramesSinceStart = 0;
    liveTimer.start();
}

void VirtualTransmitter::stopAll()
{
    streaming = false;
    liveTimer.stop();
    dumpTimer.stop();
    dump.clear();
    dumpNext = 0;
    pieces.clear();
    uncut.clear(); // the rest of the last frame goes with it
    drainTimer.stop();
    held.clear();
    joinFlushTimer.stop();
}

QByteArray VirtualTransmitter::nextLiveFrame()
{
    if (motion)
        moveLiveValues(live, clock.elapsed() / 1000.0);
    const bool servo = nextIsServo;
    nextIsServo = !nextIsServo;
    ++liveSent;
    return servo ? buildServoFrame(live) : buildTelemetryFrame(live);
}

void VirtualTransmitter::liveTick()
{
    if (mute || !streaming || !pty.isValid() || (isDumping() && !liveDuringDump))
        return;
    if (liveIntervalMs > 0) {
        // A frame whose turn comes while the line is still busy is skipped.
        if (pieces.empty() && backlog.isEmpty())
            emitFrame(nextLiveFrame());
        return;
    }
    const qint64 now = clock.elapsed();
    qint64 owed = (now - wireStartMs) * kWireFramesPerSecond / 1000 - wireFramesSinceStart;
    if (owed > 16) {
        // Fell behind (a busy machine): start counting afresh.
        wireStartMs = now;
        wireFramesSinceStart = 0;
        owed = 1;
    }
    for (; owed > 0 && pieces.empty() && backlog.isEmpty(); --owed) {
        emitFrame(nextLiveFrame());
        ++wireFramesSinceStart;
    }
}

void VirtualTransmitter::dumpTick()
{
    if (dumpNext >= dump.size()) {
        dumpTimer.stop();
        return;
    }
    emitFrame(dump[dumpNext++]);
    ++settingsSent;
    if (dumpNext >= dump.size()) {
        dumpTimer.stop();
        dump.clear();
        dumpNext = 0;
        ++dumpsDone;
        emit dumpFinished();
    }
}

void VirtualTransmitter::emitFrame(const QByteArray &frame)
{
    if (!join) {
        shapeAndQueue(frame);
        return;
    }
    if (held.isEmpty()) {
        held = frame;
        joinFlushTimer.start();
        return;
    }
    const QByteArray both = held + frame;
    held.clear();
    joinFlushTimer.stop();
    shapeAndQueue(both);
}

void VirtualTransmitter::shapeAndQueue(const QByteArray &bytes)
{
    int gap = 0;
    if (garbage) {
        QByteArray burst(int(random.bounded(1, garbageMax + 1)), '\0');
        for (char &c : burst)
            c = char(random.bounded(256));
        queue(burst, 0);
        gap = faultGapMs;
    }
    if (cutMax > 0) {
        // One stream, cut anywhere: a piece may end inside a frame or join
        // the end of one with the start of the next. What is left waits for
        // the next write.
        uncut += bytes;
        while (!uncut.isEmpty()) {
            const int len = int(random.bounded(1, cutMax + 1));
            if (len > uncut.size() && streaming)
                break;
            // 1 ms apart, so each piece reaches the reader on its own, as
            // long as that keeps up with the line; else back to back.
            queue(uncut.left(len), pieces.size() < 8 ? 1 : 0);
            uncut.remove(0, qMin(len, int(uncut.size())));
        }
    } else if (split && bytes.size() > 1) {
        const int at = splitAt > 0 ? qMin(splitAt, bytes.size() - 1) : int(random.bounded(1, bytes.size()));
        queue(bytes.left(at), gap);
        queue(bytes.mid(at), faultGapMs);
    } else {
        queue(bytes, gap);
    }
}

void VirtualTransmitter::queue(const QByteArray &bytes, int gapMs)
{
    pieces.push_back({bytes, gapMs});
    if (!drainTimer.isActive())
        drain();
}

void VirtualTransmitter::drain()
{
    while (!pieces.empty()) {
        const qint64 now = clock.elapsed();
        const qint64 due = lastWriteMs + pieces.front().gapMs;
        if (pieces.front().gapMs > 0 && now < due) {
            drainTimer.start(int(due - now));
            return;
        }
        const QByteArray bytes = pieces.front().bytes;
        pieces.pop_front();
        writeNow(bytes);
        lastWriteMs = clock.elapsed();
    }
}

void VirtualTransmitter::writeNow(const QByteArray &bytes)
{
    if (!pty.isValid()) {
        dropped += bytes.size();
        return;
    }
    if (!backlog.isEmpty()) {
        if (backlog.size() + bytes.size() > kMaxBacklog)
            dropped += bytes.size();
        else
            backlog += bytes;
        return;
    }
    // The master is non-blocking: take what the line accepts now, keep the
    // rest for when it has room.
    ssize_t n;
    do {
        n = ::write(pty.masterHandle(), bytes.constData(), size_t(bytes.size()));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EAGAIN) {
            dropped += bytes.size();
            return;
        }
        n = 0;
    }
    written += n;
    if (n < bytes.size()) {
        backlog = bytes.mid(int(n));
        if (writeNotifier)
            writeNotifier->setEnabled(true);
    }
}

void VirtualTransmitter::flushBacklog()
{
    while (!backlog.isEmpty() && pty.isValid()) {
        const ssize_t n = ::write(pty.masterHandle(), backlog.constData(), size_t(backlog.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN) {
                dropped += backlog.size();
                backlog.clear();
            }
            break;
        }
        written += n;
        backlog.remove(0, int(n));
    }
    if (backlog.isEmpty() && writeNotifier)
        writeNotifier->setEnabled(false);
}
