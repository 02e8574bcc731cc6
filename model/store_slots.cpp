#include "app/mainwindow.h"
#include "model/txsettings.h"

void MainWindow::RestData()
{
    restData(TxSettings);
}

void MainWindow::RestData2()
{
    restData2(TxSettings);
}
