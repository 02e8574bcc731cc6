#include <QApplication>

#include "app/mainwindow.h"
#include "ui/highdpi.h"

int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication a(argc, argv);
    MainWindow w;
    w.show();
    return a.exec();
}
