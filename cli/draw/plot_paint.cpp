// Painting a recording of txctl monitor: one panel per series over a shared
// time axis, as PDF, PNG or SVG.

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <array>
#include <cmath>
#include <functional>

#include "cli/draw/plot.h"
#include "cli/draw/plot_chart.h"

namespace {

// The PNG writer's quality: 80 is zlib's fastest compression level.
constexpr int kPngQuality = 80;

QColor rgb(unsigned v)
{
    return QColor(QRgb(v));
}

QFont font(double pixels, bool bold = false)
{
    QFont f("DejaVu Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(int(pixels));
    f.setBold(bold);
    return f;
}

struct Chart {
    const PlotLog &log;
    const PlotHeading &heading;
    const std::vector<int> &panels;
    PlotLayout layout;
    bool raster; // painted on whole pixels, one column each

    double x(double t) const
    {
        const QRectF &r = layout.panels.front();
        const double span = log.duration() > 0 ? log.duration() : 1;
        return r.left() + (t - log.startTime()) / span * r.width();
    }
    void paint(QPainter &p) const;
    void paintHeading(QPainter &p) const;
    using Cells = std::vector<std::array<PlotCell, kPlotSeriesCount>>;
    void paintPanel(QPainter &p, size_t index, const Cells &cells,
                    const std::vector<double> &timeTicks) const;
    void shadeBelow(QPainter &p, const QRectF &box, int series, double alarm, const Cells &cells) const;
    void paintBars(QPainter &p, const QRectF &box, int series, const Cells &cells,
                   const std::function<double(double)> &y) const;
    void paintPath(QPainter &p, const QRectF &box, int series, const Cells &cells,
                   const std::function<double(double)> &y) const;
    void paintLegend(QPainter &p) const;
};

void Chart::paintHeading(QPainter &p) const
{
    const QRectF r = layout.heading;
    p.setPen(Qt::black);
    p.setFont(font(24, true));
    QFontMetricsF fm(p.font());
    p.drawText(QRectF(r.left(), r.top() + 14, r.width(), 30), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(heading.name, Qt::ElideMiddle, r.width()));
    QStringList facts;
    if (heading.started.isValid())
        facts << "started " + heading.started.toString("yyyy-MM-dd hh:mm:ss") + " (by the file's time)";
    facts << "length " + plotClock(log.duration(), true);
    facts << QString("%1 rows").arg(log.rows());
    facts << log.gapsText();
    if (!heading.alarmsFrom.isEmpty())
        facts << "alarm levels of " + heading.alarmsFrom;
    p.setFont(font(15));
    p.setPen(QColor(60, 60, 60));
    fm = QFontMetricsF(p.font());
    p.drawText(QRectF(r.left(), r.top() + 46, r.width(), 22), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(facts.join("   \u00b7   "), Qt::ElideRight, r.width()));
}

void Chart::paintPanel(QPainter &p, size_t index, const Cells &cells,
                       const std::vector<double> &timeTicks) const
{
    const int series = panels[index];
    const QRectF box = layout.panels[index];
    const PlotSeriesSummary &st = log.summary(series);
    const double alarm = log.alarms().of(series);
    const bool hasAlarm = !std::isnan(alarm);

    // Title and figures in the band above the box.
    const QRectF band(box.left(), box.top() - kBand, box.width(), kBand - 4);
    p.setPen(Qt::black);
    p.setFont(font(15, true));
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, plotTitle(series));
    const double titleWidth = QFontMetricsF(p.font()).horizontalAdvance(plotTitle(series)) + 20;
    QString figures = "no readings";
    if (st.count > 0) {
        const QString unit = plotUnit(series);
        figures = QString("min %1%4    mean %2%4    max %3%4")
                      .arg(plotReading(series, st.min), plotReading(series, st.mean(), 1),
                           plotReading(series, st.max), unit);
        if (hasAlarm)
            figures += QString("    alarm %1%2, %3 s below")
                           .arg(plotReading(series, alarm), unit, QString::number(st.belowAlarmS, 'f', 1));
    }
    p.setFont(font(13));
    p.setPen(QColor(60, 60, 60));
    const QRectF figuresBox = band.adjusted(titleWidth, 0, 0, 0);
    p.drawText(figuresBox, Qt::AlignRight | Qt::AlignVCenter,
               QFontMetricsF(p.font()).elidedText(figures, Qt::ElideLeft, figuresBox.width()));

    // The value range: the readings and the alarm level, with some room.
    double lo = st.count ? st.min : 0, hi = st.count ? st.max : 1;
    if (hasAlarm) {
        lo = std::min(lo, alarm);
        hi = std::max(hi, alarm);
    }
    const double pad = hi > lo ? (hi - lo) * 0.08 : std::max(0.5, std::abs(hi) * 0.05);
    lo -= pad;
    hi += pad;
    auto y = [&](double v) { return box.bottom() - (v - lo) / (hi - lo) * box.height(); };

    // Gaps, then the stretches below the alarm, behind the grid and curve.
    for (const PlotGap &g : log.gaps()) {
        const double x0 = x(g.start), x1 = std::max(x(g.start + g.length), x0 + 1);
        p.fillRect(QRectF(x0, box.top(), x1 - x0, box.height()), rgb(kPlotGapRgb));
    }
    if (hasAlarm)
        shadeBelow(p, box, series, alarm, cells);

    // The grid with its labels.
    p.setFont(font(12));
    const double step = plotNiceStep(hi - lo, 5);
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
        const double yy = std::round(y(v)) + 0.5;
        p.setPen(QPen(QColor(222, 222, 222), 1));
        p.drawLine(QPointF(box.left(), yy), QPointF(box.right(), yy));
        p.setPen(QColor(70, 70, 70));
        p.drawText(QRectF(0, yy - 10, box.left() - 8, 20), Qt::AlignRight | Qt::AlignVCenter,
                   plotFigure(std::abs(v) < step / 1000 ? 0 : v));
    }
    p.setPen(QPen(QColor(222, 222, 222), 1));
    for (double t : timeTicks) {
        const double xx = std::round(x(t)) + 0.5;
        p.drawLine(QPointF(xx, box.top()), QPointF(xx, box.bottom()));
    }

    if (hasAlarm) { // on whole pixels, two wide, so it stays crisp
        QPen dashed(rgb(kPlotAlarmRgb), 2, Qt::CustomDashLine, Qt::FlatCap);
        dashed.setDashPattern({4, 2});
        p.setPen(dashed);
        const double yy = std::round(y(alarm));
        p.drawLine(QPointF(box.left(), yy), QPointF(box.right(), yy));
    }

    // The curve: per column a stroke from its lowest to its highest reading,
    // joined to the next column unless the recording broke in between.
    p.save();
    p.setClipRect(box.adjusted(-2, -2, 2, 2));
    if (raster)
        paintBars(p, box, series, cells, y);
    else
        paintPath(p, box, series, cells, y);
    p.restore();
    if (st.count == 0) {
        p.setPen(QColor(120, 120, 120));
        p.setFont(font(14));
        p.drawText(box, Qt::AlignCenter, "no readings in this recording");
    }

    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
}

// On a raster, each column is a bar of whole pixels from its lowest to its
// highest reading, stretched to where the previous column ended when the two
// are joined: what a stroked line would cover, at a fraction of the cost.
// The time below the alarm: a band from each row below to the last row
// below after it.
void Chart::shadeBelow(QPainter &p, const QRectF &box, int series, double alarm, const Cells &cells) const
{
    const double columnWidth = box.width() / double(cells.size());
    for (size_t c = 0; c < cells.size();) {
        auto below = [&](size_t i) {
            const PlotCell &cell = cells[i][size_t(series)];
            return cell.count > 0 && cell.min < alarm;
        };
        if (!below(c)) {
            ++c;
            continue;
        }
        // One band from a row below to the last row below after it: columns
        // without a row of their own (fewer rows than columns) lie inside
        // it, up to a row that is not below or that follows a break.
        size_t end = c + 1;
        for (size_t i = end; i < cells.size(); ++i) {
            const PlotCell &cell = cells[i][size_t(series)];
            if (cell.count == 0)
                continue;
            if (!below(i) || (cell.breakBefore && i > end))
                break;
            end = i + 1;
        }
        p.fillRect(QRectF(box.left() + c * columnWidth, box.top(), (end - c) * columnWidth, box.height()),
                   rgb(kPlotBelowRgb));
        c = end;
    }
}

void Chart::paintBars(QPainter &p, const QRectF &box, int series, const Cells &cells,
                      const std::function<double(double)> &y) const
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(rgb(kPlotLineRgb), 2));
    const QColor colour = rgb(kPlotLineRgb);
    const double columnWidth = box.width() / double(cells.size());
    int previous = -1; // the last column with readings
    for (int c = 0; c < int(cells.size()); ++c) {
        const PlotCell &cell = cells[size_t(c)][size_t(series)];
        if (cell.count == 0)
            continue;
        const int x = int(box.left() + c * columnWidth);
        double lo = cell.min, hi = cell.max;
        if (previous >= 0 && !cell.breakBefore) {
            const float joined = cells[size_t(previous)][size_t(series)].last;
            if (previous == c - 1) {
                lo = std::min(lo, double(joined));
                hi = std::max(hi, double(joined));
            } else { // columns without a row between: a line across them
                p.drawLine(int(box.left() + previous * columnWidth), int(std::round(y(joined))), x,
                           int(std::round(y(cell.first))));
            }
        }
        const int top = int(std::round(y(hi))), bottom = int(std::round(y(lo)));
        p.fillRect(QRect(x, top - 1, 2, bottom - top + 2), colour);
        previous = c;
    }
    p.setRenderHint(QPainter::Antialiasing);
}

void Chart::paintPath(QPainter &p, const QRectF &box, int series, const Cells &cells,
                      const std::function<double(double)> &y) const
{
    const double columnWidth = box.width() / double(cells.size());
    QPainterPath path;
    bool open = false;
    for (size_t c = 0; c < cells.size(); ++c) {
        const PlotCell &cell = cells[c][size_t(series)];
        if (cell.count == 0)
            continue;
        const double xx = box.left() + (c + 0.5) * columnWidth;
        if (!open || cell.breakBefore)
            path.moveTo(xx, y(cell.first));
        else
            path.lineTo(xx, y(cell.first));
        if (cell.min != cell.max) {
            path.lineTo(xx, y(cell.min));
            path.lineTo(xx, y(cell.max));
            path.lineTo(xx, y(cell.last));
        } else if (cell.breakBefore) {
            path.lineTo(xx + 0.01, y(cell.last)); // a lone reading still shows as a dot
        }
        open = true;
    }
    p.setPen(QPen(rgb(kPlotLineRgb), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

void Chart::paintLegend(QPainter &p) const
{
    const QRectF axis = layout.timeAxis;
    double xx = axis.left();
    const double yy = axis.bottom() + kLegend / 2 + 2;
    p.setFont(font(13));
    QFontMetricsF fm(p.font());
    auto label = [&](const QString &text) {
        p.setPen(QColor(60, 60, 60));
        p.drawText(QPointF(xx, yy + fm.ascent() / 2 - 1), text);
        xx += fm.horizontalAdvance(text) + 28;
    };
    p.setPen(QPen(rgb(kPlotLineRgb), 2));
    p.drawLine(QPointF(xx, yy), QPointF(xx + 24, yy));
    xx += 30;
    label("readings (lowest to highest)");
    if (log.alarms().set) {
        QPen dashed(rgb(kPlotAlarmRgb), 2, Qt::CustomDashLine, Qt::FlatCap);
        dashed.setDashPattern({4, 2});
        p.setPen(dashed);
        p.drawLine(QPointF(xx, yy), QPointF(xx + 24, yy));
        xx += 30;
        label("alarm level");
        p.fillRect(QRectF(xx, yy - 7, 24, 14), rgb(kPlotBelowRgb));
        xx += 30;
        label("below the alarm");
    }
    if (!log.gaps().empty()) {
        p.fillRect(QRectF(xx, yy - 7, 24, 14), rgb(kPlotGapRgb));
        xx += 30;
        label(QString("nothing recorded (rows over %1 s apart)").arg(kPlotGapSeconds));
    }
}

void Chart::paint(QPainter &p) const
{
    p.fillRect(QRectF(QPointF(0, 0), QSizeF(layout.canvas)), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintHeading(p);

    const QRectF first = layout.panels.front();
    const std::vector<std::array<PlotCell, kPlotSeriesCount>> cells = log.columns(int(first.width()));
    const double span = std::max(log.duration(), 1.0);
    const double step = plotTimeStep(span, int(first.width() / 120));
    std::vector<double> ticks;
    for (double t = std::ceil(log.startTime() / step) * step; t <= log.endTime() + 1e-9; t += step)
        ticks.push_back(t);
    for (size_t i = 0; i < panels.size(); ++i)
        paintPanel(p, i, cells, ticks);

    // The shared time axis under the last panel.
    const QRectF axis = layout.timeAxis;
    p.setFont(font(12));
    p.setPen(QColor(70, 70, 70));
    for (double t : ticks)
        p.drawText(QRectF(x(t) - 50, axis.top(), 100, axis.height()), Qt::AlignHCenter | Qt::AlignTop,
                   plotClock(t, false, log.endTime() >= 3600));
    // The unit under the value labels, clear of the first time label.
    p.drawText(QRectF(0, axis.top(), axis.left() - 24, axis.height()), Qt::AlignRight | Qt::AlignTop,
               log.endTime() >= 3600 ? "h:mm:ss" : "m:ss");
    paintLegend(p);
}

} // namespace

QByteArray renderPlot(const PlotLog &log, const PlotHeading &heading, bool channels, PlotFormat format)
{
    const std::vector<int> panels = plotPanels(channels);
    const Chart chart{log, heading, panels, layoutPlot(format, panels), format == PlotFormat::Png};
    const QSize canvas = chart.layout.canvas;
    const QString title = "Telemetry: " + heading.name;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case PlotFormat::Png: {
        QImage image(canvas, QImage::Format_RGB32);
        {
            QPainter p(&image);
            chart.paint(p);
        }
        // Qt's writer at zlib's fastest level: a chart is mostly flat colour,
        // and a PNG is written once.
        QImageWriter writer(&buffer, "png");
        writer.setQuality(kPngQuality);
        if (!writer.write(image))
            return QByteArray();
        return bytes;
    }
    case PlotFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(canvas);
        svg.setViewBox(QRect(QPoint(0, 0), canvas));
        svg.setTitle(title);
        svg.setDescription("Drawn by txctl plot");
        QPainter p(&svg);
        chart.paint(p);
        break;
    }
    case PlotFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(72); // one device unit per point
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(plotOrientation(panels));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(title);
        pdf.setCreator("txctl");
        const QSizeF printable = plotPdfPrintable(panels);
        QPainter p(&pdf);
        p.translate(kPdfMarginPt, kPdfMarginPt);
        p.scale(printable.width() / canvas.width(), printable.width() / canvas.width());
        chart.paint(p);
        break;
    }
    }
    return bytes;
}
