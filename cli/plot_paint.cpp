// Painting a recording of txctl monitor: one panel per series over a shared
// time axis, as PDF, PNG or SVG.

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <array>
#include <cmath>
#include <functional>

#include "cli/plot.h"

namespace {

// The chart's measures in canvas units (pixels of the PNG).
constexpr double kLeft = 92; // room for the value labels
constexpr double kRight = 28;
constexpr double kHeading = 78; // file name and what is known of the recording
constexpr double kBand = 28;    // a panel's title and figures above its box
constexpr double kSpacing = 14; // below each panel
constexpr double kAxis = 26;    // time labels
constexpr double kLegend = 30;
constexpr double kBottom = 8;
constexpr double kRasterUnit = 90; // a channel's box height; telemetry boxes are twice that
constexpr int kRasterWidth = 1600;
constexpr int kPdfWidth = 1100;        // drawn smaller, so the text prints at about 10 pt
constexpr double kPdfMarginPt = 28.35; // 10 mm

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

int weightOf(int series)
{
    return series < kPlotTxV ? 1 : 2;
}

QString titleOf(int series)
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

QString unitOf(int series)
{
    return series == kPlotRssi ? " dBm" : series >= kPlotTxV ? " V" : "";
}

// A step of 1, 2, 2.5 or 5 times a power of ten, near span / parts.
double niceStep(double span, int parts)
{
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

// Time ticks: the shortest step that leaves at most `most` of them.
double timeStep(double span, int most)
{
    for (double step : {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200})
        if (span / step <= most)
            return step;
    return 86400 * std::ceil(span / most / 86400);
}

QPageLayout::Orientation orientationFor(const std::vector<int> &panels)
{
    return panels.size() > 4 ? QPageLayout::Portrait : QPageLayout::Landscape;
}

QSizeF pdfPrintable(const std::vector<int> &panels)
{
    QSizeF page = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (orientationFor(panels) == QPageLayout::Landscape)
        page.transpose();
    return page - QSizeF(2 * kPdfMarginPt, 2 * kPdfMarginPt);
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
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, titleOf(series));
    const double titleWidth = QFontMetricsF(p.font()).horizontalAdvance(titleOf(series)) + 20;
    QString figures = "no readings";
    if (st.count > 0) {
        const QString unit = unitOf(series);
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
    const double columnWidth = box.width() / double(cells.size());
    if (hasAlarm) {
        for (size_t c = 0; c < cells.size();) {
            auto below = [&](size_t i) {
                const PlotCell &cell = cells[i][size_t(series)];
                return cell.count > 0 && cell.min < alarm;
            };
            if (!below(c)) {
                ++c;
                continue;
            }
            size_t end = c;
            while (end < cells.size() && below(end))
                ++end;
            p.fillRect(QRectF(box.left() + c * columnWidth, box.top(), (end - c) * columnWidth, box.height()),
                       rgb(kPlotBelowRgb));
            c = end;
        }
    }

    // The grid with its labels.
    p.setFont(font(12));
    const double step = niceStep(hi - lo, 5);
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
    const double step = timeStep(span, int(first.width() / 120));
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

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

void appendBigEndian(QByteArray &to, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        to.append(char(v >> shift));
}

// The PNG of an RGB32 image: rows unfiltered and deflated at zlib's fastest
// level. A chart is mostly flat colour, which that compresses well; libpng's
// adaptive row filters (what QImage::save uses) took three times as long for
// a file a third smaller.
QByteArray pngOf(QImage &image)
{
    // The rows as PNG wants them (a filter byte, then red, green and blue)
    // are written over the image's own pixels: each lands at or before the
    // place it was read from.
    const int w = image.width(), h = image.height();
    uchar *const bits = image.bits();
    uchar *out = bits;
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(bits + qsizetype(y) * image.bytesPerLine());
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = line[x];
            if (x == 0)
                *out++ = 0; // filter: none
            *out++ = uchar(qRed(pixel));
            *out++ = uchar(qGreen(pixel));
            *out++ = uchar(qBlue(pixel));
        }
    }
    const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char *>(bits), int(out - bits));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&png](const char *type, const QByteArray &data) {
        const QByteArray typed = QByteArray(type, 4) + data;
        appendBigEndian(png, quint32(data.size()));
        png += typed;
        appendBigEndian(png, crc32(typed));
    };
    QByteArray header;
    appendBigEndian(header, quint32(w));
    appendBigEndian(header, quint32(h));
    header.append("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", qCompress(raw, 1).mid(4)); // a zlib stream after Qt's 4-byte length
    chunk("IEND", QByteArray());
    return png;
}

} // namespace

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
        const QSizeF page = pdfPrintable(panels);
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
        return pngOf(image);
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
        pdf.setPageOrientation(orientationFor(panels));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(title);
        pdf.setCreator("txctl");
        const QSizeF printable = pdfPrintable(panels);
        QPainter p(&pdf);
        p.translate(kPdfMarginPt, kPdfMarginPt);
        p.scale(printable.width() / canvas.width(), printable.width() / canvas.width());
        chart.paint(p);
        break;
    }
    }
    return bytes;
}
