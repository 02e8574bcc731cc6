#include "app/mainwindow.h"

// Placeholder bodies until the settings file is built.
void MainWindow::on_toolButton_Save_clicked() {}
void MainWindow::on_toolButton_Load_clicked() {}
