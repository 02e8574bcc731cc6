#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoopLocker>
#include <QMessageBox>
#include <QtGlobal>
#include <functional>

#include "app/mainwindow.h"
#include "link/frames.h"
#include "link/lines.h"
#include "link/receive.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

// Hands bytes to the port in one write and on to the device at once. A
// closed port (closed during a pause, or never opened when Save builds the
// lines) takes nothing.
void MainWindow::sendBytes(const QByteArray &bytes)
{
    if (!serialPort.isOpen())
        return;
    serialPort.write(bytes);
    serialPort.flush();
}

void MainWindow::serialPort_readyRead()
{
    receiver.receive(serialPort.readAll());
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return beWord(b, a);
}

// The encoders: each sends its line of the settings as they are now, built
// as every write builds them, then pauses.
void MainWindow::sendLineNow(LineKind kind)
{
    const SettingsLines lines = buildSettingsLines(TxSettings);
    lineS = QString::fromLatin1(lines.s);
    lineG = QString::fromLatin1(lines.g);
    lineH = QString::fromLatin1(lines.h);
    sendBytes(kind == LineKind::S ? lines.s : kind == LineKind::G ? lines.g : lines.h);
    waitMs(kLinePauseMs);
}

void MainWindow::SendData1()
{
    sendLineNow(LineKind::S);
}

void MainWindow::SendData2()
{
    sendLineNow(LineKind::G);
}

void MainWindow::SendData3()
{
    sendLineNow(LineKind::H);
}

SettingsLines MainWindow::sendSettings(bool withAck, quint64 *runOut)
{
    // Closing the window now does not end the program before the last line.
    const QEventLoopLocker keepRunning;
    const quint64 run = ++writeCount;
    const quint64 link = linkCount;
    if (runOut)
        *runOut = run;
    if (withAck)
        ackOwed = true;
    // All three lines come from the store as it is now; edits made during the
    // pauses stay in the store for the next write.
    const SettingsLines lines = buildSettingsLines(TxSettings);
    lineS = QString::fromLatin1(lines.s);
    lineG = QString::fromLatin1(lines.g);
    lineH = QString::fromLatin1(lines.h);
    // Stop when the link it started on has closed, or when a newer sequence
    // ran in one of the pauses: that one sent a complete, newer set, and
    // lines of this older one must not follow it.
    const auto current = [&] { return link == linkCount && run == writeCount; };
    const bool whole = runSequence(
        linesSequence(lines), current, [this](const QByteArray &bytes) { sendBytes(bytes); }, waitMs);
    // The sequence that ends last closes every write it overtook (or its
    // own) with "WWW": SAVE alone sends none, SAVE within WRITE sends it.
    if (whole && ackOwed && current()) {
        ackOwed = false;
        sendBytes(kAckWord);
    }
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
    // The answer is staged: the editors change only when a whole set has
    // come. The first pause is the command's own; the later asks end as soon
    // as a set is taken.
    const quint64 link = linkCount;
    bool first = true;
    LinkReceiver::ReadHooks hooks;
    hooks.mayGoOn = [&] { return link == linkCount; };
    hooks.wait = [&](int ms, const std::function<bool()> &done) {
        if (first) {
            first = false;
            waitMs(ms);
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (!done() && link == linkCount && clock.elapsed() < ms)
            waitMs(kReadPollMs);
    };
    if (receiver.read(hooks) == LinkReceiver::ReadOutcome::NotWhole && link == linkCount)
        readNotWholeNotice(receiver.notWholeText());
}

void MainWindow::readNotWholeNotice(const QString &why)
{
    QMessageBox::about(nullptr, "Note",
                       QString("The settings did not arrive whole (%1). Nothing was changed.").arg(why));
}

void MainWindow::on_toolButton_Send_clicked()
{
    if (!commandMayRun(ui->toolButton_Send))
        return;
    sendSettings(true);
}

void MainWindow::on_toolButton_Reset_clicked()
{
    resetFrom(ui->toolButton_Reset);
}

void MainWindow::on_pushButton_Reset2_clicked()
{
    resetFrom(ui->pushButton_Reset2);
}

void MainWindow::resetFrom(QAbstractButton *button)
{
    if (!commandMayRun(button))
        return;
    RestData();
    RestData2();
    sendSettings(true);
}
