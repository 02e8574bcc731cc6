// txconfig-demo: the tool with a virtual transmitter built in. The
// transmitter's port comes first in the port list, so OPEN talks to it at
// once; the system's own serial ports follow.

#include <QApplication>
#include <QMessageBox>

#include "app/mainwindow.h"
#include "sim/virtualtransmitter.h"
#include "ui/highdpi.h"

namespace {

VirtualTransmitter *transmitter = nullptr;

QStringList demoPorts()
{
    QStringList ports;
    if (transmitter && transmitter->isValid())
        ports << transmitter->slavePath();
    return ports + MainWindow::systemPorts();
}

} // namespace

int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication app(argc, argv);
    VirtualTransmitter tx;
    transmitter = &tx;
    MainWindow::setPortLister(&demoPorts);
    MainWindow w;
    w.setWindowTitle(w.windowTitle() + " (demo)");
    w.show();
    if (!tx.isValid())
        QMessageBox::about(&w, "Note", "The virtual transmitter could not be started.");
    const int rc = app.exec();
    transmitter = nullptr;
    return rc;
}
