// txctl ports: the serial ports there are, and which of them we may open.

#include <QSerialPortInfo>
#include <QVector>

#include "cli/commands.h"
#include "cli/output/output.h"
#include "cli/port/port_link.h"

namespace {

int runPorts(const CommandLine &line)
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        progress(line.quiet(), "no serial ports found");
        return kExitOk;
    }
    QList<QStringList> rows;
    for (const QSerialPortInfo &p : ports) {
        auto orDash = [](const QString &t) { return t.isEmpty() ? QString("-") : t; };
        const QString ids = p.hasVendorIdentifier() && p.hasProductIdentifier()
                                ? QString("%1:%2")
                                      .arg(p.vendorIdentifier(), 4, 16, QChar('0'))
                                      .arg(p.productIdentifier(), 4, 16, QChar('0'))
                                : QString("-");
        QString note;
        if (portAccessProblem(p.systemLocation()).startsWith("permission"))
            note = QString("no permission: %1").arg(kDialoutHint);
        rows << QStringList{p.portName(), orDash(p.description()),  orDash(p.manufacturer()),
                            ids,          orDash(p.serialNumber()), note};
    }
    QVector<int> widths(5, 0);
    for (const QStringList &r : rows)
        for (int i = 0; i < 5; ++i)
            widths[i] = qMax(widths[i], int(r[i].size()));
    QString text;
    for (const QStringList &r : rows) {
        for (int i = 0; i < 5; ++i)
            text += (i == 4 && r[5].isEmpty()) ? r[i] : r[i].leftJustified(widths[i] + 2);
        text += r[5] + '\n';
    }
    return printResult(text.toLocal8Bit());
}

} // namespace

CliCommand portsCommand()
{
    return {"ports",
            "ports",
            "List the serial ports",
            "ports",
            "Lists the serial ports: name, description, manufacturer, VID:PID, serial number. A port you may "
            "not open is marked.",
            {},
            {},
            runPorts};
}
