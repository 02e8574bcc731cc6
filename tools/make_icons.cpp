// Draws the toolbar icons and the two connection lamps of the window, and the
// application's own icon for the desktop menu.
//
//   make_icons <outdir>
//
// writes Receive.png, open.png, Send.png, save.png, Reset.png, red.png and
// green.png (120 x 120, transparent background) into <outdir>, and beside each
// the same drawing at twice the size (Receive@2x.png, 240 x 240), which Qt
// picks on screens scaled above 200 %. The pictures are kept bold and simple
// so that they still read at 60 x 60 and 40 x 40.
//
//   make_icons --app-icon <icondir>
//
// writes the application icon, a hand-held transmitter, at every size the
// icon theme keeps as <icondir>/hicolor/NxN/apps/io.github.txconfig.txconfig.png.

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSize = 120;

const QColor kOutline(20, 24, 30);

QPen outline(qreal width = 4)
{
    return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A downward arrow dropping into an open tray.
void drawReceive(QPainter &p)
{
    QPainterPath tray;
    tray.moveTo(14, 70);
    tray.lineTo(14, 104);
    tray.lineTo(106, 104);
    tray.lineTo(106, 70);
    tray.lineTo(86, 70);
    tray.lineTo(80, 82);
    tray.lineTo(40, 82);
    tray.lineTo(34, 70);
    tray.closeSubpath();
    QLinearGradient trayFill(0, 70, 0, 104);
    trayFill.setColorAt(0, QColor(210, 215, 225));
    trayFill.setColorAt(1, QColor(140, 150, 165));
    p.setPen(outline());
    p.setBrush(trayFill);
    p.drawPath(tray);

    QPainterPath arrow;
    arrow.moveTo(48, 10);
    arrow.lineTo(72, 10);
    arrow.lineTo(72, 44);
    arrow.lineTo(90, 44);
    arrow.lineTo(60, 76);
    arrow.lineTo(30, 44);
    arrow.lineTo(48, 44);
    arrow.closeSubpath();
    QLinearGradient arrowFill(0, 10, 0, 76);
    arrowFill.setColorAt(0, QColor(120, 240, 140));
    arrowFill.setColorAt(1, QColor(30, 170, 70));
    p.setBrush(arrowFill);
    p.drawPath(arrow);
}

// An open folder: the back with its tab, and the front flap tilted forward.
void drawOpen(QPainter &p)
{
    QPainterPath back;
    back.moveTo(12, 26);
    back.lineTo(44, 26);
    back.lineTo(52, 36);
    back.lineTo(100, 36);
    back.lineTo(100, 98);
    back.lineTo(12, 98);
    back.closeSubpath();
    p.setPen(outline());
    p.setBrush(QColor(214, 150, 30));
    p.drawPath(back);

    // A sheet of paper peeking out.
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(QRectF(26, 44, 62, 40));

    QPainterPath front;
    front.moveTo(24, 56);
    front.lineTo(112, 56);
    front.lineTo(96, 98);
    front.lineTo(8, 98);
    front.closeSubpath();
    QLinearGradient frontFill(0, 56, 0, 98);
    frontFill.setColorAt(0, QColor(255, 215, 90));
    frontFill.setColorAt(1, QColor(240, 170, 40));
    p.setBrush(frontFill);
    p.drawPath(front);
}

// A paper plane flying up and to the right.
void drawSend(QPainter &p)
{
    const QPointF tip(110, 14), tail(10, 56), fold(50, 74), bottom(68, 108);
    QPainterPath upper;
    upper.moveTo(tip);
    upper.lineTo(tail);
    upper.lineTo(fold);
    upper.closeSubpath();
    QPainterPath lower;
    lower.moveTo(tip);
    lower.lineTo(fold);
    lower.lineTo(bottom);
    lower.closeSubpath();
    QPainterPath keel;
    keel.moveTo(tip);
    keel.lineTo(fold);
    keel.lineTo(50, 100);
    keel.closeSubpath();

    p.setPen(outline());
    p.setBrush(QColor(235, 245, 255));
    p.drawPath(upper);
    p.setBrush(QColor(90, 170, 255));
    p.drawPath(lower);
    p.setBrush(QColor(40, 110, 210));
    p.drawPath(keel);
}

// A floppy disk: body with a cut corner, metal shutter and white label.
void drawSave(QPainter &p)
{
    QPainterPath body;
    body.moveTo(14, 14);
    body.lineTo(92, 14);
    body.lineTo(106, 28);
    body.lineTo(106, 106);
    body.lineTo(14, 106);
    body.closeSubpath();
    QLinearGradient bodyFill(0, 14, 0, 106);
    bodyFill.setColorAt(0, QColor(70, 130, 230));
    bodyFill.setColorAt(1, QColor(35, 80, 170));
    p.setPen(outline());
    p.setBrush(bodyFill);
    p.drawPath(body);

    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(32, 14, 50, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 70, 85));
    p.drawRect(QRectF(66, 20, 10, 18));

    p.setPen(outline());
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(26, 58, 68, 40), 4, 4);
    p.setPen(QPen(QColor(170, 175, 185), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(34, 70), QPointF(86, 70));
    p.drawLine(QPointF(34, 82), QPointF(86, 82));
}

// A circular arrow turning anticlockwise.
void drawReset(QPainter &p)
{
    const QPointF c(60, 62);
    const qreal r = 38, width = 16;
    const qreal startDeg = 60, spanDeg = 290; // Qt angles: anticlockwise from 3 o'clock

    QPainterPath arc;
    arc.arcMoveTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), startDeg);
    arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), startDeg, spanDeg);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    QPainterPath band = stroker.createStroke(arc);

    // The arrowhead at the end of the arc, pointing along its direction.
    const qreal end = qDegreesToRadians(startDeg + spanDeg);
    const QPointF at(c.x() + r * qCos(end), c.y() - r * qSin(end));
    const QPointF along(-qSin(end), -qCos(end)); // direction of travel on screen
    const QPointF out(qCos(end), -qSin(end));    // away from the centre
    QPainterPath head;
    head.moveTo(at + out * 22);
    head.lineTo(at + along * 26);
    head.lineTo(at - out * 22);
    head.closeSubpath();

    QPainterPath shape = band.united(head);
    QLinearGradient fill(0, 20, 0, 104);
    fill.setColorAt(0, QColor(255, 225, 70));
    fill.setColorAt(1, QColor(240, 130, 20));
    p.setPen(outline());
    p.setBrush(fill);
    p.drawPath(shape.simplified());
}

// A round lamp with a soft highlight.
void drawLamp(QPainter &p, QColor light, QColor dark)
{
    const QRectF ring(8, 8, 104, 104);
    QLinearGradient bezel(0, 8, 0, 112);
    bezel.setColorAt(0, QColor(230, 232, 236));
    bezel.setColorAt(1, QColor(110, 115, 125));
    p.setPen(outline(3));
    p.setBrush(bezel);
    p.drawEllipse(ring);

    QRadialGradient glass(QPointF(50, 46), 56, QPointF(46, 40));
    glass.setColorAt(0, light.lighter(150));
    glass.setColorAt(0.45, light);
    glass.setColorAt(1, dark);
    p.setPen(QPen(kOutline, 2));
    p.setBrush(glass);
    p.drawEllipse(QRectF(18, 18, 84, 84));

    QRadialGradient shine(QPointF(46, 38), 26);
    shine.setColorAt(0, QColor(255, 255, 255, 200));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(24, 20, 46, 34));
}

// The application icon: a hand-held transmitter with its aerial, two sticks
// and a small display, drawn on a 256 x 256 grid and scaled. Below 32 pixels
// the display and the switches are left out and the lines get relatively
// thicker, so the outline still reads in a panel.
void drawTransmitter(QPainter &p, int size)
{
    const bool small = size < 32;
    const qreal line = small ? 14 : (size < 64 ? 10 : 7);
    p.scale(size / 256.0, size / 256.0);
    const QPen pen(kOutline, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    // The aerial, behind the case.
    p.setPen(pen);
    p.setBrush(QColor(90, 96, 108));
    p.drawRoundedRect(QRectF(178, 10, 22, 80), 10, 10);

    // The case.
    QLinearGradient body(0, 60, 0, 246);
    body.setColorAt(0, QColor(92, 104, 124));
    body.setColorAt(1, QColor(38, 44, 56));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(14, 66, 228, 176), 40, 40);

    // Two gimbals with their sticks: bezel, stick shaft, knob.
    const QPointF gimbals[2] = {QPointF(74, 172), QPointF(182, 172)};
    const QPointF knobs[2] = {QPointF(62, 150), QPointF(198, 158)};
    for (int i = 0; i < 2; ++i) {
        QRadialGradient bezel(gimbals[i], 42);
        bezel.setColorAt(0, QColor(30, 34, 40));
        bezel.setColorAt(1, QColor(150, 158, 172));
        p.setPen(pen);
        p.setBrush(bezel);
        p.drawEllipse(gimbals[i], 40, 40);
        p.setPen(QPen(kOutline, small ? 20 : 14, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(gimbals[i], knobs[i]);
        QRadialGradient knob(knobs[i] - QPointF(5, 5), 20);
        knob.setColorAt(0, QColor(255, 200, 90));
        knob.setColorAt(1, QColor(230, 120, 20));
        p.setPen(pen);
        p.setBrush(knob);
        p.drawEllipse(knobs[i], 18, 18);
    }
    if (small)
        return;

    // The display with two servo bars.
    p.setPen(QPen(kOutline, line * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient lcd(0, 86, 0, 126);
    lcd.setColorAt(0, QColor(170, 235, 150));
    lcd.setColorAt(1, QColor(100, 190, 90));
    p.setBrush(lcd);
    p.drawRoundedRect(QRectF(84, 84, 88, 44), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 30));
    p.drawRect(QRectF(96, 96, 46, 7));
    p.drawRect(QRectF(96, 110, 64, 7));

    // Two toggle switches at the top corners.
    p.setPen(pen);
    p.setBrush(QColor(210, 214, 222));
    p.drawEllipse(QPointF(46, 100), 12, 12);
    p.drawEllipse(QPointF(210, 100), 12, 12);
}

bool writeAppIcons(const QDir &root)
{
    static const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    bool ok = true;
    for (int size : sizes) {
        const QString sub = QString("hicolor/%1x%1/apps").arg(size);
        if (!root.mkpath(sub)) {
            std::fprintf(stderr, "make_icons: cannot create %s\n", qPrintable(root.filePath(sub)));
            ok = false;
            continue;
        }
        QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, true);
            drawTransmitter(p, size);
        }
        const QString path = root.filePath(sub + "/io.github.txconfig.txconfig.png");
        if (!img.save(path, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

// Writes name at 120 x 120 and name@2x at 240 x 240 (the drawing scaled).
bool writeIcon(const QDir &dir, const QString &name, const std::function<void(QPainter &)> &draw)
{
    bool ok = true;
    for (int scale : {1, 2}) {
        QImage img(kSize * scale, kSize * scale, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.scale(scale, scale);
            draw(p);
        }
        const QString file = scale == 1 ? name : QString(name).replace(".png", "@2x.png");
        const QString path = dir.filePath(file);
        if (!img.save(path, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--app-icon")
        return writeAppIcons(QDir(QString::fromLocal8Bit(argv[2]))) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons <outdir>\n       make_icons --app-icon <icondir>\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "make_icons: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    ok &= writeIcon(dir, "Receive.png", drawReceive);
    ok &= writeIcon(dir, "open.png", drawOpen);
    ok &= writeIcon(dir, "Send.png", drawSend);
    ok &= writeIcon(dir, "save.png", drawSave);
    ok &= writeIcon(dir, "Reset.png", drawReset);
    ok &= writeIcon(dir, "red.png", [](QPainter &p) { drawLamp(p, QColor(255, 40, 30), QColor(120, 0, 0)); });
    ok &= writeIcon(dir, "green.png",
                    [](QPainter &p) { drawLamp(p, QColor(40, 235, 60), QColor(0, 100, 20)); });
    return ok ? 0 : 1;
}
