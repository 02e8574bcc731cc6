// Writes a picture of every page of the main window, for looking at the
// layout without a transmitter:
//
//   txshots <outdir>
//
// produces <outdir>/page_<index>_<title>.png for the six tabs.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QRegularExpression>
#include <cstdio>

#include "app/mainwindow.h"
#include "ui/mainwindowform.h"

namespace {

// Lets layouts, style sheets and the first refresh ticks settle.
void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: txshots <outdir>\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "txshots: cannot create %s\n", argv[1]);
        return 1;
    }

    MainWindow window;
    window.show();
    settle(300);

    QTabWidget *tabs = window.form()->tabWidget;
    bool ok = true;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        settle(250);
        QString title = tabs->tabText(i);
        title.replace(QRegularExpression("[^A-Za-z0-9]+"), "_");
        const QString path = dir.filePath(QString("page_%1_%2.png").arg(i).arg(title));
        if (!window.grab().save(path, "PNG")) {
            std::fprintf(stderr, "txshots: cannot write %s\n", qPrintable(path));
            ok = false;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    return ok ? 0 : 1;
}
