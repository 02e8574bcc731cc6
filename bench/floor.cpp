// txfloor: the floor the tool is measured against. A minimal Qt program that
// does the tool's visible job with plain widgets and nothing else:
//
//   txfloor            shows a window like the tool's first page: the toolbar
//                      row with its icons, the port list, the lamp, four
//                      telemetry texts, six tabs, eight values, eight channel
//                      labels and sixteen bars, in the tool's fonts
//   txfloor PORT       the same window, and streams like the tool: opens PORT
//                      at 115200 8N1, sends "OK", reads every chunk and
//                      answers it with "WWW" at once, and every 100 ms shows
//                      the last servo outputs (8 values, 16 bars) and 4
//                      telemetry texts
//
// No style sheets, no hidden editors, no validation: whatever the tool spends
// beyond this program is its own overhead.

#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <cstdio>

namespace {

QFont boldPx(int px, const char *family = nullptr)
{
    QFont f;
    if (family)
        f.setFamily(family);
    f.setBold(true);
    f.setPixelSize(px);
    return f;
}

QLineEdit *box(QWidget *parent, QRect r, int px, const QString &text)
{
    auto *e = new QLineEdit(text, parent);
    e->setGeometry(r);
    e->setFont(boldPx(px));
    e->setAlignment(Qt::AlignCenter);
    return e;
}

int word(const QByteArray &b, int at)
{
    return (quint8(b[at]) << 8) | quint8(b[at + 1]);
}

struct Floor {
    QWidget window;
    QLineEdit *values[8];
    QProgressBar *upper[8], *lower[8];
    QLineEdit *texts[4];
    int servo[8] = {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    int txVolt = 0, rssi = 0, rxVolt = 0, extVolt = 0;

    Floor()
    {
        window.resize(1100, 680);
        window.setWindowTitle("floor");
        const char *icons[5] = {"Receive.png", "open.png", "Send.png", "save.png", "Reset.png"};
        const char *captions[5] = {"READ", "LOAD", "WRITE", "SAVE", "RESET"};
        for (int i = 0; i < 5; ++i) {
            auto *b = new QToolButton(&window);
            b->setGeometry(20 + 120 * i, 5, 110, 90);
            b->setIcon(QIcon(QString(":/myImage/images/") + icons[i]));
            b->setIconSize(QSize(60, 60));
            b->setText(captions[i]);
            b->setFont(boldPx(20));
            b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        }
        auto *open = new QPushButton("OPEN", &window);
        open->setGeometry(630, 5, 100, 90);
        open->setFont(boldPx(22));
        auto *ports = new QComboBox(&window);
        ports->setGeometry(740, 30, 120, 40);
        QFont portFont("Arial", 16);
        portFont.setBold(true);
        ports->setFont(portFont);
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            ports->addItem(info.portName());
        auto *lamp = new QToolButton(&window);
        lamp->setGeometry(870, 30, 40, 40);
        lamp->setIcon(QIcon(":/myImage/images/red.png"));
        lamp->setIconSize(QSize(40, 40));
        const char *names[4] = {"TX:", "EXT:", "RSSI:", "RX:"};
        for (int i = 0; i < 4; ++i) {
            box(&window, QRect(920, 4 + 26 * i, 85, 25), 14, names[i]);
            texts[i] = box(&window, QRect(1010, 4 + 26 * i, 85, 25), 14, " 0.0V");
        }

        auto *tabs = new QTabWidget(&window);
        tabs->setGeometry(10, 110, 1080, 560);
        tabs->setFont(boldPx(16, "Arial"));
        auto *page = new QWidget;
        for (int n = 0; n < 8; ++n) {
            const int c = 135 * n;
            values[n] = box(page, QRect(30 + c, 20, 80, 50), 26, "0");
            box(page, QRect(40 + c, 70, 60, 31), 26, QString("CH%1").arg(n + 1));
            upper[n] = new QProgressBar(page);
            upper[n]->setGeometry(45 + c, 115, 50, 180);
            upper[n]->setOrientation(Qt::Vertical);
            upper[n]->setRange(0, 1010);
            upper[n]->setTextVisible(false);
            lower[n] = new QProgressBar(page);
            lower[n]->setGeometry(45 + c, 295, 50, 180);
            lower[n]->setOrientation(Qt::Vertical);
            lower[n]->setRange(0, 1000);
            lower[n]->setTextVisible(false);
        }
        tabs->addTab(page, "SERVO");
        for (const char *title : {"BASIC", "ADVANCE1", "ADVANCE2", "PROG.MIX", "SYSTEM"})
            tabs->addTab(new QWidget, title);
        refresh();
    }

    // The live frames: 20 bytes, marker 0xFE, kind 0x18 (eight servo words
    // and the transmitter's battery) or 0x19 (signal, receiver and external
    // voltage).
    void take(const QByteArray &chunk)
    {
        if (chunk.size() != 20 || quint8(chunk[0]) != 0xFE)
            return;
        if (quint8(chunk[1]) == 0x18) {
            for (int n = 0; n < 8; ++n)
                servo[n] = word(chunk, 2 + 2 * n);
            txVolt = word(chunk, 18);
        } else if (quint8(chunk[1]) == 0x19) {
            rssi = quint8(chunk[2]);
            rxVolt = quint8(chunk[3]);
            extVolt = word(chunk, 4);
        }
    }

    void refresh()
    {
        for (int n = 0; n < 8; ++n) {
            const int v = servo[n];
            values[n]->setText(QString::number(v));
            upper[n]->setValue(v <= 999 ? 1010 - v : 10);
            lower[n]->setValue(v <= 1000 ? 1000 : 2000 - v);
        }
        texts[0]->setText(QString::number(txVolt / 100.0, 'f', 1) + "V");
        texts[1]->setText(QString::number(extVolt / 10.0, 'f', 1) + "V");
        texts[2]->setText(rssi > 0 && rssi <= 100 ? QString("-%1dBm").arg(100 - rssi) : QString("null"));
        texts[3]->setText(QString::number(rxVolt / 10.0, 'f', 1) + "V");
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Floor floor;
    floor.window.show();

    QSerialPort port;
    QTimer refresh;
    if (argc > 1) {
        port.setPortName(QString::fromLocal8Bit(argv[1]));
        port.setBaudRate(QSerialPort::Baud115200);
        port.setDataBits(QSerialPort::Data8);
        port.setParity(QSerialPort::NoParity);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "txfloor: cannot open %s\n", argv[1]);
            return 1;
        }
        QObject::connect(&port, &QSerialPort::readyRead, [&] {
            const QByteArray chunk = port.readAll();
            if (chunk.isEmpty())
                return;
            floor.take(chunk);
            port.write("WWW");
            port.flush();
        });
        port.write("OK");
        QObject::connect(&refresh, &QTimer::timeout, [&] { floor.refresh(); });
        refresh.start(100);
    }
    return app.exec();
}
