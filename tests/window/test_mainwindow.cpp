#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <pwd.h>
#include <unistd.h>

#include <QAccessible>

#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "sim/pty.h"
#include "sim/virtualtransmitter.h"
#include "support/testutil.h"
#include "ui/mainwindowform.h"

// The open/close button, the port list, the port guard and the pause helper,
// against a real serial port on a pseudo-terminal.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void startState();
    void openSendsOkAndShowsOpen();
    void closeSendsDisBeforeClosing();
    void portListRefreshedOnlyAfterClose();
    void failedOpenChangesNothing();
    void failedOpenChangesNothing_data();
    void deviceVanishingClosesAndTells();
    void waitMsKeepsEventLoopRunning();
    void buildingWritesNoSetting();
    void portLampIsAStatusIndicator();
};

void TestMainWindow::startState()
{
    setTestPorts({"/dev/a", "/dev/b"});
    MainWindow w;
    MainWindowForm *ui = w.form();
    QCOMPARE(ui->openButton->text(), QString("OPEN"));
    QVERIFY(ui->portNameBox->isEnabled());
    QCOMPARE(ui->portNameBox->count(), 2);
    QCOMPARE(ui->portNameBox->itemText(0), QString("/dev/a"));
    QCOMPARE(ui->portNameBox->itemText(1), QString("/dev/b"));
    QCOMPARE(ui->tabWidget->currentIndex(), 0); // SERVO, although the build selects SYSTEM
    QVERIFY(!w.port().isOpen());
}

void TestMainWindow::openSendsOkAndShowsOpen()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    const QImage red = ui->toolButton_led->icon().pixmap(40, 40).toImage();
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    QCOMPARE(w.port().baudRate(QSerialPort::Input), 115200);
    QCOMPARE(w.port().baudRate(QSerialPort::Output), 115200);
    QCOMPARE(w.port().dataBits(), QSerialPort::Data8);
    QCOMPARE(w.port().parity(), QSerialPort::NoParity);
    QCOMPARE(w.port().stopBits(), QSerialPort::OneStop);
    QCOMPARE(w.port().flowControl(), QSerialPort::NoFlowControl);
    QCOMPARE(ui->openButton->text(), QString("CLOSE"));
    QVERIFY(!ui->portNameBox->isEnabled());
    const QImage green = ui->toolButton_led->icon().pixmap(40, 40).toImage();
    QVERIFY(green != red);
    QCOMPARE(green, QIcon(":/myImage/images/green.png").pixmap(40, 40).toImage());
    QByteArray got = readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; });
    QCOMPARE(got, QByteArray("OK"));
}

void TestMainWindow::closeSendsDisBeforeClosing()
{
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    clickOpen(w);
    QCOMPARE(readWhile(pty, 5000, [](const QByteArray &b) { return b.size() >= 2; }), QByteArray("OK"));
    for (int i = 0; i < 8; ++i)
        TxLiveData.servo[i] = 1200 + i;
    QMetaObject::invokeMethod(&w, "ui_Display", Qt::DirectConnection);
    QCOMPARE(ui->lineEdit_8->text(), QString("1207"));

    clickOpen(w); // no event loop turn between the click and the checks below
    QVERIFY(!w.port().isOpen());
    // "DIS" left the port before it was closed.
    QCOMPARE(pty.read(1000), QByteArray("DIS"));
    QLineEdit *values[8] = {ui->lineEdit,   ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                            ui->lineEdit_5, ui->lineEdit_6, ui->lineEdit_7, ui->lineEdit_8};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(TxLiveData.servo[i], 1000);
        QCOMPARE(values[i]->text(), QString("1000")); // shown at once, not at the next tick
    }
    QCOMPARE(ui->openButton->text(), QString("OPEN"));
    QVERIFY(ui->portNameBox->isEnabled());
    QCOMPARE(ui->toolButton_led->icon().pixmap(40, 40).toImage(),
             QIcon(":/myImage/images/red.png").pixmap(40, 40).toImage());
    // Nothing more is written after closing.
    QCOMPARE(readWhile(pty, 300), QByteArray());
}

void TestMainWindow::portListRefreshedOnlyAfterClose()
{
    PtyPair pty;
    setTestPorts({pty.slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    setTestPorts({pty.slavePath(), "/dev/new"});
    QCOMPARE(ui->portNameBox->count(), 1);
    ui->portNameBox->showPopup(); // not even when its list opens
    QCOMPARE(ui->portNameBox->count(), 1);
    clickOpen(w);
    QCOMPARE(ui->portNameBox->count(), 2);
    QCOMPARE(ui->portNameBox->itemText(1), QString("/dev/new"));
    setTestPorts({"/dev/late", pty.slavePath(), "/dev/new"}); // plugged in while the port was closed
    ui->portNameBox->showPopup();
    QCOMPARE(ui->portNameBox->itemText(0), QString("/dev/late"));
    QCOMPARE(ui->portNameBox->currentText(), pty.slavePath()); // still the selected one
}

void TestMainWindow::failedOpenChangesNothing()
{
    QFETCH(QStringList, ports);
    QFETCH(bool, held);
    QFETCH(QString, message);
    // Held: a transmitter whose port txctl has open; otherwise the system
    // is an empty test root, so no port of this computer shows in the text.
    VirtualTransmitter tx;
    QProcess holder;
    QTemporaryDir root;
    if (held) {
        ports = QStringList{tx.slavePath()};
        holder.start(TXCTL_PATH, {"monitor", "-q", tx.slavePath(), "--csv", root.filePath("live.csv")});
        QVERIFY(waitFor([&] { return tx.receivedCount("OK") > 0; }, 10000));
        message.replace("PID", QString::number(holder.processId()))
            .replace("USER", QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name));
    } else {
        qputenv("TX_PORT_CHECK_ROOT", QFile::encodeName(root.path()));
    }
    setTestPorts(ports);
    MainWindow w;
    MainWindowForm *ui = w.form();
    setTestPorts({"/dev/other"});
    const TxLiveDataRecord live = TxLiveData;
    MessageBoxCatcher boxes;
    clickOpen(w);
    qunsetenv("TX_PORT_CHECK_ROOT");
    holder.terminate();
    QVERIFY(!held || waitFor([&] { return holder.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes[0].first, QString("Note"));
    QCOMPARE(boxes.boxes[0].second, message);
    QCOMPARE(ui->openButton->text(), QString("OPEN"));
    QVERIFY(ui->portNameBox->isEnabled());
    QCOMPARE(ui->portNameBox->count(), ports.size()); // not refreshed after a failed open
    QVERIFY(!w.port().isOpen());
    QVERIFY(TxLiveData == live);
}

void TestMainWindow::failedOpenChangesNothing_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("message"); // the cause and the fix after the fixed first line
    const QString noPort = "there is no USB serial port.\nFix: plug the transmitter's USB adapter in.";
    QTest::newRow("empty list") << QStringList() << false
                                << "Cannot open the serial port!\n\nCause: no port is chosen; " + noPort;
    QTest::newRow("missing device") << QStringList{"/nonexistent/ttyUSB9"} << false
                                    << "Cannot open the serial port!\n\nCause: /nonexistent/ttyUSB9 does not "
                                       "exist; " +
                                           noPort;
    QTest::newRow("held by txctl")
        << QStringList() << true
        << "Cannot open the serial port!\n\nCause: txctl (pid PID, user USER) has it "
           "open.\nFix: close that program (it takes the transmitter's bytes).";
}

void TestMainWindow::deviceVanishingClosesAndTells()
{
    auto pty = std::make_unique<PtyPair>();
    setTestPorts({pty->slavePath()});
    MainWindow w;
    MainWindowForm *ui = w.form();
    clickOpen(w);
    QVERIFY(w.port().isOpen());
    TxLiveData.servo[0] = 1500;
    MessageBoxCatcher boxes;
    setTestPorts({"/dev/after"});
    pty->closeMaster(); // the adapter is pulled
    QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 10000);
    QCOMPARE(boxes.boxes[0].first, QString("Note"));
    QCOMPARE(boxes.boxes[0].second, QString("The serial port was disconnected!"));
    QVERIFY(!w.port().isOpen());
    QCOMPARE(ui->openButton->text(), QString("OPEN"));
    QVERIFY(ui->portNameBox->isEnabled());
    QCOMPARE(ui->portNameBox->itemText(0), QString("/dev/after")); // refilled
    QCOMPARE(TxLiveData.servo[0], 1000);
    QCOMPARE(ui->lineEdit->text(), QString("1000"));
}

void TestMainWindow::waitMsKeepsEventLoopRunning()
{
    int fired = 0;
    QTimer t;
    QObject::connect(&t, &QTimer::timeout, [&] { ++fired; });
    t.start(10);
    QElapsedTimer clock;
    clock.start();
    waitMs(200);
    QVERIFY(clock.elapsed() >= 190);
    QVERIFY(fired >= 1);
}

void TestMainWindow::buildingWritesNoSetting()
{
    setTestPorts({});
    LogCatcher log;
    MainWindow w;
    QVERIFY(TxSettings == startSettings());
    QVERIFY(TxLiveData == startLiveData());
    QVERIFY(!log.contains("No matching signal"));
}

// A screen reader hears the lamp as a status indicator that says whether
// the port is open, not as a button that does nothing.
void TestMainWindow::portLampIsAStatusIndicator()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    setTestPorts({pty.slavePath()});
    MainWindow w;
    QAccessibleInterface *lamp = QAccessible::queryAccessibleInterface(w.form()->toolButton_led);
    QVERIFY(lamp);
    QCOMPARE(lamp->role(), QAccessible::Indicator);
    QVERIFY(!lamp->actionInterface() || lamp->actionInterface()->actionNames().isEmpty());
    const QString names[] = {"port closed", "port open", "port closed"};
    for (const QString &name : names) {
        QCOMPARE(lamp->text(QAccessible::Name), name);
        clickOpen(w);
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
