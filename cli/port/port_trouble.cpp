#include "cli/port/port_trouble.h"

#include <cstdio>

#include "link/portdoctor.h"

namespace {

QString doctorPointer(const QString &devicePath)
{
    return QString("txctl doctor %1 says more").arg(devicePath);
}

} // namespace

QString portBusyReason(const QString &devicePath)
{
    const PortCheck held = checkPortHeld(devicePath);
    if (held.ok)
        return QString("port busy (another program has it open; txctl doctor %1 says which)").arg(devicePath);
    return QString("port busy (%1; fix: %2; %3)").arg(held.found, held.fix, doctorPointer(devicePath));
}

QString portAccessReason(const QString &devicePath)
{
    const PortCheck access = checkPortAccess(devicePath);
    if (access.ok) // allowed by the mode bits, refused all the same
        return QString("permission denied (%1)").arg(doctorPointer(devicePath));
    return QString("permission denied (%1; fix: %2)").arg(access.found, access.fix);
}

void warnIfPortShared(const QString &devicePath)
{
    const QList<PortHolder> holders = portHolders(devicePath);
    if (holders.isEmpty())
        return;
    std::fprintf(
        stderr, "txctl: warning: %s is open in %s as well: it may take the transmitter's bytes (%s)\n",
        qPrintable(devicePath), qPrintable(holdersText(holders)), qPrintable(doctorPointer(devicePath)));
}

QString notHeardHint(const QString &devicePath)
{
    const QList<PortHolder> holders = portHolders(devicePath);
    const QString shared = holders.isEmpty()
                               ? QString()
                               : QString("; %1 %2 it open as well and may take its bytes")
                                     .arg(holdersText(holders), holders.size() == 1 ? "has" : "have");
    return shared + "; " + doctorPointer(devicePath);
}
