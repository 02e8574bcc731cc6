#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "ui/mainwindowform.h"

// Placeholder bodies until the display refresh is built (Servo_Display is
// needed by the port close already).
void MainWindow::ui_Display()
{
    Servo_Display();
}

void MainWindow::Servo_Display()
{
    QLineEdit *boxes[8] = {ui->lineEdit,   ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4,
                           ui->lineEdit_5, ui->lineEdit_6, ui->lineEdit_7, ui->lineEdit_8};
    for (int n = 0; n < 8; ++n)
        if (boxes[n])
            boxes[n]->setText(QString::number(TxLiveData.servo[n]));
}

void MainWindow::Recieve_Display() {}
void MainWindow::Rev_Display() {}
void MainWindow::EPA_Display() {}
void MainWindow::SubTrim_Display() {}
void MainWindow::FS_Display() {}
void MainWindow::Delay_Display() {}
void MainWindow::Aux_Display() {}
void MainWindow::DR_Display() {}
void MainWindow::Parameter_Display() {}
void MainWindow::Atti_Display() {}
void MainWindow::Elev_Display() {}
void MainWindow::Vtype_Display() {}
void MainWindow::Prm_Display() {}
void MainWindow::DRCure_Display() {}
void MainWindow::THcure_Display() {}
