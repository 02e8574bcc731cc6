// txctl doctor: why a port cannot be used, check by check, each with its fix.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/port/interrupts.h"
#include "cli/port/port_link.h"
#include "link/portdoctor.h"

namespace {

// How long a switched-on transmitter may take for its first live frame.
constexpr int kHeardWithinMs = 2000;
// How long --read waits for the whole answer to "RR".
constexpr int kAnswerWithinMs = 5000;

enum class Verdict { Ok, Failed, Skipped };

struct Line {
    PortCheck check;
    Verdict verdict;
};

Line done(const PortCheck &c)
{
    return {c, c.ok ? Verdict::Ok : Verdict::Failed};
}

Line failed(const char *name, const QString &found, const QString &fix)
{
    return {PortCheck{name, false, found, fix}, Verdict::Failed};
}

Line skipped(const char *name, const QString &why)
{
    return {PortCheck{name, false, why, QString()}, Verdict::Skipped};
}

// Opens the port, listens for a live frame and, with --read, asks "RR".
void checkOnTheWire(const QString &path, bool held, bool read, QList<Line> *lines)
{
    PortLink link;
    link.warnWhenShared = false; // the held check said it
    QString error;
    if (!link.open(portCheckPath(path), &error)) {
        *lines << failed("opens", error,
                         held ? "close the program that holds the port (see held)"
                              : "none found by the checks above: the reason given is the system's")
               << skipped("heard", "skipped: the port did not open");
        return;
    }
    *lines << done(PortCheck{"opens", true, "it opens at 115200 8N1", QString()});
    QElapsedTimer clock;
    clock.start();
    const QString silentFix =
        QString("switch the transmitter on and check that its cable is in and that this is its port%1")
            .arg(held ? "; close the program that holds the port" : "");
    if (waitUntil([&] { return link.liveFramesReceived() > 0; }, clock, kHeardWithinMs))
        *lines << done(PortCheck{"heard", true, QString("a live frame came after %1 ms").arg(clock.elapsed()),
                                 QString()});
    else
        *lines << failed("heard",
                         interruptRequested()
                             ? QString("interrupted")
                             : QString("no live frame within %1 s").arg(kHeardWithinMs / 1000),
                         silentFix);
    if (read) {
        QString why;
        if (readSettingsOverLink(link, kAnswerWithinMs, {}, &why))
            *lines << done(PortCheck{"answers", true, "the whole answer to \"RR\" came", QString()});
        else
            *lines << failed("answers", why, silentFix);
    }
    link.close();
}

QList<Line> checkPort(const QString &path, bool read)
{
    QList<Line> lines;
    const PortCheck present = checkPortPresent(path);
    lines << done(present);
    if (!present.ok) {
        for (const char *name : {"access", "held", "opens", "heard"})
            lines << skipped(name, "skipped: the port is not there");
        return lines;
    }
    const PortCheck access = checkPortAccess(path);
    const PortCheck held = checkPortHeld(path);
    lines << done(access) << done(held);
    if (!access.ok) {
        for (const char *name : {"opens", "heard"})
            lines << skipped(name, "skipped: you may not open the port");
        return lines;
    }
    checkOnTheWire(path, !held.ok, read, &lines);
    return lines;
}

const char *verdictText(Verdict v)
{
    return v == Verdict::Ok ? "ok" : v == Verdict::Failed ? "FAILED" : "skipped";
}

QString textOf(const QString &port, const QList<Line> &lines, bool quiet)
{
    QString out;
    for (const Line &l : lines) {
        if (quiet && l.verdict != Verdict::Failed)
            continue;
        out += QString("%1 %2 %3: %4").arg(port, l.check.name, verdictText(l.verdict), l.check.found);
        out += l.check.fix.isEmpty() ? QString("\n") : QString("; fix: %1\n").arg(l.check.fix);
    }
    return out;
}

QJsonObject jsonOf(const QString &port, const QList<Line> &lines, bool usable)
{
    QJsonArray checks;
    for (const Line &l : lines) {
        QJsonObject c{{"check", l.check.name},
                      {"result", QString(verdictText(l.verdict)).toLower()},
                      {"found", l.check.found}};
        if (!l.check.fix.isEmpty())
            c.insert("fix", l.check.fix);
        checks.append(c);
    }
    return QJsonObject{{"port", port}, {"usable", usable}, {"checks", checks}};
}

bool usable(const QList<Line> &lines)
{
    for (const Line &l : lines)
        if (l.verdict != Verdict::Ok)
            return false;
    return true;
}

int runDoctor(const CommandLine &line)
{
    installInterruptHandler();
    QStringList ports;
    if (!line.arguments().isEmpty())
        ports << portDevicePath(line.argument(0));
    else
        ports = usbSerialPorts();
    QList<QPair<QString, QList<Line>>> results;
    if (ports.isEmpty()) {
        // No port named and none there: why not, and what to do.
        PortCheck none = checkPortPresent(QString());
        none.found.remove(QRegularExpression("^no port is chosen; "));
        results << qMakePair(QString("(none)"), QList<Line>{done(none)});
    }
    for (const QString &port : ports) {
        results << qMakePair(port, checkPort(port, line.isSet("read")));
        if (interruptRequested())
            return interruptExitStatus();
    }
    bool allUsable = true;
    QString text;
    QJsonArray json;
    for (const auto &r : results) {
        const bool ok = usable(r.second);
        allUsable = allUsable && ok;
        text += textOf(r.first, r.second, line.quiet());
        json.append(jsonOf(r.first, r.second, ok));
    }
    const QByteArray out = line.isSet("json")
                               ? QJsonDocument(QJsonObject{{"usable", allUsable}, {"ports", json}}).toJson()
                               : text.toLocal8Bit();
    if (!printOut(out))
        return kExitError;
    return allUsable ? kExitOk : kExitNotDone;
}

} // namespace

CliCommand doctorCommand()
{
    return {"doctor",
            "doctor [PORT]",
            "Say why a port cannot be used, and the fix",
            "doctor [PORT] [--read] [--json]",
            "Checks PORT (without PORT: every USB serial port) and prints one line per check, with the cause "
            "and the fix where it fails. present: the device exists (if not: the ports that do, and whether "
            "brltty took an adapter the kernel saw). access: its owner, group and mode, and whether you may "
            "open it (not in its group, no seat access, the udev rule not installed). held: every other "
            "program that has it open (pid, program, user; ModemManager named as such) and live lock files "
            "in /var/lock and /run/lock. opens: it opens at 115200 8N1 (\"OK\" goes out, and \"DIS\" at the "
            "end, as the window sends them). heard: a live frame comes within 2 s. With --read the "
            "transmitter is also asked \"RR\" (answers: its whole answer comes; nothing is written to it). "
            "Exit status 0 when the port can be used, 1 when a check failed, 2 on an error. -q prints only "
            "the failed checks.",
            {{"[PORT]", kPortArgumentHelp}},
            {{"read", "Also ask for the settings and check that the whole answer comes."},
             {"json", "Print the checks as JSON: {\"usable\", \"ports\": [{\"port\", \"usable\", \"checks\": "
                      "[{\"check\", \"result\", \"found\", \"fix\"}]}]}."}},
            runDoctor};
}
