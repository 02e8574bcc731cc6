#include "model/curvegeometry.h"

#include <climits>

using CurveMath::add;
using CurveMath::mul;
using CurveMath::sub;

int CurveMath::saturate(long long v)
{
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

std::vector<int> CurveMath::multiplesOf15(int lo, int hi)
{
    std::vector<int> out;
    // First multiple of 15 not below lo; 64 bits so that stepping past hi
    // cannot wrap.
    long long x = static_cast<long long>(lo) / 15 * 15;
    if (x < lo)
        x += 15;
    for (; x <= hi; x += 15)
        out.push_back(static_cast<int>(x));
    return out;
}

const char *const kThrottleLabels[kThrottleLabelCount] = {"100", " 90", " 80", " 70", " 60", " 50",
                                                          " 40", " 30", " 20", " 10", "  0"};

namespace {

struct ThrottleSize {
    int wm, hm, f, g; // right and bottom pixel, curve height, column spread
};

ThrottleSize throttleSize(int width, int height)
{
    ThrottleSize s;
    s.wm = sub(width, 1);
    s.hm = sub(height, 1);
    s.f = sub(s.hm, 59);
    s.g = sub(s.wm, 39);
    return s;
}

int throttleColumn(int k, int g)
{
    return add(20, mul(k, g) / 6);
}

} // namespace

ThrottleGrid throttleGrid(int width, int height)
{
    const ThrottleSize s = throttleSize(width, height);
    ThrottleGrid grid;
    if (sub(s.wm, 19) > 20) {
        for (int j = 0; j <= 10; ++j)
            grid.rows.push_back(add(30, mul(j, s.f) / 10));
        grid.rowDashX = CurveMath::multiplesOf15(21, sub(s.wm, 20));
    }
    if (s.hm > 49) {
        for (int j = 1; j <= 6; ++j)
            grid.columns.push_back(throttleColumn(j, s.g));
        grid.columnDashY = CurveMath::multiplesOf15(21, sub(s.hm, 30));
    }
    return grid;
}

std::array<QPoint, 7> throttlePoints(const int thcure[7], int width, int height)
{
    const ThrottleSize s = throttleSize(width, height);
    std::array<QPoint, 7> p;
    for (int k = 0; k < 7; ++k) {
        const int x = k == 0 ? 30 : throttleColumn(k, s.g);
        const int y = add(30, mul(sub(100, thcure[k]), s.f) / 100);
        p[k] = QPoint(x, y);
    }
    return p;
}

DrAxes drAxes(int w, int h)
{
    DrAxes axes;
    axes.axisY = h / 2;
    axes.dashX = CurveMath::multiplesOf15(0, sub(w, 1));
    axes.axisX = w / 2;
    axes.dashY = CurveMath::multiplesOf15(0, sub(h, 1));
    return axes;
}

DrCurve drCurve(int rate, int expo, int w, int h)
{
    const int bigA = mul(sub(100, rate), h / 2);
    const int a = bigA / 100;
    const int s = bigA / 200;
    const int k = mul(rate, expo) / 100;
    const int dx = mul(w / 8, k) / 100;
    const int dy = mul(k, h / 4) / 100;

    DrCurve c;
    c.centre = QPoint(w / 2, h / 2);
    c.lowerStart = QPoint(0, sub(h, a));
    c.lowerC1 = c.lowerStart;
    c.lowerC2 = QPoint(add(w / 4, dx), add(sub(mul(3, h) / 4, s), dy));
    c.upperStart = QPoint(w, a);
    c.upperC1 = c.upperStart;
    c.upperC2 = QPoint(sub(mul(3, w) / 4, dx), sub(add(h / 4, s), dy));
    return c;
}

std::vector<QLine> throttleGridDashes(const ThrottleGrid &grid)
{
    std::vector<QLine> dashes;
    for (int y : grid.rows)
        for (int x : grid.rowDashX)
            dashes.emplace_back(x, y, x + 8, y);
    for (int x : grid.columns)
        for (int y : grid.columnDashY)
            dashes.emplace_back(x, y, x, y + 8);
    return dashes;
}

std::vector<QLine> drAxisDashes(const DrAxes &axes)
{
    std::vector<QLine> dashes;
    for (int x : axes.dashX)
        dashes.emplace_back(x, axes.axisY, x + 8, axes.axisY);
    for (int y : axes.dashY)
        dashes.emplace_back(axes.axisX, y, axes.axisX, y + 8);
    return dashes;
}
