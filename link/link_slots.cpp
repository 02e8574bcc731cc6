#include <QAbstractButton>
#include <QtGlobal>
#include <functional>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

namespace {

// Pause after each settings line, so the transmitter can take it in.
constexpr int kLinePauseMs = 800;
// Pause after "RR" while the settings frames come in.
constexpr int kReadPauseMs = 500;
// How long a command button stays locked after a click.
constexpr int kButtonLockMs = 200;

} // namespace

void MainWindow::serialPort_readyRead()
{
    const QByteArray chunk = serialPort.readAll();
    if (chunk.isEmpty())
        return;
    decoder.feed(chunk, TxSettings, TxLiveData, [this](const DecodedFrame &f) {
        if (f.kind == FrameKind::Settings)
            ui_Display(); // show the transmitter's values at once, not at the next tick
        if ((f.kind == FrameKind::Settings || f.kind == FrameKind::Aux) && f.seq > 0)
            qDebug("ReadFlag:%d", f.seq); // readFlag itself is set by the decoder
    });
    Dr_DataSelet();
    FalseSaveData();
    serialPort.write("WWW");
    serialPort.flush(); // hand the answer to the device now, not on the next loop turn
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return beWord(b, a);
}

// Hands bytes to the port in one write. A closed port (closed during a pause,
// or never opened when Save builds the lines) takes nothing.
static void sendBytes(QSerialPort &port, const QByteArray &bytes)
{
    if (port.isOpen())
        port.write(bytes);
}

static void sendLine(QSerialPort &port, const QString &line)
{
    sendBytes(port, line.toLatin1());
}

void MainWindow::SendData1()
{
    TxSettings.txAlarmRaw = toTenths(TxSettings.txAlarmVolt);
    lineS = QString::fromLatin1(buildLine(LineKind::S, TxSettings));
    sendLine(serialPort, lineS);
    waitMs(kLinePauseMs);
}

void MainWindow::SendData2()
{
    lineG = QString::fromLatin1(buildLine(LineKind::G, TxSettings));
    sendLine(serialPort, lineG);
    waitMs(kLinePauseMs);
}

void MainWindow::SendData3()
{
    TxSettings.rxAlarmRaw = toTenths(TxSettings.rxAlarmVolt);
    TxSettings.extAlarmRaw = toTenths(TxSettings.extAlarmVolt);
    lineH = QString::fromLatin1(buildLine(LineKind::H, TxSettings));
    sendLine(serialPort, lineH);
    waitMs(kLinePauseMs);
}

// Locks the button for a moment, then tells whether the port is open
// (showing the notice when it is not).
static bool commandMayRun(QAbstractButton *button, const std::function<bool()> &portClosed)
{
    button->setEnabled(false);
    waitMs(kButtonLockMs);
    button->setEnabled(true);
    return !portClosed();
}

void MainWindow::on_toolButton_Read_clicked()
{
    if (!commandMayRun(ui->toolButton_Read, [this] { return portClosedNotice(); }))
        return;
    sendBytes(serialPort, "RR");
    waitMs(kReadPauseMs);
}

// The S, G and H lines, 800 ms apart, then the closing "WWW".
void MainWindow::writeSequence()
{
    SendData1();
    SendData2();
    SendData3();
    sendBytes(serialPort, "WWW");
}

void MainWindow::on_toolButton_Send_clicked()
{
    if (!commandMayRun(ui->toolButton_Send, [this] { return portClosedNotice(); }))
        return;
    writeSequence();
}

void MainWindow::on_toolButton_Reset_clicked()
{
    if (!commandMayRun(ui->toolButton_Reset, [this] { return portClosedNotice(); }))
        return;
    RestData();
    RestData2();
    writeSequence();
}

void MainWindow::on_pushButton_Reset2_clicked()
{
    if (!commandMayRun(ui->pushButton_Reset2, [this] { return portClosedNotice(); }))
        return;
    RestData();
    RestData2();
    writeSequence();
}
