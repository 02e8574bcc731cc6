// Where the parts of a chart go, and the figures and names it is labelled with.

#include <QFileInfo>
#include <QPageSize>
#include <cmath>

#include "cli/draw/plot.h"
#include "cli/draw/plot_chart.h"

namespace {

// A telemetry panel is twice as high as a channel's.
int weightOf(int series)
{
    return series < kPlotTxV ? 1 : 2;
}

} // namespace

QString plotTitle(int series)
{
    switch (series) {
    case kPlotTxV:
        return "TX volts";
    case kPlotRxV:
        return "RX volts";
    case kPlotExtV:
        return "EXT volts";
    case kPlotRssi:
        return "RSSI dBm";
    default:
        return QString("CH%1 output").arg(series + 1);
    }
}

QString plotUnit(int series)
{
    return series == kPlotRssi ? " dBm" : series >= kPlotTxV ? " V" : "";
}

// A step of 1, 2, 2.5 or 5 times a power of ten, near span / parts.
double plotNiceStep(double span, int parts)
{
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

// Time ticks: the shortest step that leaves at most `most` of them.
double plotTimeStep(double span, int most)
{
    for (double step : {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200})
        if (span / step <= most)
            return step;
    return 86400 * std::ceil(span / most / 86400);
}

QPageLayout::Orientation plotOrientation(const std::vector<int> &panels)
{
    return panels.size() > 4 ? QPageLayout::Portrait : QPageLayout::Landscape;
}

QSizeF plotPdfPrintable(const std::vector<int> &panels)
{
    QSizeF page = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (plotOrientation(panels) == QPageLayout::Landscape)
        page.transpose();
    return page - QSizeF(2 * kPdfMarginPt, 2 * kPdfMarginPt);
}

QString plotFigure(double v)
{
    const double r = std::round(v * 1000) / 1000;
    return QString::number(r == 0 ? 0.0 : r, 'g', 15);
}

bool plotFormatOf(const QString &path, PlotFormat *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "pdf")
        *format = PlotFormat::Pdf;
    else if (suffix == "png")
        *format = PlotFormat::Png;
    else if (suffix == "svg")
        *format = PlotFormat::Svg;
    else
        return false;
    return true;
}

std::vector<int> plotPanels(bool channels)
{
    std::vector<int> panels = {kPlotTxV, kPlotRxV, kPlotExtV, kPlotRssi};
    for (int c = 0; channels && c < 8; ++c)
        panels.push_back(kPlotCh1 + c);
    return panels;
}

PlotLayout layoutPlot(PlotFormat format, const std::vector<int> &panels)
{
    int weights = 0;
    for (int s : panels)
        weights += weightOf(s);
    const double fixed = kHeading + panels.size() * (kBand + kSpacing) + kAxis + kLegend + kBottom;
    PlotLayout l;
    double unit = kRasterUnit;
    if (format == PlotFormat::Pdf) {
        const QSizeF page = plotPdfPrintable(panels);
        l.canvas = QSize(kPdfWidth, int(std::round(kPdfWidth * page.height() / page.width())));
        unit = (l.canvas.height() - fixed) / weights;
    } else {
        l.canvas = QSize(kRasterWidth, int(std::ceil(fixed + weights * unit)));
    }
    const double width = l.canvas.width() - kLeft - kRight;
    l.heading = QRectF(kLeft - 60, 0, width + 60, kHeading);
    double top = kHeading;
    for (int s : panels) {
        top += kBand;
        const double height = std::floor(unit * weightOf(s));
        l.panels.push_back(QRectF(kLeft, top, width, height));
        top += height + kSpacing;
    }
    l.timeAxis = QRectF(kLeft, top - kSpacing + 4, width, kAxis);
    return l;
}
