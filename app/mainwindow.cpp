#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QSignalBlocker>
#include <QTimer>

#include "link/portdoctor.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

namespace {

MainWindow::PortLister portLister = &MainWindow::systemPorts;

// How long closing waits for "DIS" to leave the port before it closes anyway.
constexpr int kDisFlushMs = 200;

} // namespace

QStringList MainWindow::systemPorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

void MainWindow::setPortLister(PortLister lister)
{
    portLister = lister ? lister : &MainWindow::systemPorts;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new MainWindowForm())
{
    ui->build(this);
    connect(&serialPort, SIGNAL(readyRead()), this, SLOT(serialPort_readyRead()));
    connect(&serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onPortError);
    receiver.onFrame = [this](const DecodedFrame &f) {
        if (f.kind == FrameKind::Settings)
            ui_Display(); // show the transmitter's values at once, not at the next tick
        if ((f.kind == FrameKind::Settings || f.kind == FrameKind::Aux) && f.seq > 0)
            qDebug("ReadFlag:%d", f.seq); // readFlag itself is set by the decoder
    };
    receiver.send = [this](const QByteArray &bytes) { sendBytes(bytes); };
    fillPortList(portLister());
    ui->portNameBox->beforePopup = [this] { refreshPortList(); };
    ui->tabWidget->setCurrentIndex(0);
    timer = new QTimer(this);
    timer->start(100);
    connect(timer, SIGNAL(timeout()), this, SLOT(ui_Display()));
}

MainWindow::~MainWindow()
{
    delete ui;
    // Whatever a finished command handed to the port still goes to the
    // device before it closes; nothing new is written here.
    while (serialPort.isOpen() && serialPort.bytesToWrite() > 0 &&
           serialPort.waitForBytesWritten(kDisFlushMs)) {
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The window goes at once; a write sequence still running holds the
    // application until it has sent the rest of its lines.
    windowClosed = true;
    QMainWindow::closeEvent(event);
}

void MainWindow::fillPortList(const QStringList &names)
{
    ui->portNameBox->clear();
    for (const QString &name : names)
        ui->portNameBox->addItem(name);
}

void MainWindow::refreshPortList()
{
    // While the port is open the list shows the port in use and stays as it is.
    if (ui->openButton->text() != "OPEN")
        return;
    const QStringList names = portLister();
    QStringList shown;
    for (int i = 0; i < ui->portNameBox->count(); ++i)
        shown << ui->portNameBox->itemText(i);
    if (names == shown)
        return;
    const QString selected = ui->portNameBox->currentText();
    fillPortList(names);
    const int at = ui->portNameBox->findText(selected);
    if (at >= 0)
        ui->portNameBox->setCurrentIndex(at);
}

void MainWindow::enterClosedState()
{
    ++linkCount;
    ackOwed = false;
    // The frame still waiting for what follows it belongs to the link that
    // closed: it must not show once the port is closed.
    receiver.clear();
    for (int &v : TxLiveData.servo)
        v = 1000;
    Servo_Display();
    ui->portNameBox->setEnabled(true);
    ui->openButton->setText("OPEN");
    ui->setPortLamp(false);
    fillPortList(portLister());
}

void MainWindow::on_openButton_clicked()
{
    if (ui->openButton->text() == "OPEN") {
        serialPort.setPortName(ui->portNameBox->currentText());
        serialPort.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
        serialPort.setDataBits(QSerialPort::Data8);
        serialPort.setParity(QSerialPort::NoParity);
        serialPort.setStopBits(QSerialPort::OneStop);
        serialPort.setFlowControl(QSerialPort::NoFlowControl);
        if (!serialPort.open(QIODevice::ReadWrite)) {
            // The cause and its fix, as txctl doctor tells them.
            QMessageBox::about(
                nullptr, "Note",
                portOpenFailureMessage(ui->portNameBox->currentText(), serialPort.errorString()));
            return;
        }
        receiver.clear();
        ++linkCount;
        ackOwed = false;
        ui->portNameBox->setEnabled(false);
        ui->openButton->setText("CLOSE");
        ui->setPortLamp(true);
        serialPort.write("OK");
    } else {
        // While "DIS" drains, a chunk that arrives must not be answered:
        // "DIS" is the last thing the transmitter hears.
        QSignalBlocker quiet(&serialPort);
        serialPort.write("DIS");
        // The port sends from the event loop; make sure "DIS" is on the wire
        // before the device is closed, or the transmitter never hears it.
        while (serialPort.bytesToWrite() > 0 && serialPort.waitForBytesWritten(kDisFlushMs)) {
        }
        serialPort.close();
        enterClosedState();
    }
}

void MainWindow::onPortError(QSerialPort::SerialPortError error)
{
    // A device that vanishes while open (USB adapter unplugged) must not leave
    // the window claiming an open link.
    if (error != QSerialPort::ResourceError || !serialPort.isOpen())
        return;
    serialPort.clearError();
    serialPort.close();
    enterClosedState();
    QMessageBox::about(nullptr, "Note", "The serial port was disconnected!");
}

bool MainWindow::portClosedNotice()
{
    if (ui->openButton->text() != "OPEN")
        return false;
    QMessageBox::about(nullptr, "Note", "Please open the serial port!");
    return true;
}
