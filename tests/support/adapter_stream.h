#pragma once

// A transmitter's bytes as a USB serial adapter hands them over: live frames
// all the time, with bytes biased to markers and type bytes; now and then "RR"
// and the nineteen frames of an answer, free bytes random, live frames between
// them, a byte lost here and there; bytes of no frame outside answers. Beside
// the bytes it keeps the reference: what the settings must be afterwards (every
// frame that arrived whole within an answer, decoded by the length rules alone;
// nothing else). Header-only, so the fuzz target can use it with the core alone.

#include <QByteArray>
#include <functional>
#include <vector>

#include "link/decoder.h"
#include "model/txsettings.h"
#include "reference_decoder.h"

struct AdapterStream {
    using Rand = std::function<quint32(quint32)>; // 0 .. bound - 1
    explicit AdapterStream(Rand r, const TxSettingsRecord &start) : rnd(std::move(r)), want(start) {}

    Rand rnd;
    QByteArray bytes;
    // One answer: where "RR" went out, what its whole frames carry (every
    // other field holds kUnset), whether a frame of it lost a byte, and where
    // it is over (every later byte comes after its time ran out).
    static constexpr int kUnset = -7777;
    struct Answer {
        int askAt;
        TxSettingsRecord carried;
        TxSettingsRecord damaged; // what the frames that lost a byte would have carried
        int version;
        bool lossy;
        int overAt = -1;
        std::vector<QByteArray> frames; // the nineteen frames as sent, before a byte was lost
        bool afterGarbage = false;      // garbage came since the answer before
    };
    std::vector<Answer> answers;
    std::vector<int> liveAfterGarbage; // where the first live frame after garbage starts
    TxSettingsRecord want;             // the settings if every whole frame is taken

    quint8 biasedByte()
    {
        static const quint8 kTricky[] = {0xFE, 0x18, 0x19, 0xAA, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xA1,
                                         0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAB, 0xAC, 0x00};
        return rnd(2) ? kTricky[rnd(sizeof kTricky)] : quint8(rnd(256));
    }
    // Live frames inside answers carry what a transmitter sends (servo
    // outputs 900..2100, telemetry with its unused bytes 0) when `plain`;
    // otherwise every byte is biased like the others.
    bool plain = false;
    QByteArray liveFrame()
    {
        QByteArray f(kLiveFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[1] = char(rnd(2) ? kServoKind : kTelemetryKind);
        const bool inAnswer = plain && !answers.empty() && answers.back().overAt < 0;
        for (int i = 2; i < f.size(); ++i) {
            if (!inAnswer)
                f[i] = char(biasedByte());
            else if (quint8(f[1]) == kServoKind)
                f[i] = char(i % 2 ? biasedByte() : quint8((900 + rnd(1200)) >> 8));
            else
                f[i] = char(i < 10 ? biasedByte() : 0);
        }
        return f;
    }
    void live(int n)
    {
        for (int k = 0; k < n; ++k)
            bytes += liveFrame();
    }
    void garbage(int n)
    {
        garbageSince = garbageSince || n > 0;
        for (int k = 0; k < n; ++k)
            bytes += char(biasedByte());
        liveAfterGarbage.push_back(bytes.size());
        live(1);
    }
    // "RR", then the answer for the model: each frame lost a byte with
    // lossPercent, live frames between frames with livePercent.
    void answer(const TxSettingsRecord &model, int version, int lossPercent, int livePercent)
    {
        answers.push_back({bytes.size(), unset(), unset(), kUnset, false, -1, {}, false});
        Answer &a = answers.back();
        a.afterGarbage = garbageSince;
        garbageSince = false;
        live(int(rnd(3)));
        TxLiveDataRecord d = startLiveData();
        d.txVersion = version;
        std::vector<QByteArray> frames;
        for (const SettingsFrameLayout &l : settingsFrameLayouts()) {
            if (l.seq == kAuxSeq + 1)
                frames.push_back(withFreeBytes(buildAuxFrame(model), auxFrameLayout()));
            frames.push_back(withFreeBytes(buildSettingsFrame(l, model, d), l));
        }
        a.frames = frames;
        for (QByteArray f : frames) {
            if (int(rnd(100)) < lossPercent) {
                TxLiveDataRecord refD;
                referenceDecode(f, a.damaged, refD);
                f.remove(int(rnd(quint32(f.size()))), 1);
                a.lossy = true;
            } else {
                TxLiveDataRecord refD;
                refD.txVersion = kUnset;
                referenceDecode(f, want, refD);
                referenceDecode(f, a.carried, refD);
                if (refD.txVersion != kUnset)
                    a.version = refD.txVersion;
            }
            bytes += f;
            if (int(rnd(100)) < livePercent)
                live(1 + int(rnd(3)));
        }
    }
    // Live frames for longer than an answer may take: the last answer is over.
    void answerOver()
    {
        live(kAnswerWindowMs * 11520 / 1000 / kLiveFrameLength + 2);
        answers.back().overAt = bytes.size();
    }
    static TxSettingsRecord unset()
    {
        TxSettingsRecord r = startSettings();
        forEachInt(r, [](int &v) { v = kUnset; });
        return r;
    }
    // Calls f on every int field of r (through the line and frame tables' record).
    static void forEachInt(TxSettingsRecord &r, const std::function<void(int &)> &f)
    {
        TxLiveDataRecord d;
        const auto settingsOnly = [&](const FrameField &fld) {
            int &v = fld.ref(r, d);
            const char *p = reinterpret_cast<const char *>(&v);
            if (p < reinterpret_cast<const char *>(&d) || p >= reinterpret_cast<const char *>(&d + 1))
                f(v); // txVersion lives with the live values
        };
        for (const SettingsFrameLayout &l : settingsFrameLayouts())
            for (const FrameField &fld : l.fields)
                settingsOnly(fld);
        for (const FrameField &fld : auxFrameLayout().fields)
            settingsOnly(fld);
    }

private:
    bool garbageSince = false;
    // Bytes the length rules never examine get any value.
    QByteArray withFreeBytes(QByteArray f, const SettingsFrameLayout &l)
    {
        std::vector<bool> used(size_t(f.size()), false);
        for (const FrameField &fld : l.fields) {
            used[size_t(fld.pos)] = true;
            if (fld.be16)
                used[size_t(fld.pos) + 1] = true;
        }
        used[2] = true; // the type
        if (f.size() == kSettingsFrameLength)
            used[0] = used[11] = true;
        for (int i = 0; i < f.size(); ++i)
            if (!used[size_t(i)])
                f[i] = char(biasedByte());
        return f;
    }
};

// Checks answer k once it is over: every field its whole frames carried
// holds that value (where a frame of it lost a byte, a whole frame may have
// been dropped too: then the value from before), every other field the value
// from before (or what a frame that lost a byte carried, where the lost byte
// carried nothing); never a shifted value. Calls bad(field, now, before,
// sent) for each field that breaks this and returns how many did, plus one
// where an answer without losses did not bring its version.
inline int wrongFields(const AdapterStream::Answer &a, const TxSettingsRecord &s, const TxLiveDataRecord &d,
                       const TxSettingsRecord &before,
                       const std::function<void(int, int, int, int)> &bad = {})
{
    TxSettingsRecord now = s, was = before, carried = a.carried, damaged = a.damaged;
    std::vector<int> n, w, c, l;
    AdapterStream::forEachInt(now, [&](int &v) { n.push_back(v); });
    AdapterStream::forEachInt(was, [&](int &v) { w.push_back(v); });
    AdapterStream::forEachInt(carried, [&](int &v) { c.push_back(v); });
    AdapterStream::forEachInt(damaged, [&](int &v) { l.push_back(v); });
    int wrong = 0;
    for (size_t f = 0; f < n.size(); ++f) {
        const bool ok = c[f] == AdapterStream::kUnset ? n[f] == w[f] || n[f] == l[f]
                                                      : n[f] == c[f] || (a.lossy && n[f] == w[f]);
        if (!ok && bad)
            bad(int(f), n[f], w[f], c[f]);
        wrong += !ok;
    }
    return wrong + (!a.lossy && d.txVersion != a.version);
}

// What must hold after answer k without exception: the settings are those
// from before or the whole set the answer carried, never a mix (unless an
// earlier answer carried the same set, when two damaged answers may agree on
// a frame they both lost a byte of); an answer of whole frames after no
// garbage is that whole set, its version too.
inline bool takenWholeOrNothing(const AdapterStream &st, size_t k, const TxSettingsRecord &s,
                                const TxLiveDataRecord &d, const TxSettingsRecord &before)
{
    const auto whole = [&](size_t j) {
        TxSettingsRecord full = before;
        TxLiveDataRecord fd;
        for (const QByteArray &f : st.answers[j].frames)
            referenceDecode(f, full, fd);
        return full;
    };
    const AdapterStream::Answer &a = st.answers[k];
    const TxSettingsRecord full = whole(k);
    if (!a.lossy && !a.afterGarbage)
        return s == full && d.txVersion == a.version;
    for (size_t j = 0; j < k; ++j)
        if (st.answers[j].frames == a.frames)
            return true;
    return s == before || s == full;
}

// Feeds the stream to the decoder in pieces of 1..maxCut bytes, opening an
// answer where "RR" went out (a piece ends there), on a clock that runs at the
// line's pace (11520 bytes a second). checkAnswer(k, before) is called once
// answer k is over, with the settings as they were when its "RR" went out.
inline void feedInPieces(const AdapterStream &st, FrameDecoder &decoder, TxSettingsRecord &s,
                         TxLiveDataRecord &d, const AdapterStream::Rand &rnd, int maxCut,
                         const std::function<void(const DecodedFrame &)> &onFrame,
                         const std::function<void(size_t, const TxSettingsRecord &)> &checkAnswer)
{
    qint64 at = 0;
    decoder.setClock([&at] { return at * 1000 / 11520; });
    size_t ask = 0, over = 0;
    TxSettingsRecord before = s;
    while (at < st.bytes.size()) {
        if (ask < st.answers.size() && at == st.answers[ask].askAt) {
            before = s;
            decoder.openAnswer();
            ++ask;
        }
        qint64 len = 1 + qint64(rnd(quint32(maxCut)));
        len = std::min<qint64>(len, st.bytes.size() - at);
        if (ask < st.answers.size())
            len = std::min<qint64>(len, st.answers[ask].askAt - at);
        if (over < st.answers.size())
            len = std::min<qint64>(len, st.answers[over].overAt - at);
        decoder.feed(st.bytes.mid(int(at), int(len)), s, d, onFrame);
        at += len;
        if (over < st.answers.size() && at == st.answers[over].overAt)
            checkAnswer(over++, before);
    }
    decoder.setClock({});
}
