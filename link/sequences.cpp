#include "link/sequences.h"

#include "link/lines.h"

const QByteArray kHelloWord = QByteArrayLiteral("OK");
const QByteArray kByeWord = QByteArrayLiteral("DIS");
const QByteArray kReadWord = QByteArrayLiteral("RR");
const QByteArray kAckWord = QByteArrayLiteral("WWW");

SettingsLines buildSettingsLines(TxSettingsRecord &s)
{
    for (LineKind kind : {LineKind::S, LineKind::G, LineKind::H})
        setRawAlarms(kind, s);
    return {buildLine(LineKind::S, s), buildLine(LineKind::G, s), buildLine(LineKind::H, s)};
}

LinkSequence readSequence()
{
    return {{kReadWord, kReadPauseMs}};
}

LinkSequence linesSequence(const SettingsLines &lines)
{
    return {{lines.s, kLinePauseMs}, {lines.g, kLinePauseMs}, {lines.h, kLinePauseMs}};
}

LinkSequence writeSequence(const SettingsLines &lines)
{
    LinkSequence steps = linesSequence(lines);
    steps.push_back({kAckWord, 0});
    return steps;
}

bool runSequence(const LinkSequence &steps, const std::function<bool()> &mayGoOn,
                 const std::function<void(const QByteArray &)> &send, const std::function<void(int)> &pause)
{
    for (const LinkStep &step : steps) {
        if (mayGoOn && !mayGoOn())
            return false;
        send(step.bytes);
        if (step.pauseMs > 0)
            pause(step.pauseMs);
    }
    return true;
}
