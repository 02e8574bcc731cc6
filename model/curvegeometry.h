#pragma once

#include <QLine>
#include <QPoint>
#include <QRect>
#include <array>
#include <vector>

// Where the two plots on the ADVANCE2 page put their lines. The plot widgets
// only draw what these functions compute, so the arithmetic can be checked
// without a painter.
//
// Every formula is 32-bit integer arithmetic with truncating divisions at the
// place where they stand. The store gives some inputs no range (the D/R rate
// mirror, values from a file or a frame before validation), so each product,
// sum and difference is taken in 64 bits and saturated to the 32-bit range:
// whenever the plain 32-bit formula would not overflow the result is the same,
// and when it would, the point simply lands far outside the widget instead of
// being undefined.

namespace CurveMath {

int saturate(long long v);
inline int add(int a, int b)
{
    return saturate(static_cast<long long>(a) + b);
}
inline int sub(int a, int b)
{
    return saturate(static_cast<long long>(a) - b);
}
inline int mul(int a, int b)
{
    return saturate(static_cast<long long>(a) * b);
}

// The multiples of 15 in lo ... hi (empty when hi < lo).
std::vector<int> multiplesOf15(int lo, int hi);

} // namespace CurveMath

// ---- throttle curve (cureWidget) ----

// White area and frame; both keep these sizes whatever the widget's size.
constexpr int kThrottleFillSize = 300;
inline QRect throttleFrame()
{
    return QRect(30, 30, 250, 240);
}

// The scale labels, top to bottom, and the fixed start of each one's baseline.
constexpr int kThrottleLabelCount = 11;
extern const char *const kThrottleLabels[kThrottleLabelCount];
inline QPoint throttleLabelPos(int j)
{
    return QPoint(0, 37 + 24 * j);
}

// The dashed grid: each row gets a dash of 8 pixels to the right of every
// rowDashX, each column a dash of 8 pixels below every columnDashY. A list is
// empty when the widget is too small for that part of the grid.
struct ThrottleGrid {
    std::vector<int> rows;        // y of the eleven horizontal rows
    std::vector<int> rowDashX;    // x where each horizontal dash starts
    std::vector<int> columns;     // x of the six vertical columns
    std::vector<int> columnDashY; // y where each vertical dash starts
};
ThrottleGrid throttleGrid(int width, int height);
// The grid as the dashes a plot draws, the rows' first, then the columns'.
std::vector<QLine> throttleGridDashes(const ThrottleGrid &grid);

// The seven corners of the throttle curve, from thcure[0] (left) to thcure[6].
std::array<QPoint, 7> throttlePoints(const int thcure[7], int width, int height);

// ---- dual rate / exponential curve (mWidget) ----

constexpr int kDrFillSize = 280;
inline QRect drFrame()
{
    return QRect(0, 0, kDrFillSize, kDrFillSize);
}

// The two dashed axes through the centre.
struct DrAxes {
    int axisY;              // y of the horizontal axis
    std::vector<int> dashX; // x where each of its dashes starts
    int axisX;              // x of the vertical axis
    std::vector<int> dashY; // y where each of its dashes starts
};
DrAxes drAxes(int w, int h);
// The axes as the dashes a plot draws, the horizontal axis's first.
std::vector<QLine> drAxisDashes(const DrAxes &axes);

// The curve as two cubic Bezier halves meeting in the centre: the lower half
// runs from lowerStart with controls lowerC1, lowerC2 to centre, the upper
// half from upperStart with controls upperC1, upperC2 to centre.
struct DrCurve {
    QPoint lowerStart, lowerC1, lowerC2, centre, upperStart, upperC1, upperC2;
};
DrCurve drCurve(int rate, int expo, int w, int h);

// The two halves as the paths a painter strokes, the lower half first. Path
// is QPainterPath (Qt Gui, which the core does not link; anything with its
// moveTo and cubicTo will do).
template <typename Path> std::array<Path, 2> drCurvePaths(const DrCurve &c)
{
    std::array<Path, 2> halves;
    halves[0].moveTo(c.lowerStart);
    halves[0].cubicTo(c.lowerC1, c.lowerC2, c.centre);
    halves[1].moveTo(c.upperStart);
    halves[1].cubicTo(c.upperC1, c.upperC2, c.centre);
    return halves;
}
