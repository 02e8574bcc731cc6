#include "app/mainwindow.h"

// Placeholder bodies until the link is built.
void MainWindow::serialPort_readyRead()
{
    serialPort.readAll();
}
int MainWindow::byteArrayToInt(QByteArray, int)
{
    return 0;
}
void MainWindow::on_toolButton_Read_clicked() {}
void MainWindow::on_toolButton_Send_clicked() {}
void MainWindow::on_toolButton_Reset_clicked() {}
void MainWindow::on_pushButton_Reset2_clicked() {}
void MainWindow::SendData1() {}
void MainWindow::SendData2() {}
void MainWindow::SendData3() {}
