#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include "support/programs.h"

// txsim's fault switches, seen by txctl as a user would: a transmitter that
// says nothing (--mute) and a cable pulled (--vanish-after).
class TestCliTxsim : public QObject
{
    Q_OBJECT
private slots:
    void faults_data();
    void faults();
    void helpThatCannotBeWritten();
};

void TestCliTxsim::faults_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("message");
    QTest::newRow("mute") << QStringList{"--mute"} << "no answer from the transmitter within 1 s";
    QTest::newRow("vanish") << QStringList{"--vanish-after", "3"} << "the device went away";
}

void TestCliTxsim::faults()
{
    QFETCH(QStringList, switches);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString port = dir.filePath("tx");
    QProcess sim;
    sim.start(TXSIM_PATH, switches + QStringList{"--link", port});
    QVERIFY(sim.waitForReadyRead(30000)); // the port's path, once the link is made
    const ProgramRun r = runProgram(TXCTL_PATH, {"monitor", port, "--timeout", "1", "--seconds", "20"});
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
    if (switches.contains("--mute")) {
        sim.terminate();
        QVERIFY(sim.waitForFinished(30000));
    } else { // gone by itself, and its link with it
        QVERIFY(sim.state() == QProcess::NotRunning || sim.waitForFinished(30000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(port).isSymLink());
    }
}

// Help that cannot be written (a full disk) is no success, as for txctl.
void TestCliTxsim::helpThatCannotBeWritten()
{
    const ProgramRun help = runProgram("/bin/sh", {"-c", "exec \"$0\" --help >/dev/full", TXSIM_PATH});
    QCOMPARE(help.status, 1);
    QCOMPARE(help.err, QByteArray("txsim: standard output: cannot write it (No space left on device)\n"));
    QVERIFY(runProgram(TXSIM_PATH, {"--help"}).out.startsWith("Usage: "));
    QCOMPARE(runProgram(TXSIM_PATH, {"--no-such-switch"}).status, 1);
}

QTEST_MAIN(TestCliTxsim)
#include "test_cli_txsim.moc"
