#include "link/portdoctor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// USB serial bridge chips, as the txconfig udev rule marks them for
// ModemManager to leave alone (and docs list them): none of them is a modem.
struct SerialBridge {
    const char *id; // "vvvv:pppp"
    const char *chip;
};
const SerialBridge kSerialBridges[] = {
    {"1a86:7523", "CH340"},  {"10c4:ea60", "CP210x"}, {"10c4:ea70", "CP2105"},   {"10c4:ea71", "CP2108"},
    {"0403:6001", "FT232R"}, {"0403:6010", "FT2232"}, {"0403:6011", "FT4232"},   {"0403:6014", "FT232H"},
    {"0403:6015", "FT231X"}, {"067b:2303", "PL2303"}, {"067b:23a3", "PL2303GC"},
};

const char kGroupFix[] = "sudo usermod -aG %1 \"$USER\", then log out and in again";
const char kBrlttyFix[] = "if you use no braille display: sudo apt remove brltty (or sudo systemctl mask "
                          "brltty-udev.service brltty.service), then unplug the adapter and plug it in again";
const char kModemManagerFix[] =
    "install the txconfig package (its udev rule tells ModemManager to leave USB serial adapters alone) "
    "and plug the adapter in again, or stop it: sudo systemctl stop ModemManager";
const char kRuleName[] = "70-txconfig-serial.rules";
const char *const kRuleDirs[] = {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
                                 "/lib/udev/rules.d"};

// The test root, or empty for the system itself.
QString checkRoot()
{
    return qEnvironmentVariable("TX_PORT_CHECK_ROOT");
}

QString at(const QString &path)
{
    return checkRoot() + path;
}

QByteArray readSystemFile(const QString &path)
{
    QFile f(at(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString linkTarget(const QString &path)
{
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(at(path)).constData(), buf, sizeof buf - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buf, int(n))) : QString();
}

// A "Key:\tvalue ..." line of a /proc status file, split at blanks.
QStringList statusField(const QByteArray &status, const char *key)
{
    for (const QByteArray &line : status.split('\n'))
        if (line.startsWith(key))
            return QString::fromLatin1(line.mid(int(qstrlen(key))))
                .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    return {};
}

// name:x:id:rest lines of /etc/passwd and /etc/group.
struct DbEntry {
    QString name;
    uint id = 0;
    QStringList rest;
};

QList<DbEntry> readDb(const QString &path)
{
    QList<DbEntry> out;
    for (const QByteArray &line : readSystemFile(path).split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(':');
        bool ok = false;
        const uint id = f.value(2).toUInt(&ok);
        if (f.size() >= 3 && ok)
            out << DbEntry{f[0], id, f.mid(3)};
    }
    return out;
}

QString nameOf(const QString &db, uint id)
{
    for (const DbEntry &e : readDb(db))
        if (e.id == id)
            return e.name;
    return QString::number(id);
}

// Who we are, as the kernel sees this process.
struct Identity {
    uint uid = 0;
    uint gid = 0;
    QSet<uint> groups;
    QString name;
};

Identity identity()
{
    const QByteArray status = readSystemFile("/proc/self/status");
    Identity me;
    me.uid = statusField(status, "Uid:").value(1).toUInt();
    me.gid = statusField(status, "Gid:").value(1).toUInt();
    for (const QString &g : statusField(status, "Groups:"))
        me.groups.insert(g.toUInt());
    me.groups.insert(me.gid);
    me.name = nameOf("/etc/passwd", me.uid);
    return me;
}

// Whether /etc/group (or the user's own group) makes `user` a member of gid.
bool memberByFile(const QString &user, uint gid)
{
    for (const DbEntry &e : readDb("/etc/passwd"))
        if (e.name == user && e.rest.value(0).toUInt() == gid)
            return true;
    for (const DbEntry &e : readDb("/etc/group"))
        if (e.id == gid && e.rest.value(0).split(',').contains(user))
            return true;
    return false;
}

QList<qint64> processIds()
{
    QList<qint64> out;
    for (const QString &name : QDir(at("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (ok)
            out << pid;
    }
    return out;
}

QString programOf(qint64 pid)
{
    return QString::fromUtf8(readSystemFile(QString("/proc/%1/comm").arg(pid))).trimmed();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(at(QString("/proc/%1").arg(pid)));
}

// The names the device goes by: as given, and the node it leads to.
QStringList deviceNames(const QString &devicePath)
{
    QStringList names{devicePath};
    QString canonical = QFileInfo(at(devicePath)).canonicalFilePath();
    const QString root = QFileInfo(checkRoot()).canonicalFilePath();
    if (!checkRoot().isEmpty() && canonical.startsWith(root + '/'))
        canonical = canonical.mid(root.size());
    if (!canonical.isEmpty() && canonical != devicePath)
        names << canonical;
    return names;
}

// The pseudo-terminal number of /dev/pts/N, or -1.
int ptyIndex(const QStringList &names)
{
    for (const QString &n : names)
        if (n.startsWith("/dev/pts/"))
            return n.mid(9).toInt();
    return -1;
}

// Whether fd `fd` of `pid` is the master side of pseudo-terminal `index`.
bool isPtyMaster(qint64 pid, const QString &fd, const QString &target, int index)
{
    if (index < 0 || (target != "/dev/ptmx" && target != "/dev/pts/ptmx"))
        return false;
    const QByteArray info = readSystemFile(QString("/proc/%1/fdinfo/%2").arg(pid).arg(fd));
    return statusField(info, "tty-index:").value(0) == QString::number(index);
}

QList<PortHolder> scanHolders(const QString &devicePath, int *unreadable)
{
    const QStringList names = deviceNames(devicePath);
    const int index = ptyIndex(names);
    const qint64 self = QCoreApplication::applicationPid();
    QList<PortHolder> out;
    for (qint64 pid : processIds()) {
        if (pid == self)
            continue;
        const QString fdDir = QString("/proc/%1/fd").arg(pid);
        const QDir dir(at(fdDir));
        if (!dir.isReadable()) {
            ++*unreadable;
            continue;
        }
        bool holds = false, master = false;
        for (const QString &fd : dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = linkTarget(fdDir + '/' + fd);
            holds = holds || names.contains(target);
            master = master || isPtyMaster(pid, fd, target, index);
        }
        // The process on a pseudo-terminal's master side is the device itself.
        if (holds && !master) {
            const QByteArray status = readSystemFile(QString("/proc/%1/status").arg(pid));
            out << PortHolder{pid, programOf(pid),
                              nameOf("/etc/passwd", statusField(status, "Uid:").value(0).toUInt())};
        }
    }
    return out;
}

// A UUCP lock file naming the port (LCK..ttyUSB0): ASCII or binary pid.
struct LockFile {
    QString path;
    qint64 pid = 0;
    bool alive = false;
    bool removable = true;
};

bool mayWrite(const QString &path, const struct stat &st, const Identity &me)
{
    if (checkRoot().isEmpty())
        return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
    if (me.uid == 0)
        return true;
    if (st.st_uid == me.uid)
        return (st.st_mode & S_IWUSR) != 0;
    if (me.groups.contains(st.st_gid))
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

QList<LockFile> lockFiles(const QStringList &names)
{
    QList<LockFile> out;
    QSet<QString> seen;
    const Identity me = identity();
    for (const char *dir : {"/var/lock", "/run/lock"}) {
        for (const QString &name : names) {
            const QString path =
                QString("%1/LCK..%2").arg(dir, QString(name).remove("/dev/").replace('/', '_'));
            const QFileInfo info(at(path));
            if (!info.exists() || seen.contains(info.canonicalFilePath()))
                continue;
            seen.insert(info.canonicalFilePath());
            LockFile lock{path};
            const QByteArray text = readSystemFile(path);
            bool ok = false;
            lock.pid = text.split('\n').value(0).trimmed().toLongLong(&ok);
            if (!ok && text.size() == 4) { // the binary form: a native int
                qint32 binary = 0;
                std::memcpy(&binary, text.constData(), sizeof binary);
                lock.pid = binary;
            }
            lock.alive = processAlive(lock.pid) && lock.pid != QCoreApplication::applicationPid();
            struct stat d, f;
            if (::stat(QFile::encodeName(at(dir)).constData(), &d) == 0 &&
                ::stat(QFile::encodeName(at(path)).constData(), &f) == 0)
                lock.removable =
                    mayWrite(at(dir), d, me) && (!(d.st_mode & S_ISVTX) || f.st_uid == me.uid || me.uid == 0);
            out << lock;
        }
    }
    return out;
}

// vvvv:pppp, lower case, four digits each.
QString usbId(const QString &vendor, const QString &product)
{
    auto four = [](const QString &hex) { return hex.trimmed().toLower().rightJustified(4, '0'); };
    return four(vendor) + ':' + four(product);
}

// The USB ids brltty's udev rules claim, with the rule file each is in.
QHash<QString, QString> brlttyRuleIds()
{
    static const QRegularExpression product("ENV\\{PRODUCT\\}==\"([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})/");
    static const QRegularExpression attrs(
        "ATTRS\\{idVendor\\}==\"([0-9a-fA-F]{4})\".*ATTRS\\{idProduct\\}==\"([0-9a-fA-F]{4})\"");
    QHash<QString, QString> ids;
    for (const char *dir : kRuleDirs) {
        const QDir rules(at(dir));
        for (const QString &file : rules.entryList({"*brltty*.rules"}, QDir::Files)) {
            for (const QByteArray &raw : readSystemFile(QString("%1/%2").arg(dir, file)).split('\n')) {
                const QString line = QString::fromUtf8(raw).trimmed();
                if (line.startsWith('#'))
                    continue;
                for (const QRegularExpression *re : {&product, &attrs}) {
                    const QRegularExpressionMatch m = re->match(line);
                    if (m.hasMatch())
                        ids.insert(usbId(m.captured(1), m.captured(2)), file);
                }
            }
        }
    }
    return ids;
}

// The ids of the USB devices the kernel saw.
QStringList usbDevices()
{
    QStringList out;
    const QString base = "/sys/bus/usb/devices";
    for (const QString &dev : QDir(at(base)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray vendor = readSystemFile(QString("%1/%2/idVendor").arg(base, dev));
        const QByteArray productId = readSystemFile(QString("%1/%2/idProduct").arg(base, dev));
        if (!vendor.trimmed().isEmpty() && !productId.trimmed().isEmpty())
            out << usbId(QString::fromLatin1(vendor), QString::fromLatin1(productId));
    }
    return out;
}

bool isSerialBridge(const QString &id)
{
    for (const SerialBridge &b : kSerialBridges)
        if (id == QLatin1String(b.id))
            return true;
    return false;
}

bool brlttyRunning()
{
    for (qint64 pid : processIds())
        if (programOf(pid) == "brltty")
            return true;
    return false;
}

// How brltty took an adapter the kernel saw, or empty.
QString brlttyClaim()
{
    const QHash<QString, QString> claimed = brlttyRuleIds();
    const bool running = brlttyRunning();
    QStringList ruled, bridges;
    QString rule;
    for (const QString &id : usbDevices()) {
        if (claimed.contains(id)) {
            ruled << id;
            rule = claimed.value(id);
        } else if (isSerialBridge(id)) {
            bridges << id;
        }
    }
    const QString runs = running ? ", and brltty is running" : "";
    if (!ruled.isEmpty())
        return QString("the kernel saw a USB adapter (%1) that brltty takes: its udev rule %2 matches it%3")
            .arg(ruled.join(", "), rule, runs);
    if (running && !bridges.isEmpty())
        return QString("the kernel saw a USB adapter (%1) and brltty is running: it may have taken it")
            .arg(bridges.join(", "));
    return QString();
}

QString modeText(uint mode)
{
    QString s = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
    const char *const rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        s += (mode & (0400u >> i)) ? QChar(rwx[i]) : QChar('-');
    return s;
}

bool udevRuleInstalled()
{
    for (const char *dir : kRuleDirs)
        if (QFileInfo::exists(at(QString("%1/%2").arg(dir, kRuleName))))
            return true;
    return false;
}

bool mayOpen(const QString &devicePath, const struct stat &st, const Identity &me)
{
    if (checkRoot().isEmpty())
        return ::access(QFile::encodeName(devicePath).constData(), R_OK | W_OK) == 0;
    if (me.uid == 0)
        return true;
    if (st.st_uid == me.uid)
        return (st.st_mode & 0600) == 0600;
    if (me.groups.contains(st.st_gid))
        return (st.st_mode & 060) == 060;
    return (st.st_mode & 06) == 06;
}

// Why `me` may not open the device, and the fix.
void accessRefused(const QString &devicePath, const struct stat &st, const Identity &me, PortCheck *c)
{
    const QString group = nameOf("/etc/group", st.st_gid);
    QString why;
    if ((st.st_mode & 060) != 060) {
        why = QString("its group %1 may not open it either").arg(group);
        c->fix = QString("sudo chmod g+rw %1").arg(devicePath);
    } else if (memberByFile(me.name, st.st_gid)) {
        why = QString("you (%1) joined the group %2 after logging in").arg(me.name, group);
        c->fix = QString("log out and in again (or start a shell with: newgrp %1)").arg(group);
    } else {
        why = QString("you (%1) are not in the group %2").arg(me.name, group);
        c->fix = QString(kGroupFix).arg(group);
    }
    const QString node = QFileInfo(devicePath).fileName();
    if (node.startsWith("ttyUSB") || node.startsWith("ttyACM")) {
        if (udevRuleInstalled()) {
            why += " and have no seat access (the txconfig udev rule gives it to the user logged in at this "
                   "computer's screen for an adapter plugged in after the rule was installed)";
            c->fix += "; or, logged in at this computer's screen, unplug the adapter and plug it in again";
        } else {
            why += " and the txconfig udev rule (access for the user at this computer's screen) is not "
                   "installed";
            c->fix += "; or install the txconfig package and plug the adapter in again";
        }
    }
    c->found += "; " + why;
}

QString modemManagerFix()
{
    if (!udevRuleInstalled())
        return kModemManagerFix;
    return "unplug the adapter and plug it in again (the txconfig udev rule tells ModemManager to leave the "
           "common USB serial bridge chips alone); for another adapter stop it: sudo systemctl stop "
           "ModemManager";
}

} // namespace

QString portCheckPath(const QString &devicePath)
{
    return at(devicePath);
}

QStringList usbSerialPorts()
{
    QStringList out;
    for (const QString &name :
         QDir(at("/dev")).entryList({"ttyUSB*", "ttyACM*"}, QDir::System | QDir::AllEntries))
        out << "/dev/" + name;
    std::sort(out.begin(), out.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return out;
}

PortCheck checkPortPresent(const QString &devicePath)
{
    PortCheck c{"present", true, {}, {}};
    if (!devicePath.isEmpty() && QFileInfo::exists(at(devicePath))) {
        c.found = QString("%1 is there").arg(devicePath);
        return c;
    }
    c.ok = false;
    const QStringList ports = usbSerialPorts();
    c.found =
        devicePath.isEmpty() ? QString("no port is chosen") : QString("%1 does not exist").arg(devicePath);
    c.found += ports.isEmpty() ? QString("; there is no USB serial port")
                               : QString("; the USB serial ports there are: %1").arg(ports.join(", "));
    const QString claim = brlttyClaim();
    if (!claim.isEmpty()) {
        c.found += "; " + claim;
        c.fix = kBrlttyFix;
    } else if (ports.isEmpty()) {
        c.fix = "plug the transmitter's USB adapter in";
    } else {
        c.fix = "name one of the ports there are";
    }
    return c;
}

PortCheck checkPortAccess(const QString &devicePath)
{
    PortCheck c{"access", true, {}, {}};
    struct stat st;
    if (::stat(QFile::encodeName(at(devicePath)).constData(), &st) != 0) {
        c.ok = false;
        c.found = QString("%1 cannot be looked at").arg(devicePath);
        c.fix = "name a port that is there";
        return c;
    }
    const Identity me = identity();
    c.found = QString("%1 is %2 %3:%4")
                  .arg(devicePath, modeText(st.st_mode), nameOf("/etc/passwd", st.st_uid),
                       nameOf("/etc/group", st.st_gid));
    if (mayOpen(devicePath, st, me)) {
        c.found += QString("; you (%1) may open it").arg(me.name);
        return c;
    }
    c.ok = false;
    accessRefused(devicePath, st, me, &c);
    return c;
}

QList<PortHolder> portHolders(const QString &devicePath)
{
    int unreadable = 0;
    return scanHolders(devicePath, &unreadable);
}

QString holdersText(const QList<PortHolder> &holders)
{
    QStringList parts;
    for (const PortHolder &h : holders)
        parts << QString("%1 (pid %2, user %3)").arg(h.program).arg(h.pid).arg(h.user);
    return parts.join(", ");
}

PortCheck checkPortHeld(const QString &devicePath)
{
    PortCheck c{"held", true, {}, {}};
    int unreadable = 0;
    const QList<PortHolder> holders = scanHolders(devicePath, &unreadable);
    QStringList found, fixes;
    if (!holders.isEmpty()) {
        found << QString("%1 %2 it open").arg(holdersText(holders), holders.size() == 1 ? "has" : "have");
        bool modemManager = false;
        for (const PortHolder &h : holders)
            modemManager = modemManager || h.program == "ModemManager";
        fixes << (modemManager ? modemManagerFix()
                  : holders.size() == 1
                      ? QString("close that program (it takes the transmitter's bytes)")
                      : QString("close those programs (they take the transmitter's bytes)"));
    }
    QStringList notes;
    for (const LockFile &l : lockFiles(deviceNames(devicePath))) {
        const bool holder =
            std::any_of(holders.begin(), holders.end(), [&](const PortHolder &h) { return h.pid == l.pid; });
        if (l.alive && holder) {
            continue; // said above
        } else if (l.alive) {
            found << QString("the lock file %1 names process %2 (%3), which is running")
                         .arg(l.path)
                         .arg(l.pid)
                         .arg(programOf(l.pid));
            if (holders.isEmpty())
                fixes << "close that program (or wait until it is done)";
        } else if (!l.removable) {
            found << QString("the lock file %1 names process %2, which has ended, and is not ours to remove")
                         .arg(l.path)
                         .arg(l.pid);
            fixes << QString("sudo rm %1").arg(l.path);
        } else {
            notes << QString("the stale lock file %1 (process %2 has ended) goes when the port opens")
                         .arg(l.path)
                         .arg(l.pid);
        }
    }
    c.ok = found.isEmpty();
    if (c.ok) {
        found << "no other program has it open";
        if (unreadable > 0)
            found.last() += QString(" (%1 processes of other users could not be looked at; as root they can)")
                                .arg(unreadable);
    }
    c.found = (found + notes).join("; ");
    c.fix = fixes.join("; ");
    return c;
}

PortCheck portOpenProblem(const QString &devicePath)
{
    for (PortCheck (*check)(const QString &) : {checkPortPresent, checkPortAccess, checkPortHeld}) {
        const PortCheck c = check(devicePath);
        if (!c.ok)
            return c;
    }
    return PortCheck{"open", true, {}, {}};
}

QString portOpenFailureMessage(const QString &devicePath, const QString &qtReason)
{
    const QString path = devicePath.isEmpty() || devicePath.contains('/') ? devicePath : "/dev/" + devicePath;
    const PortCheck c = portOpenProblem(path);
    const QString head = "Cannot open the serial port!\n\n";
    if (c.ok)
        return head + QString("Cause unknown; the system says: %1.").arg(qtReason);
    return head + QString("Cause: %1.\nFix: %2.").arg(c.found, c.fix);
}

#else // the system is not looked at elsewhere: every check passes, the reason is the port's own

QString portCheckPath(const QString &devicePath)
{
    return devicePath;
}

QStringList usbSerialPorts()
{
    return {};
}

PortCheck checkPortPresent(const QString &)
{
    return PortCheck{"present", true, {}, {}};
}

PortCheck checkPortAccess(const QString &)
{
    return PortCheck{"access", true, {}, {}};
}

PortCheck checkPortHeld(const QString &)
{
    return PortCheck{"held", true, {}, {}};
}

QList<PortHolder> portHolders(const QString &)
{
    return {};
}

QString holdersText(const QList<PortHolder> &)
{
    return {};
}

PortCheck portOpenProblem(const QString &)
{
    return PortCheck{"open", true, {}, {}};
}

QString portOpenFailureMessage(const QString &, const QString &qtReason)
{
    return QString("Cannot open the serial port!\n\nCause unknown; the system says: %1.").arg(qtReason);
}

#endif
