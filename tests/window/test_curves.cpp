#include <QtTest>

#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QWindow>
#include <climits>

#include "app/mainwindow.h"
#include "model/curvegeometry.h"
#include "model/txsettings.h"
#include "support/testutil.h"
#include "ui/curves.h"
#include "ui/mainwindowform.h"

using Points7 = std::array<QPoint, 7>;
using Ints7 = std::array<int, 7>;
Q_DECLARE_METATYPE(Points7)
Q_DECLARE_METATYPE(Ints7)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kWhite = qRgb(255, 255, 255);

QImage paint(QWidget &w)
{
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(Qt::gray);
    w.render(&image);
    return image;
}

// True when a pixel of colour c lies within r pixels of p.
bool colourNear(const QImage &img, QPoint p, QRgb c, int r = 2)
{
    for (int y = p.y() - r; y <= p.y() + r; ++y)
        for (int x = p.x() - r; x <= p.x() + r; ++x)
            if (img.valid(x, y) && (img.pixel(x, y) & 0xffffff) == (c & 0xffffff))
                return true;
    return false;
}

int countColour(const QImage &img, QRgb c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xffffff) == (c & 0xffffff);
    return n;
}

QPoint lerp(QPoint a, QPoint b, int num, int den)
{
    return a + (b - a) * num / den;
}

// What the window currently shows on screen, i.e. what was last painted into
// its backing store (unlike render(), this does not paint anew).
QImage shown(QWidget *w)
{
    QWidget *top = w->window();
    const QImage all = top->windowHandle()->screen()->grabWindow(top->winId()).toImage();
    return all.copy(QRect(w->mapTo(top, QPoint(0, 0)), w->size()));
}

} // namespace

class TestCurves : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetStore(); }
    void throttlePoints_data();
    void throttlePoints();
    void throttleGrid_data();
    void throttleGrid();
    void drCurve_data();
    void drCurve();
    void drAxes();
    void throttlePixels_data();
    void throttlePixels();
    void throttleOutOfRangeIsClipped();
    void drPixels_data();
    void drPixels();
    void mixSwitchesDoNotChangePlots();
    void fillKeepsItsSize();
    void plotsFollowStoreWhileShown();
};

void TestCurves::throttlePoints_data()
{
    QTest::addColumn<Ints7>("thcure");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<Points7>("points");

    QTest::newRow("start values") << Ints7{0, 16, 33, 50, 67, 84, 100} << 300 << 300
                                  << Points7{QPoint(30, 270),  QPoint(63, 231),  QPoint(106, 190),
                                             QPoint(150, 150), QPoint(193, 109), QPoint(236, 68),
                                             QPoint(280, 30)};
    QTest::newRow("flat 50") << Ints7{50, 50, 50, 50, 50, 50, 50} << 300 << 300
                             << Points7{QPoint(30, 150),  QPoint(63, 150),  QPoint(106, 150),
                                        QPoint(150, 150), QPoint(193, 150), QPoint(236, 150),
                                        QPoint(280, 150)};
    // Negative products truncate toward zero: 101 % gives -2.4 -> -2, not -3.
    QTest::newRow("just outside") << Ints7{101, -1, 100, 0, 150, -50, 1} << 300 << 300
                                  << Points7{QPoint(30, 28),   QPoint(63, 272),  QPoint(106, 30),
                                             QPoint(150, 270), QPoint(193, -90), QPoint(236, 390),
                                             QPoint(280, 267)};
    // At another size the spacing follows the widget; each division stands alone.
    QTest::newRow("301x301") << Ints7{0, 16, 33, 50, 67, 84, 100} << 301 << 301
                             << Points7{QPoint(30, 271),  QPoint(63, 232), QPoint(107, 191), QPoint(150, 150),
                                        QPoint(194, 109), QPoint(237, 68), QPoint(281, 30)};
    QTest::newRow("absurd values") << Ints7{INT_MIN, INT_MAX, INT_MIN, INT_MAX, 0, 0, 0} << 300 << 300
                                   << Points7{QPoint(30, 21474866),  QPoint(63, -21474806),
                                              QPoint(106, 21474866), QPoint(150, -21474806),
                                              QPoint(193, 270),      QPoint(236, 270),
                                              QPoint(280, 270)};
}

void TestCurves::throttlePoints()
{
    QFETCH(Ints7, thcure);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(Points7, points);
    const Points7 got = ::throttlePoints(thcure.data(), width, height);
    for (int k = 0; k < 7; ++k)
        QCOMPARE(got[k], points[k]);
}

void TestCurves::throttleGrid_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<std::vector<int>>("rows");
    QTest::addColumn<std::vector<int>>("rowDashX");
    QTest::addColumn<std::vector<int>>("columns");
    QTest::addColumn<std::vector<int>>("columnDashY");

    std::vector<int> dashes; // 30, 45, ... 270
    for (int x = 30; x <= 270; x += 15)
        dashes.push_back(x);
    std::vector<int> dashY(dashes.begin(), dashes.end() - 1); // up to 255
    QTest::newRow("300x300") << 300 << 300
                             << std::vector<int>{30, 54, 78, 102, 126, 150, 174, 198, 222, 246, 270} << dashes
                             << std::vector<int>{63, 106, 150, 193, 236, 280} << dashY;
    // Rows at 30 + (j*241)/10 and columns at 20 + (j*261)/6.
    // Horizontal dashes may start up to Wm - 20 = 280, vertical ones up to Hm - 30 = 270.
    QTest::newRow("301x301") << 301 << 301
                             << std::vector<int>{30, 54, 78, 102, 126, 150, 174, 198, 222, 246, 271} << dashes
                             << std::vector<int>{63, 107, 150, 194, 237, 281} << dashes;
    // The horizontal grid needs Wm - 19 > 20, the vertical one Hm > 49.
    QTest::newRow("40 wide") << 40 << 300 << std::vector<int>{} << std::vector<int>{}
                             << std::vector<int>{20, 20, 20, 20, 20, 20} << dashY;
    QTest::newRow("41 wide") << 41 << 300
                             << std::vector<int>{30, 54, 78, 102, 126, 150, 174, 198, 222, 246, 270}
                             << std::vector<int>{} << std::vector<int>{20, 20, 20, 20, 20, 21} << dashY;
    QTest::newRow("50 high") << 300 << 50 << std::vector<int>{30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20}
                             << dashes << std::vector<int>{} << std::vector<int>{};
    QTest::newRow("empty") << 0 << 0 << std::vector<int>{} << std::vector<int>{} << std::vector<int>{}
                           << std::vector<int>{};
}

void TestCurves::throttleGrid()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const ThrottleGrid g = ::throttleGrid(width, height);
    QTEST(g.rows, "rows");
    QTEST(g.rowDashX, "rowDashX");
    QTEST(g.columns, "columns");
    QTEST(g.columnDashY, "columnDashY");
}

void TestCurves::drCurve_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("expo");
    QTest::addColumn<int>("size");
    QTest::addColumn<QPoint>("lowerStart");
    QTest::addColumn<QPoint>("lowerC2");
    QTest::addColumn<QPoint>("upperStart");
    QTest::addColumn<QPoint>("upperC2");

    QTest::newRow("R100 E0 diagonal")
        << 100 << 0 << 280 << QPoint(0, 280) << QPoint(70, 210) << QPoint(280, 0) << QPoint(210, 70);
    QTest::newRow("R50 E0 half slope")
        << 50 << 0 << 280 << QPoint(0, 210) << QPoint(70, 175) << QPoint(280, 70) << QPoint(210, 105);
    QTest::newRow("R0 E0 flat") << 0 << 0 << 280 << QPoint(0, 140) << QPoint(70, 140) << QPoint(280, 140)
                                << QPoint(210, 140);
    QTest::newRow("R0 E100 flat") << 0 << 100 << 280 << QPoint(0, 140) << QPoint(70, 140) << QPoint(280, 140)
                                  << QPoint(210, 140);
    QTest::newRow("R0 E-100 flat") << 0 << -100 << 280 << QPoint(0, 140) << QPoint(70, 140)
                                   << QPoint(280, 140) << QPoint(210, 140);
    QTest::newRow("R100 E100") << 100 << 100 << 280 << QPoint(0, 280) << QPoint(105, 280) << QPoint(280, 0)
                               << QPoint(175, 0);
    QTest::newRow("R100 E-100") << 100 << -100 << 280 << QPoint(0, 280) << QPoint(35, 140) << QPoint(280, 0)
                                << QPoint(245, 140);
    // k = -16, dx = -5, dy = -11, each truncated toward zero.
    QTest::newRow("R33 E-50 truncation")
        << 33 << -50 << 280 << QPoint(0, 187) << QPoint(65, 153) << QPoint(280, 93) << QPoint(215, 127);
    // (3*282)/4 = 211, not 282/4*3 = 210.
    QTest::newRow("282 square") << 100 << 0 << 282 << QPoint(0, 282) << QPoint(70, 211) << QPoint(282, 0)
                                << QPoint(211, 70);
    // Above 100 the end points leave the widget: a = -1 (not -2), s = 0.
    QTest::newRow("R101") << 101 << 0 << 280 << QPoint(0, 281) << QPoint(70, 210) << QPoint(280, -1)
                          << QPoint(210, 70);
    QTest::newRow("R200 E100") << 200 << 100 << 280 << QPoint(0, 420) << QPoint(140, 420) << QPoint(280, -140)
                               << QPoint(140, -140);
    // Beyond 32 bits every step saturates: the ends go far out, nothing wraps.
    QTest::newRow("R INT_MAX") << INT_MAX << 0 << 280 << QPoint(0, 21474836 + 280)
                               << QPoint(70, 10737418 + 210) << QPoint(280, -21474836)
                               << QPoint(210, 70 - 10737418);
    QTest::newRow("R INT_MIN E INT_MIN")
        << INT_MIN << INT_MIN << 280 << QPoint(0, 280 - 21474836)
        << QPoint(70 + 7516192, 210 - 10737418 + 15032385) << QPoint(280, 21474836)
        << QPoint(210 - 7516192, 70 + 10737418 - 15032385);
}

void TestCurves::drCurve()
{
    QFETCH(int, rate);
    QFETCH(int, expo);
    QFETCH(int, size);
    const DrCurve c = ::drCurve(rate, expo, size, size);
    QCOMPARE(c.centre, QPoint(size / 2, size / 2));
    QTEST(c.lowerStart, "lowerStart");
    QCOMPARE(c.lowerC1, c.lowerStart);
    QTEST(c.lowerC2, "lowerC2");
    QTEST(c.upperStart, "upperStart");
    QCOMPARE(c.upperC1, c.upperStart);
    QTEST(c.upperC2, "upperC2");
}

void TestCurves::drAxes()
{
    const DrAxes a = ::drAxes(280, 280);
    std::vector<int> dashes; // 0, 15, ... 270
    for (int v = 0; v <= 270; v += 15)
        dashes.push_back(v);
    QCOMPARE(a.axisY, 140);
    QCOMPARE(a.axisX, 140);
    QCOMPARE(a.dashX, dashes);
    QCOMPARE(a.dashY, dashes);
    // Dashes start up to w - 1: at 271 the last one starts at 270, at 270 at 255.
    QCOMPARE(::drAxes(271, 271).dashX.back(), 270);
    QCOMPARE(::drAxes(270, 270).dashX.back(), 255);
    QVERIFY(::drAxes(0, 0).dashX.empty());
    QVERIFY(::drAxes(0, 0).dashY.empty());
}

void TestCurves::throttlePixels_data()
{
    QTest::addColumn<Ints7>("thcure");
    QTest::newRow("start values") << Ints7{0, 16, 33, 50, 67, 84, 100};
    QTest::newRow("flat 50") << Ints7{50, 50, 50, 50, 50, 50, 50};
    QTest::newRow("zigzag") << Ints7{100, 0, 100, 0, 100, 0, 100};
    QTest::newRow("all 0") << Ints7{0, 0, 0, 0, 0, 0, 0};
}

void TestCurves::throttlePixels()
{
    QFETCH(Ints7, thcure);
    std::copy(thcure.begin(), thcure.end(), TxSettings.thcure);
    cureWidget w;
    w.resize(300, 300);
    const QImage img = paint(w);
    const Points7 p = ::throttlePoints(thcure.data(), 300, 300);

    // The red line passes through each corner and the middle of each segment.
    for (int k = 0; k < 7; ++k)
        QVERIFY2(colourNear(img, p[k], kRed), qPrintable(QString("corner %1").arg(k)));
    for (int k = 0; k < 6; ++k)
        QVERIFY2(colourNear(img, lerp(p[k], p[k + 1], 1, 2), kRed), qPrintable(QString("segment %1").arg(k)));
    // Nothing red left of the first corner or right of the last.
    for (int y = 0; y < 300; ++y) {
        QVERIFY(img.pixel(20, y) != kRed);
        QVERIFY(img.pixel(290, y) != kRed);
    }

    // Frame: the four sides, away from the curve's ends.
    for (QPoint f : {QPoint(30, 200), QPoint(280, 100), QPoint(150, 30), QPoint(150, 270)}) {
        if (!colourNear(img, f, kRed, 3))
            QVERIFY2(colourNear(img, f, kGreen, 1), qPrintable(QString("frame %1,%2").arg(f.x()).arg(f.y())));
    }

    // Grid dashes: the row at y = 54 is green from x = 45 to 53 and white
    // between dashes; the column at x = 106 is green from y = 195 to 203.
    auto onCurve = [&](QPoint q) { return colourNear(img, q, kRed, 3); };
    for (int x = 45; x <= 53; ++x)
        if (!onCurve(QPoint(x, 54)))
            QCOMPARE(img.pixel(x, 54), kGreen);
    for (QPoint gap : {QPoint(57, 54), QPoint(57, 246), QPoint(106, 207), QPoint(193, 42)})
        if (!onCurve(gap))
            QCOMPARE(img.pixel(gap), kWhite);
    for (int y = 195; y <= 203; ++y)
        if (!onCurve(QPoint(106, y)))
            QCOMPARE(img.pixel(106, y), kGreen);
    // Inside the frame, off the grid and the curve, the ground is white.
    for (QPoint q : {QPoint(40, 40), QPoint(250, 250), QPoint(120, 90), QPoint(170, 210)})
        if (!onCurve(q))
            QCOMPARE(img.pixel(q), kWhite);

    // Labels: something dark just above each fixed baseline, left of the frame.
    for (int j = 0; j < kThrottleLabelCount; ++j) {
        const QPoint base = throttleLabelPos(j);
        bool dark = false;
        for (int y = base.y() - 8; y <= base.y() && !dark; ++y)
            for (int x = 0; x < 26 && !dark; ++x)
                dark = qGray(img.pixel(x, y)) < 100;
        QVERIFY2(dark, qPrintable(QString("label %1").arg(kThrottleLabels[j])));
    }
}

void TestCurves::throttleOutOfRangeIsClipped()
{
    const Ints7 values{INT_MIN, INT_MAX, -1000, 1000, 50, 50, 50};
    std::copy(values.begin(), values.end(), TxSettings.thcure);
    cureWidget w;
    w.resize(300, 300);
    const QImage img = paint(w);
    // The last segments are drawn as usual; the steep ones cross the widget
    // and are cut at its edges.
    // (30, 21474866) - (63, -21474806) crosses y = 150 at x = 46.5,
    // (106, 2670) - (150, -2130) at x = 129.
    QVERIFY(colourNear(img, QPoint(46, 150), kRed));
    QVERIFY(colourNear(img, QPoint(46, 5), kRed));
    QVERIFY(colourNear(img, QPoint(46, 295), kRed));
    QVERIFY(colourNear(img, QPoint(129, 150), kRed));
    QVERIFY(colourNear(img, QPoint(193, 150), kRed));
    QVERIFY(colourNear(img, QPoint(215, 150), kRed));
    QCOMPARE(img.pixel(250, 250), kWhite);
}

void TestCurves::drPixels_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("expo");
    QTest::newRow("R100 E0") << 100 << 0;
    QTest::newRow("R50 E0") << 50 << 0;
    QTest::newRow("R0 E0") << 0 << 0;
    QTest::newRow("R100 E100") << 100 << 100;
    QTest::newRow("R100 E-100") << 100 << -100;
    QTest::newRow("R70 E40") << 70 << 40;
    QTest::newRow("R150 E-30") << 150 << -30;
    QTest::newRow("R INT_MAX E INT_MAX") << INT_MAX << INT_MAX;
    QTest::newRow("R INT_MIN E INT_MAX") << INT_MIN << INT_MAX;
}

void TestCurves::drPixels()
{
    QFETCH(int, rate);
    QFETCH(int, expo);
    TxSettings.drRateEdit = rate;
    TxSettings.drExpEdit = expo;
    mWidget w;
    w.resize(280, 280);
    const QImage img = paint(w);
    const DrCurve c = ::drCurve(rate, expo, 280, 280);

    // The red curve: the centre, each end inside the widget, and the point at
    // t = 1/2 of each Bezier half.
    QVERIFY(colourNear(img, c.centre, kRed));
    auto mid = [](QPoint p0, QPoint p1, QPoint p2, QPoint p3) {
        const QPointF m = (QPointF(p0) + 3.0 * QPointF(p1) + 3.0 * QPointF(p2) + QPointF(p3)) / 8.0;
        return m.toPoint();
    };
    const QRect inside(0, 0, 280, 280);
    for (const auto &half : {std::array<QPoint, 4>{c.lowerStart, c.lowerC1, c.lowerC2, c.centre},
                             std::array<QPoint, 4>{c.upperStart, c.upperC1, c.upperC2, c.centre}}) {
        const QPoint end(qBound(0, half[0].x(), 279), half[0].y());
        if (inside.contains(end))
            QVERIFY2(colourNear(img, end, kRed, 3),
                     qPrintable(QString("end %1,%2").arg(end.x()).arg(end.y())));
        const QPoint m = mid(half[0], half[1], half[2], half[3]);
        if (inside.contains(m))
            QVERIFY2(colourNear(img, m, kRed, 2), qPrintable(QString("mid %1,%2").arg(m.x()).arg(m.y())));
    }

    // Axes: green dashes at y = 140 (x = 15 ... 23) and x = 140 (y = 225 ... 233)
    // unless the curve covers them; white in the gaps.
    auto onCurve = [&](QPoint q) { return colourNear(img, q, kRed, 3); };
    for (int v = 15; v <= 23; ++v) {
        if (!onCurve(QPoint(v, 140)))
            QCOMPARE(img.pixel(v, 140), kGreen);
        if (!onCurve(QPoint(140, v + 210)))
            QCOMPARE(img.pixel(140, v + 210), kGreen);
    }
    for (QPoint gap : {QPoint(26, 140), QPoint(140, 237)})
        if (!onCurve(gap))
            QCOMPARE(img.pixel(gap), kWhite);
    // Frame along all four edges.
    for (QPoint f : {QPoint(0, 60), QPoint(279, 220), QPoint(60, 0), QPoint(220, 279)})
        if (!onCurve(f))
            QCOMPARE(img.pixel(f), kGreen);
    // The ground off the axes and the curve is white.
    for (QPoint q : {QPoint(40, 40), QPoint(240, 240), QPoint(200, 30), QPoint(60, 250)})
        if (!onCurve(q))
            QCOMPARE(img.pixel(q), kWhite);
}

void TestCurves::mixSwitchesDoNotChangePlots()
{
    TxSettings.drRateEdit = 70;
    TxSettings.drExpEdit = 40;
    cureWidget t;
    t.resize(300, 300);
    mWidget d;
    d.resize(280, 280);
    TxSettings.thcureMix = 0;
    TxSettings.drMix = 0;
    const QImage t0 = paint(t), d0 = paint(d);
    TxSettings.thcureMix = 1;
    TxSettings.drMix = 1;
    QCOMPARE(paint(t), t0);
    QCOMPARE(paint(d), d0);
    QVERIFY(countColour(t0, kRed) > 500);
    QVERIFY(countColour(d0, kRed) > 500);
}

// The white ground keeps its size when the widget is larger; the grid and
// the curve follow the widget's size.
void TestCurves::fillKeepsItsSize()
{
    cureWidget t;
    t.resize(340, 340);
    const QImage ti = paint(t);
    QCOMPARE(ti.pixel(299, 5), kWhite);
    QVERIFY(ti.pixel(305, 5) != kWhite);
    QVERIFY(ti.pixel(5, 305) != kWhite);
    QVERIFY(colourNear(ti, QPoint(320, 30), kRed)); // POINT7 at x = Wm - 19
    mWidget d;
    d.resize(320, 320);
    const QImage di = paint(d);
    QCOMPARE(di.pixel(270, 5), kWhite);
    QVERIFY(di.pixel(290, 5) != kWhite);
    QVERIFY(colourNear(di, QPoint(160, 160), kRed)); // the centre moves with the size
}

// The plots redraw themselves from the store while ADVANCE2 is shown: what is
// on screen changes within a few ticks of a store change, without anyone
// asking the widgets to repaint.
void TestCurves::plotsFollowStoreWhileShown()
{
    setTestPorts({});
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    MainWindowForm *ui = w.form();
    ui->tabWidget->setCurrentIndex(3);
    QWidget *th = ui->widget_4;
    QWidget *dr = ui->widget_3;
    QCOMPARE(th->size(), QSize(300, 300));
    QCOMPARE(dr->size(), QSize(280, 280));

    // Start: the throttle curve's middle corner at (150, 150), the D/R curve
    // with the rate and exponential of the store.
    QTRY_VERIFY_WITH_TIMEOUT(colourNear(shown(th), QPoint(150, 150), kRed, 1), 5000);
    const QImage drBefore = shown(dr);

    TxSettings.thcure[3] = 100; // POINT4 to the top: (150, 30)
    QTRY_VERIFY_WITH_TIMEOUT(colourNear(shown(th), QPoint(150, 30), kRed, 1) &&
                                 !colourNear(shown(th), QPoint(150, 150), kRed, 1),
                             5000);

    TxSettings.drRateEdit = 0; // flat along y = 140
    TxSettings.drExpEdit = 0;
    QTRY_VERIFY_WITH_TIMEOUT(colourNear(shown(dr), QPoint(70, 140), kRed, 0) &&
                                 colourNear(shown(dr), QPoint(210, 140), kRed, 0),
                             5000);
    QVERIFY(shown(dr) != drBefore);
    QCOMPARE(shown(dr).pixel(40, 40), kWhite);
}

QTEST_MAIN(TestCurves)
#include "test_curves.moc"
