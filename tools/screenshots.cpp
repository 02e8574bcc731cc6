// Writes a picture of every page of the main window, for looking at the
// layout without a transmitter:
//
//   txshots [--scaled] <outdir>
//
// produces <outdir>/page_<index>_<title>.png for the six tabs. With --scaled
// the window follows the screen's scale as txconfig does (under Xvfb with
// -dpi 144 the pictures are 1.5 times as large); without it the pictures are
// taken at 100 % whatever the platform says (the offscreen platform claims
// 100 dpi), so that pictures of two builds can be compared byte for byte.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QRegularExpression>
#include <cstdio>

#include "app/mainwindow.h"
#include "ui/highdpi.h"
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
    const bool scaled = argc == 3 && QByteArray(argv[1]) == "--scaled";
    if (scaled)
        enableHighDpiScaling();
    QApplication app(argc, argv);
    if (argc != 2 + int(scaled)) {
        std::fprintf(stderr, "usage: txshots [--scaled] <outdir>\n");
        return 2;
    }
    const char *out = argv[argc - 1];
    QDir dir(QString::fromLocal8Bit(out));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "txshots: cannot create %s\n", out);
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
