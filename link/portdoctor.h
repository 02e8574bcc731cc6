#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Why a serial port cannot be used, found from what the system shows of it:
// the device under /dev, its owner, group and mode, the groups of this user
// (/proc/self/status, /etc/group), the processes that have it open
// (/proc/*/fd), lock files in /var/lock and /run/lock, brltty's udev rules
// and the USB devices the kernel saw (/sys/bus/usb/devices). txctl doctor
// prints every check; txctl and the window name the first cause found when
// opening fails. Nothing here opens the port or changes anything.
//
// The environment variable TX_PORT_CHECK_ROOT (for tests only) puts all of
// these under another folder; access is then judged from the mode bits, the
// user and the groups found there.

// One check: what was found and, when it failed, what to do about it.
struct PortCheck {
    QString name; // "present", "access", "held"
    bool ok = true;
    QString found; // one clause, no final stop
    QString fix;   // what to do; empty when ok
};

// A process that has the port open.
struct PortHolder {
    qint64 pid = 0;
    QString program; // its command name ("minicom")
    QString user;    // its user's name, or the number
};

// Where the checks find `devicePath`: itself, or the same path under the
// test root.
QString portCheckPath(const QString &devicePath);

// The USB serial ports there are (ttyUSB*, ttyACM*), as device paths, sorted.
QStringList usbSerialPorts();

// The device is there; if not, the ports that are and whether an adapter
// the kernel saw was claimed by brltty.
PortCheck checkPortPresent(const QString &devicePath);
// This user may open it for reading and writing; if not, why not.
PortCheck checkPortAccess(const QString &devicePath);
// No other process has it open and no live lock file names it.
PortCheck checkPortHeld(const QString &devicePath);

// The other processes that have the port open (this process and the one
// behind a pseudo-terminal's master side excepted).
QList<PortHolder> portHolders(const QString &devicePath);
// "minicom (pid 1234, user bob)", joined by ", ".
QString holdersText(const QList<PortHolder> &holders);

// The first failed check of present, access and held: the cause a failed
// open is told with. ok when none failed.
PortCheck portOpenProblem(const QString &devicePath);

// The message the window shows when OPEN fails: its fixed first line, then
// the cause and the fix in the words txctl doctor uses. `qtReason` is told
// when no cause is found.
QString portOpenFailureMessage(const QString &devicePath, const QString &qtReason);
