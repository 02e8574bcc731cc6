#include "link/receive.h"

#include <QStringList>

#include "link/sequences.h"
#include "model/bindings.h"
#include "model/validation.h"

LinkReceiver::LinkReceiver(TxSettingsRecord &s, TxLiveDataRecord &d) : settings(s), live(d)
{
    quietTimer.setSingleShot(true);
    quietTimer.setInterval(kQuietMs);
    QObject::connect(&quietTimer, &QTimer::timeout, [this] { lineQuiet(); });
}

void LinkReceiver::afterFrames()
{
    drDataSelect(settings);
    validateSettings(settings);
}

void LinkReceiver::receive(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    frames.feed(chunk, settings, live, onFrame);
    afterFrames();
    if (send)
        send(kAckWord);
    if (frames.waitsForQuiet())
        quietTimer.start();
    else
        quietTimer.stop();
}

void LinkReceiver::lineQuiet()
{
    quietTimer.stop();
    frames.quiet(settings, live, onFrame);
    afterFrames();
}

void LinkReceiver::clear()
{
    quietTimer.stop();
    frames.clear();
}

LinkReceiver::ReadOutcome LinkReceiver::read(const ReadHooks &hooks)
{
    frames.startRead();
    const quint64 before = frames.setsTaken();
    const auto done = [&] { return frames.setsTaken() != before; };
    for (int ask = 0; ask < kReadAsks; ++ask) {
        if (hooks.mayGoOn && !hooks.mayGoOn())
            return ReadOutcome::Stopped;
        frames.openAnswer();
        if (send)
            send(kReadWord);
        // The wait may end once the set is taken or this answer's last frame
        // is in.
        hooks.wait(ask == 0 ? kReadPauseMs : kReaskWaitMs, [&] { return done() || frames.answerEnded(); });
        if (!done()) {
            frames.endAnswer(settings, live, onFrame);
            afterFrames();
        }
        if (done())
            return ReadOutcome::Taken;
    }
    return ReadOutcome::NotWhole;
}

QString LinkReceiver::notWholeText() const
{
    const quint32 missing = kAllAnswerFrames & ~frames.seenFrames();
    const quint32 unsure = kAllAnswerFrames & ~frames.settledFrames() & ~missing;
    QStringList parts;
    if (missing)
        parts << "frames missing: " + framesText(missing);
    if (unsure)
        parts << "frames no two answers carried alike: " + framesText(unsure);
    return parts.join("; ");
}

QString framesText(quint32 bits)
{
    QStringList out;
    for (int seq = 1; seq <= kSettingsFrameCount; ++seq)
        if (bits & (1u << seq))
            out << (seq == kAuxSeq ? QString("%1 (AUX)").arg(seq) : QString::number(seq));
    return out.join(", ");
}
