#include <QAbstractButton>
#include <QEventLoopLocker>
#include <QtGlobal>
#include <functional>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "link/lines.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

// Hands bytes to the port in one write and on to the device at once. A
// closed port (closed during a pause, or never opened when Save builds the
// lines) takes nothing.
static void sendBytes(QSerialPort &port, const QByteArray &bytes)
{
    if (!port.isOpen())
        return;
    port.write(bytes);
    port.flush();
}

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
    sendBytes(serialPort, kAckWord); // handed to the device now, not on the next loop turn
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return beWord(b, a);
}

static void sendLine(QSerialPort &port, const QString &line)
{
    sendBytes(port, line.toLatin1());
}

void MainWindow::SendData1()
{
    setRawAlarms(LineKind::S, TxSettings);
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
    setRawAlarms(LineKind::H, TxSettings);
    lineH = QString::fromLatin1(buildLine(LineKind::H, TxSettings));
    sendLine(serialPort, lineH);
    waitMs(kLinePauseMs);
}

SettingsLines MainWindow::sendSettings(bool withAck)
{
    // Closing the window now does not end the program before the last line.
    const QEventLoopLocker keepRunning;
    const quint64 run = ++writeCount;
    const quint64 link = linkCount;
    // All three lines come from the store as it is now; edits made during the
    // pauses stay in the store for the next write.
    const SettingsLines lines = buildSettingsLines(TxSettings);
    lineS = QString::fromLatin1(lines.s);
    lineG = QString::fromLatin1(lines.g);
    lineH = QString::fromLatin1(lines.h);
    runSequence(
        withAck ? writeSequence(lines) : linesSequence(lines),
        // Stop when the link it started on has closed, or when a newer write
        // sequence ran in one of the pauses: that one sent a complete, newer
        // set, and lines of this older one must not follow it.
        [&] { return link == linkCount && run == writeCount; },
        [this](const QByteArray &bytes) { sendBytes(serialPort, bytes); }, waitMs);
    return lines;
}

bool MainWindow::commandMayRun(QAbstractButton *button)
{
    button->setEnabled(false);
    waitMs(kButtonLockMs);
    button->setEnabled(true);
    // A command whose window was closed during the lock does not start.
    return !windowClosed && !portClosedNotice();
}

void MainWindow::on_toolButton_Read_clicked()
{
    if (!commandMayRun(ui->toolButton_Read))
        return;
    sendBytes(serialPort, kReadWord);
    waitMs(kReadPauseMs);
}

void MainWindow::on_toolButton_Send_clicked()
{
    if (!commandMayRun(ui->toolButton_Send))
        return;
    sendSettings(true);
}

void MainWindow::on_toolButton_Reset_clicked()
{
    if (!commandMayRun(ui->toolButton_Reset))
        return;
    RestData();
    RestData2();
    sendSettings(true);
}

void MainWindow::on_pushButton_Reset2_clicked()
{
    if (!commandMayRun(ui->pushButton_Reset2))
        return;
    RestData();
    RestData2();
    sendSettings(true);
}
