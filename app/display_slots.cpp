// The refresh routines of the window: each copies its part of the store into
// the widgets of its group (the tables of which widget shows which field are
// in ui/display.cpp).

#include "app/mainwindow.h"
#include "ui/display.h"

void MainWindow::ui_Display()
{
    Servo_Display();
    Recieve_Display();
    Rev_Display();
    EPA_Display();
    SubTrim_Display();
    FS_Display();
    Delay_Display();
    Aux_Display();
    DR_Display();
    Parameter_Display();
    Atti_Display();
    Elev_Display();
    Vtype_Display();
    Prm_Display();
    DRCure_Display();
    THcure_Display();
}

void MainWindow::Servo_Display()
{
    showServos(ui);
}

void MainWindow::Recieve_Display()
{
    showReceiver(ui);
}

void MainWindow::Rev_Display()
{
    showGroup(ui, DisplayGroup::Rev);
}

void MainWindow::EPA_Display()
{
    showGroup(ui, DisplayGroup::Epa);
}

void MainWindow::SubTrim_Display()
{
    showGroup(ui, DisplayGroup::SubTrim);
}

void MainWindow::FS_Display()
{
    showGroup(ui, DisplayGroup::Fs);
}

void MainWindow::Delay_Display()
{
    showGroup(ui, DisplayGroup::Delay);
}

void MainWindow::Aux_Display()
{
    showGroup(ui, DisplayGroup::Aux);
}

void MainWindow::DR_Display()
{
    showGroup(ui, DisplayGroup::Dr);
}

void MainWindow::Parameter_Display()
{
    showGroup(ui, DisplayGroup::Parameter);
}

void MainWindow::Atti_Display()
{
    showGroup(ui, DisplayGroup::Atti);
}

void MainWindow::Elev_Display()
{
    showGroup(ui, DisplayGroup::Elev);
}

void MainWindow::Vtype_Display()
{
    showGroup(ui, DisplayGroup::Vtype);
}

void MainWindow::Prm_Display()
{
    showGroup(ui, DisplayGroup::Prm);
}

void MainWindow::DRCure_Display()
{
    showGroup(ui, DisplayGroup::DrCure);
}

void MainWindow::THcure_Display()
{
    showGroup(ui, DisplayGroup::ThCure);
}
