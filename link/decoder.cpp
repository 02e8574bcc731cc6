#include "link/decoder.h"

#include <QElapsedTimer>

namespace {

quint8 byteAt(const QByteArray &b, int i)
{
    return static_cast<quint8>(b.at(i));
}

qint64 steadyMs()
{
    static QElapsedTimer t;
    if (!t.isValid())
        t.start();
    return t.elapsed();
}

// The bytes of a settings or AUX frame that carry values (its type and its
// fields; a transmitter may send anything in the others): two answers carry
// the same frame when these are equal.
QByteArray carriedBytes(const QByteArray &frame)
{
    const SettingsFrameLayout *l =
        frame.size() == kAuxFrameLength ? &auxFrameLayout() : settingsFrameLayout(byteAt(frame, 2));
    QByteArray out(1, frame.at(2));
    for (const FrameField &f : l->fields)
        out += frame.mid(f.pos, f.be16 ? 2 : 1);
    return out;
}

// The answer's order: the next frame, a later one when one was lost, or a
// frame 1 that starts the answer again.
bool inOrder(int seq, int last)
{
    return seq > last || seq == 1;
}

} // namespace

FrameDecoder::FrameDecoder() : clock(steadyMs) {}

void FrameDecoder::setClock(Clock c)
{
    clock = c ? std::move(c) : Clock(steadyMs);
}

// ---- the framer ----

int FrameDecoder::lastFor(int p, int last) const
{
    // -1: no settings or AUX frame may start at p.
    return open && p >= answerFrom ? last : -1;
}

// Rules 2 and 4, one kind each: adds the frame of that kind whose header
// stands at p, or a shape without a layout where the bytes in do not tell
// yet. `fromEndMarker`: rule 5's refusal of a settings or AUX frame read from
// an end marker.
void FrameDecoder::auxAt(int p, int last, bool fromEndMarker, Shapes &out) const
{
    if (last != kAuxSeq - 1 || fromEndMarker)
        return;
    if (p + kAuxFrameLength > buf.size())
        out.push_back({});
    else if (byteAt(buf, p + 2) == kAuxType && carriesInRange(auxFrameLayout(), buf.mid(p, kAuxFrameLength)))
        out.push_back({&auxFrameLayout(), FrameKind::Aux, kAuxFrameLength});
}

void FrameDecoder::settingsAt(int p, int last, bool fromEndMarker, Shapes &out) const
{
    if (last < 0 || fromEndMarker || byteAt(buf, p) != kFrameMarker)
        return;
    if (p + 2 >= buf.size()) {
        out.push_back({});
        return;
    }
    const SettingsFrameLayout *l = settingsFrameLayout(byteAt(buf, p + 2));
    if (!l || !inOrder(l->seq, last))
        return;
    if (p + kSettingsFrameLength > buf.size())
        out.push_back({});
    else if (byteAt(buf, p + kSettingsFrameLength - 1) == kFrameMarker &&
             carriesInRange(*l, buf.mid(p, kSettingsFrameLength)))
        out.push_back({l, FrameKind::Settings, kSettingsFrameLength});
}

void FrameDecoder::liveAt(int p, Shapes &out) const
{
    if (byteAt(buf, p) != kFrameMarker)
        return;
    if (p + 1 >= buf.size())
        out.push_back({});
    else if (byteAt(buf, p + 1) == kServoKind)
        out.push_back({&servoFrameLayout(), FrameKind::Servo, kLiveFrameLength});
    else if (byteAt(buf, p + 1) == kTelemetryKind)
        out.push_back({&telemetryFrameLayout(), FrameKind::Telemetry, kLiveFrameLength});
}

// Rules 2 and 4: the frames whose header stands at p, in order of
// preference (the AUX frame where it is due, the settings frame of its
// type, a live frame).
FrameDecoder::Shapes FrameDecoder::headersAt(int p, int last, bool resync) const
{
    Shapes out;
    if (p >= buf.size()) {
        out.push_back({});
        return out;
    }
    const bool fromEndMarker = resync && p + 1 < buf.size() && byteAt(buf, p + 1) == kFrameMarker;
    last = lastFor(p, last);
    auxAt(p, last, fromEndMarker, out);
    settingsAt(p, last, fromEndMarker, out);
    liveAt(p, out);
    return out;
}

// Rule 2 for what follows a frame: any frame may start at p.
FrameDecoder::Verdict FrameDecoder::startsFrame(int p, int last, bool quiet) const
{
    if (p == buf.size())
        return quiet ? Verdict::Yes : Verdict::More;
    Verdict v = Verdict::No;
    for (const Shape &f : headersAt(p, last, false)) {
        if (f.layout)
            return Verdict::Yes;
        v = Verdict::More;
    }
    return v;
}

// Rule 3: a frame at p is confirmed by a frame starting right after it, or
// by the quiet line after its last byte.
FrameDecoder::Verdict FrameDecoder::confirmed(int p, const Shape &f, int last, bool quiet) const
{
    if (p + f.length > buf.size())
        return Verdict::More;
    return startsFrame(p + f.length, f.layout->seq > 0 ? f.layout->seq : last, quiet);
}

// In sync: the first of the frames that may start at 0 that is confirmed;
// a preferred one that cannot be judged yet is waited for.
FrameDecoder::Verdict FrameDecoder::inSyncAt(bool quiet, Shape &chosen) const
{
    for (const Shape &f : headersAt(0, lastSeq, false)) {
        const Verdict v = f.layout ? confirmed(0, f, lastSeq, quiet) : Verdict::More;
        if (v == Verdict::Yes)
            chosen = f;
        if (v != Verdict::No)
            return v;
    }
    return Verdict::No;
}

// Rule 5: two frames chain from p (frame, frame, then a frame start or the
// quiet line).
FrameDecoder::Verdict FrameDecoder::chainAt(int p, bool quiet, Shape &chosen) const
{
    for (const Shape &a : headersAt(p, lastSeq, true)) {
        if (!a.layout || p + a.length > buf.size())
            return Verdict::More;
        const int next = p + a.length;
        const int last = a.layout->seq > 0 ? a.layout->seq : lastSeq;
        for (const Shape &b : headersAt(next, last, true)) {
            const Verdict v = b.layout ? confirmed(next, b, last, quiet) : Verdict::More;
            if (v == Verdict::Yes)
                chosen = a;
            if (v != Verdict::No)
                return v;
        }
    }
    return Verdict::No;
}

// Rule 1: takes the frames the buffer confirms, skipping what starts none.
void FrameDecoder::frame(bool quiet, Store st)
{
    while (!buf.isEmpty()) {
        Shape f;
        if (inSync) {
            const Verdict v = inSyncAt(quiet, f);
            if (v == Verdict::More)
                return;
            if (v == Verdict::Yes) {
                take(f, false, st);
                continue;
            }
            inSync = false;
            skip(1);
            continue;
        }
        int p = 0;
        Verdict v = Verdict::No;
        for (; p < buf.size() && v == Verdict::No; ++p)
            v = chainAt(p, quiet, f);
        if (v == Verdict::No) {
            skip(buf.size());
            return;
        }
        skip(p - 1);
        if (v == Verdict::More)
            return;
        inSync = true;
        take(f, true, st);
    }
}

void FrameDecoder::skip(int count)
{
    if (count <= 0)
        return;
    if (open && count > answerFrom)
        skippedSinceAsk = true;
    buf.remove(0, count);
    answerFrom = std::max(0, answerFrom - count);
}

// Rule 6 for live frames; a settings or AUX frame joins the answer's run.
void FrameDecoder::take(const Shape &f, bool afterSkip, Store st)
{
    const bool inAnswer = lastFor(0, lastSeq) >= 0;
    if (isLiveFrame(f.kind)) {
        if (afterSkip && run.got)
            run.clean = false;
        decodeFields(*f.layout, QByteArray::fromRawData(buf.constData(), f.length), st.s, st.d);
        buf.remove(0, f.length);
        answerFrom = std::max(0, answerFrom - f.length);
        if (st.onFrame)
            st.onFrame({f.kind, 0});
        return;
    }
    const QByteArray bytes = buf.left(f.length);
    buf.remove(0, f.length);
    answerFrom = std::max(0, answerFrom - f.length);
    if (!inAnswer)
        return;
    const int seq = f.layout->seq;
    if (seq == 1 && run.got)
        closeRun(); // the answer starts again
    if (!run.got)
        run.clean = !skippedSinceAsk;
    run.frames[size_t(seq)] = bytes;
    run.got |= 1u << seq;
    run.clean = run.clean && !afterSkip;
    lastSeq = seq;
    if (run.got == kAllAnswerFrames) {
        closeRun();
        settle(st);
    }
}

// ---- the answer ----

void FrameDecoder::closeRun()
{
    if (run.got == kAllAnswerFrames && run.clean) {
        // A clean answer counts as settled at once: its frames are the only votes.
        for (auto &v : votes)
            v.clear();
        for (int seq = 1; seq <= kSettingsFrameCount; ++seq)
            votes[size_t(seq)] = {run.frames[size_t(seq)], run.frames[size_t(seq)]};
    } else {
        for (int seq = 1; seq <= kSettingsFrameCount; ++seq)
            if (run.got & (1u << seq))
                votes[size_t(seq)].push_back(run.frames[size_t(seq)]);
    }
    run = Run{};
    settlePending = true;
}

quint32 FrameDecoder::settledFrames() const
{
    quint32 bits = 0;
    for (int seq = 1; seq <= kSettingsFrameCount; ++seq) {
        const auto &v = votes[size_t(seq)];
        for (size_t i = 0; i < v.size(); ++i)
            for (size_t j = i + 1; j < v.size(); ++j)
                if (carriedBytes(v[i]) == carriedBytes(v[j]))
                    bits |= 1u << seq;
    }
    return bits;
}

quint32 FrameDecoder::seenFrames() const
{
    quint32 bits = run.got;
    for (int seq = 1; seq <= kSettingsFrameCount; ++seq)
        if (!votes[size_t(seq)].empty())
            bits |= 1u << seq;
    return bits;
}

// Takes the set once every frame is settled: each frame as the newest two
// answers that agree on it carry it.
void FrameDecoder::settle(Store st)
{
    settlePending = false;
    if (settledFrames() != kAllAnswerFrames)
        return;
    std::array<QByteArray, kSettingsFrameCount + 1> frames;
    for (int seq = 1; seq <= kSettingsFrameCount; ++seq) {
        const auto &v = votes[size_t(seq)];
        for (size_t j = v.size(); j-- > 1 && frames[size_t(seq)].isEmpty();)
            for (size_t i = 0; i < j; ++i)
                if (carriedBytes(v[i]) == carriedBytes(v[j]))
                    frames[size_t(seq)] = v[j];
    }
    takeSet(frames, st);
}

void FrameDecoder::takeSet(const std::array<QByteArray, kSettingsFrameCount + 1> &frames, Store st)
{
    for (int seq = 1; seq <= kSettingsFrameCount; ++seq) {
        const SettingsFrameLayout &l =
            seq == kAuxSeq ? auxFrameLayout() : settingsFrameLayouts()[size_t(seq - (seq > kAuxSeq) - 1)];
        decodeFields(l, frames[size_t(seq)], st.s, st.d);
        st.d.readFlag = seq;
        if (st.onFrame)
            st.onFrame({seq == kAuxSeq ? FrameKind::Aux : FrameKind::Settings, seq});
    }
    for (auto &v : votes)
        v.clear();
    ++taken;
    open = false;
}

void FrameDecoder::expire(Store st)
{
    if (open && clock() - openedAt > kAnswerWindowMs) {
        open = false;
        closeRun();
    }
    if (settlePending)
        settle(st);
}

void FrameDecoder::feed(const QByteArray &chunk, TxSettingsRecord &s, TxLiveDataRecord &d,
                        const FrameSink &onFrame)
{
    if (chunk.isEmpty())
        return;
    const Store st{s, d, onFrame};
    expire(st);
    buf += chunk;
    frame(false, st);
}

void FrameDecoder::quiet(TxSettingsRecord &s, TxLiveDataRecord &d, const FrameSink &onFrame)
{
    const Store st{s, d, onFrame};
    expire(st);
    frame(true, st);
    // The burst is over: what is left of it is no whole frame and never
    // becomes one, and the next burst starts with a frame.
    skip(buf.size());
    inSync = true;
}

void FrameDecoder::startRead()
{
    run = Run{};
    for (auto &v : votes)
        v.clear();
    settlePending = false;
}

void FrameDecoder::openAnswer()
{
    if (run.got)
        closeRun();
    // The bytes received before "RR" went out hold no frame of its answer.
    answerFrom = buf.size();
    open = true;
    openedAt = clock();
    lastSeq = 0;
    skippedSinceAsk = false;
}

void FrameDecoder::endAnswer(TxSettingsRecord &s, TxLiveDataRecord &d, const FrameSink &onFrame)
{
    const Store st{s, d, onFrame};
    open = false;
    if (run.got)
        closeRun();
    if (settlePending)
        settle(st);
}

bool FrameDecoder::answerOpen() const
{
    return open && clock() - openedAt <= kAnswerWindowMs;
}

void FrameDecoder::clear()
{
    buf.clear();
    inSync = true;
    open = false;
    answerFrom = 0;
    lastSeq = 0;
    skippedSinceAsk = false;
    startRead();
}
