#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#include "sim/pty.h"
#include "sim/virtualtransmitter.h"
#include "support/programs.h"
#include "support/waiting.h"

// txctl doctor and the cause of a port that will not open, the real program:
// on a system of its own (a test root of /proc, /dev, /etc and the udev
// folders), on a pseudo-terminal held by a child process, and on a healthy
// virtual transmitter.

namespace {

// A system of its own for the checks, under a temporary folder. The user is
// bob (uid 4242), or with `asOwner` the owner of the files there.
class TestRoot
{
public:
    explicit TestRoot(bool asOwner = false)
    {
        const uint uid = asOwner ? ::getuid() : 4242, gid = asOwner ? ::getgid() : 4242;
        put("/proc/self/status",
            QString("Name:\ttxctl\nUid:\t%1\t%1\t%1\t%1\nGid:\t%2\t%2\t%2\t%2\nGroups:\t%2 \n")
                .arg(uid)
                .arg(gid)
                .toLatin1());
        put("/etc/passwd", QString("root:x:0:0::/root:/bin/sh\nbob:x:%1:%2::/home/bob:/bin/sh\n")
                               .arg(uid)
                               .arg(gid)
                               .toLatin1());
        group("");
    }
    QString path() const { return dir.path(); }
    void put(const QString &file, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(dir.path() + file).path());
        QVERIFY(writeFile(dir.path() + file, bytes));
    }
    // /etc/group: the group of the files there is dialout, with these members.
    void group(const QString &members)
    {
        put("/etc/group", QString("dialout:x:%1:%2\nbob:x:4242:\n").arg(::getgid()).arg(members).toLatin1());
    }
    void device(const QString &name, QFile::Permissions mode)
    {
        put(name, QByteArray());
        QVERIFY(QFile::setPermissions(dir.path() + name, mode));
    }
    // A process of the test root: its command name, and its fd 5 on `device`.
    void process(int pid, const QByteArray &program, const QString &device = QString())
    {
        put(QString("/proc/%1/comm").arg(pid), program + '\n');
        put(QString("/proc/%1/status").arg(pid), "Name:\t" + program + "\nUid:\t0\t0\t0\t0\n");
        QDir().mkpath(QString("%1/proc/%2/fd").arg(dir.path()).arg(pid));
        if (!device.isEmpty())
            QVERIFY(QFile::link(device, QString("%1/proc/%2/fd/5").arg(dir.path()).arg(pid)));
    }

private:
    QTemporaryDir dir;
};

constexpr QFile::Permissions kOwnerAndGroup = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                              QFile::WriteUser | QFile::ReadGroup | QFile::WriteGroup;

struct Run {
    int status = -1;
    QString out, err;
};

Run txctl(const QStringList &args, const QString &root = QString())
{
    if (!root.isEmpty())
        qputenv("TX_PORT_CHECK_ROOT", QFile::encodeName(root));
    const ProgramRun r = runProgram(QStringLiteral(TXCTL_PATH), args);
    qunsetenv("TX_PORT_CHECK_ROOT");
    return {r.status, QString::fromLocal8Bit(r.out), QString::fromLocal8Bit(r.err)};
}

// The line of one check in doctor's output.
QString checkLine(const QString &out, const QString &check)
{
    for (const QString &line : out.split('\n'))
        if (line.section(' ', 1, 1) == check)
            return line;
    return QString();
}

} // namespace

class TestCliDoctor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(QStringLiteral(TXCTL_PATH)));
        QLoggingCategory::setFilterRules("txsim.info=false\ndefault.debug=false");
    }
    void findsTheCauseInTheSystem_data();
    void findsTheCauseInTheSystem();
    void namesTheProcessThatHoldsThePort();
    void aHealthyPortPasses();
};

// Each row builds a system under a test root and runs doctor on it: the
// check that fails, what it found and its fix, and the exit status.
void TestCliDoctor::findsTheCauseInTheSystem_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QStringList>("says");
    const QStringList ttyUSB0{"doctor", "/dev/ttyUSB0"};
    QTest::newRow("absent, no port at all")
        << "" << ttyUSB0 << 1 << "present"
        << "FAILED"
        << QStringList{"/dev/ttyUSB0 does not exist; there is no USB serial "
                       "port; fix: plug the transmitter's USB adapter in"};
    QTest::newRow("absent, another port there") << "ttyUSB1" << ttyUSB0 << 1 << "present"
                                                << "FAILED"
                                                << QStringList{"the USB serial ports there are: /dev/ttyUSB1",
                                                               "fix: name one of the ports there are"};
    QTest::newRow("no port named, none there")
        << "" << QStringList{"doctor"} << 1 << "present"
        << "FAILED" << QStringList{"(none) present FAILED: there is no USB serial port"};
    QTest::newRow("brltty took the adapter")
        << "brltty" << ttyUSB0 << 1 << "present"
        << "FAILED"
        << QStringList{"the kernel saw a USB adapter (1a86:7523) that brltty takes: its udev rule "
                       "85-brltty.rules matches it, and brltty is running",
                       "fix: if you use no braille display: sudo apt remove brltty"};
    QTest::newRow("not in the group")
        << "ttyUSB0" << ttyUSB0 << 1 << "access"
        << "FAILED"
        << QStringList{
               "-rw-rw---- ",
               ":dialout; you (bob) are not in the group dialout and the txconfig udev "
               "rule",
               "is not installed; fix: sudo usermod -aG dialout \"$USER\", then log out and in again; or "
               "install the txconfig package"};
    QTest::newRow("joined the group after logging in")
        << "ttyUSB0 member" << ttyUSB0 << 1 << "access"
        << "FAILED"
        << QStringList{"you (bob) joined the group dialout after logging in",
                       "fix: log out and in again (or start a shell with: newgrp dialout)"};
    QTest::newRow("no seat access") << "ttyUSB0 rule" << ttyUSB0 << 1 << "access"
                                    << "FAILED"
                                    << QStringList{"and have no seat access",
                                                   "unplug the adapter and plug it in again"};
    QTest::newRow("held by ModemManager")
        << "pty ModemManager" << ttyUSB0 << 1 << "held"
        << "FAILED"
        << QStringList{
               "ModemManager (pid 55, user root) has it open",
               "fix: install the txconfig package (its udev rule tells ModemManager to leave USB serial "
               "adapters alone) and plug the adapter in again, or stop it: sudo systemctl stop "
               "ModemManager"};
    QTest::newRow("a live lock file")
        << "pty lock 1234" << ttyUSB0 << 1 << "held"
        << "FAILED"
        << QStringList{"the lock file /run/lock/LCK..ttyUSB0 names process 1234 (minicom), which is running",
                       "fix: close that program"};
    QTest::newRow("a stale lock file")
        << "pty lock 999" << ttyUSB0 << 1 << "held"
        << "ok"
        << QStringList{
               "no other program has it open; the stale lock file /run/lock/LCK..ttyUSB0 (process 999 has "
               "ended) goes when the port opens"};
}

void TestCliDoctor::findsTheCauseInTheSystem()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, check);
    QFETCH(QString, result);
    QFETCH(QStringList, says);
    const QStringList steps = setup.split(' ', Qt::SkipEmptyParts);
    const bool onPty = steps.contains("pty");
    TestRoot root(onPty);
    QDir().mkpath(root.path() + "/dev");
    PtyPair pty; // the device, where the port must open
    if (onPty)
        QVERIFY(QFile::link(pty.slavePath(), root.path() + "/dev/ttyUSB0"));
    if (steps.value(0).startsWith("ttyUSB"))
        root.device("/dev/" + steps[0], kOwnerAndGroup);
    if (steps.contains("member"))
        root.group("bob");
    if (steps.contains("rule"))
        root.put("/usr/lib/udev/rules.d/70-txconfig-serial.rules", "# the package's\n");
    if (steps.contains("brltty")) {
        root.put("/usr/lib/udev/rules.d/85-brltty.rules",
                 "# Baum\nENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\", "
                 "GOTO=\"brltty_usb_run\"\n");
        root.put("/sys/bus/usb/devices/1-1/idVendor", "1a86\n");
        root.put("/sys/bus/usb/devices/1-1/idProduct", "7523\n");
        root.process(77, "brltty");
    }
    if (steps.contains("ModemManager"))
        root.process(55, "ModemManager", "/dev/ttyUSB0");
    if (steps.contains("lock")) {
        root.put("/run/lock/LCK..ttyUSB0", QString("%1\n").arg(steps.last(), 10).toLatin1());
        root.process(1234, "minicom");
    }

    const Run r = txctl(args, root.path());
    QCOMPARE(r.status, status);
    const QString line = checkLine(r.out, check);
    QVERIFY2(line.section(' ', 2, 2).startsWith(result), qPrintable(r.out));
    for (const QString &part : says)
        QVERIFY2(line.contains(part), qPrintable(QString("%1\nmisses: %2").arg(r.out, part)));
    // -q prints the failed checks alone; --json carries the same verdicts.
    const Run quiet = txctl(QStringList(args) << "-q", root.path());
    QCOMPARE(quiet.status, status);
    for (const QString &l : quiet.out.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(l.section(' ', 2, 2).startsWith("FAILED"), qPrintable(quiet.out));
    const Run json = txctl(QStringList(args) << "--json", root.path());
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(doc.value("usable").toBool(), status == 0);
    QCOMPARE(doc.value("ports").toArray().size(), 1);
}

// A child that has the port open is named with its pid: by doctor, by a read,
// which warns that it may take the transmitter's bytes, and by a read that
// hears nothing on a silent port.
void TestCliDoctor::namesTheProcessThatHoldsThePort()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    PtyPair silent;
    QVERIFY(silent.isValid());
    QProcess child, silentChild;
    auto hold = [](QProcess &p, const QString &port) {
        p.setStandardInputFile(port);
        p.start("sleep", {"600"});
        const QString fd0 = QString("/proc/%1/fd/0").arg(p.waitForStarted(10000) ? p.processId() : 0);
        return waitFor([&] { return QFile::symLinkTarget(fd0) == port; }, 10000);
    };
    QVERIFY(hold(child, tx.slavePath()));
    QVERIFY(hold(silentChild, silent.slavePath()));
    const QString holder = QString("sleep (pid %1, user ").arg(child.processId());
    const qint64 silentHolder = silentChild.processId();

    const Run doctor = txctl({"doctor", tx.slavePath()});
    QTemporaryDir dir;
    const Run read = txctl({"read", tx.slavePath(), "-o", dir.filePath("model.txt")});
    const Run unheard =
        txctl({"read", silent.slavePath(), "-o", dir.filePath("none.txt"), "--timeout", "0.5"});
    for (QProcess *p : {&child, &silentChild}) {
        p->kill();
        p->waitForFinished(10000);
    }
    QCOMPARE(unheard.status, 2);
    QVERIFY2(
        unheard.err.contains(
            QString("no answer from the transmitter within 0.5 s; sleep (pid %1, user ").arg(silentHolder)),
        qPrintable(unheard.err));
    QVERIFY2(unheard.err.contains(
                 QString(") has it open as well and may take its bytes; txctl doctor %1 says more")
                     .arg(silent.slavePath())),
             qPrintable(unheard.err));

    QCOMPARE(doctor.status, 1);
    const QString held = checkLine(doctor.out, "held");
    QVERIFY2(held.contains(holder) && held.contains(") has it open"), qPrintable(doctor.out));
    QVERIFY2(held.contains("fix: close that program"), qPrintable(doctor.out));
    QVERIFY2(checkLine(doctor.out, "heard").contains(" ok: "), qPrintable(doctor.out));
    QCOMPARE(read.status, 0);
    QVERIFY2(read.err.contains(QString("txctl: warning: %1 is open in %2").arg(tx.slavePath(), holder)),
             qPrintable(read.err));
}

// A transmitter behind a free port: every check passes, --read included.
void TestCliDoctor::aHealthyPortPasses()
{
    VirtualTransmitter tx;
    QVERIFY(tx.isValid());
    const Run r = txctl({"doctor", tx.slavePath(), "--read"});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    for (const char *check : {"present", "access", "held", "opens", "heard", "answers"})
        QVERIFY2(checkLine(r.out, check).section(' ', 2, 2) == "ok:", qPrintable(r.out));
    QCOMPARE(r.err, QString());
    QCOMPARE(tx.receivedCount("OK"), 1);
    QVERIFY(waitFor([&] { return tx.receivedCount("DIS") == 1; }, 10000));
}

QTEST_GUILESS_MAIN(TestCliDoctor)
#include "test_cli_doctor.moc"
