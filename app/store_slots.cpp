#include "app/mainwindow.h"
#include "model/txsettings.h"
#include "model/validation.h"

void MainWindow::RestData()
{
    restData(TxSettings);
}

void MainWindow::RestData2()
{
    restData2(TxSettings);
}

void MainWindow::FalseSaveData()
{
    validateSettings(TxSettings);
}
