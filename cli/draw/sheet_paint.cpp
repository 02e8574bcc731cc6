// The sheet painted into a PDF.

#include "cli/draw/sheet.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

QFont sheetFont(SheetText::Style style)
{
    QFont f("DejaVu Sans");
    f.setStyleHint(QFont::SansSerif);
    switch (style) {
    case SheetText::Title:
        f.setPointSizeF(15);
        f.setBold(true);
        break;
    case SheetText::Line:
        f.setPointSizeF(9);
        break;
    case SheetText::Small:
        f.setPointSizeF(6.5);
        break;
    case SheetText::PageTitle:
        f.setPointSizeF(10);
        f.setBold(true);
        break;
    case SheetText::GroupTitle:
    case SheetText::Header:
        f.setPointSizeF(7);
        f.setBold(true);
        break;
    case SheetText::Value:
        f.setPointSizeF(7.5);
        f.setBold(true);
        break;
    case SheetText::Caption:
    case SheetText::Fixed:
    default:
        f.setPointSizeF(7);
        break;
    }
    return f;
}

namespace {

QFont fontOf(const SheetText &t)
{
    QFont f = sheetFont(t.style);
    if (t.scale != 1)
        f.setPointSizeF(f.pointSizeF() * t.scale);
    return f;
}

} // namespace

void fitSheetTexts(SheetDocument &doc)
{
    constexpr double kSmallest = 0.8; // of the style's size, still easy to read
    // Measured as the PDF lays text out: one unit per point.
    QBuffer nowhere;
    QPdfWriter pdf(&nowhere);
    pdf.setResolution(72);
    for (SheetPage &page : doc.pages)
        for (SheetText &t : page.texts) {
            const double width = QFontMetricsF(fontOf(t), &pdf).horizontalAdvance(t.text);
            if (width <= t.rect.width())
                continue;
            t.scale = std::max(kSmallest, t.rect.width() / width * 0.99);
            t.text = QFontMetricsF(fontOf(t), &pdf).elidedText(t.text, Qt::ElideMiddle, t.rect.width());
        }
}

namespace {

void paintThrottle(QPainter &p, const SheetCurve &c)
{
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (const QLine &dash : throttleGridDashes(throttleGrid(c.size, c.size)))
        p.drawLine(dash);
    p.setPen(QPen(Qt::black, 1.5));
    p.drawRect(throttleFrame());
    QFont f("DejaVu Sans");
    f.setPixelSize(13);
    p.setFont(f);
    for (int j = 0; j < kThrottleLabelCount; ++j)
        p.drawText(throttleLabelPos(j), QString::fromLatin1(kThrottleLabels[j]));
    p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int k = 0; k < 6; ++k)
        p.drawLine(c.throttle[size_t(k)], c.throttle[size_t(k + 1)]);
    p.setBrush(Qt::black);
    for (const QPoint &pt : c.throttle)
        p.drawEllipse(QPointF(pt), 3.5, 3.5);
    p.setBrush(Qt::NoBrush);
}

void paintDualRate(QPainter &p, const SheetCurve &c)
{
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (const QLine &dash : drAxisDashes(drAxes(c.size, c.size)))
        p.drawLine(dash);
    p.setPen(QPen(Qt::black, 2));
    p.drawRect(drFrame());
    p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPainterPath &half : drCurvePaths<QPainterPath>(c.dualRate))
        p.drawPath(half);
}

} // namespace

QByteArray renderSheetPdf(const SheetDocument &doc, const QString &paper, const QString &title)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72); // one device unit per point
        writer.setPageSize(
            QPageSize(paper.compare("letter", Qt::CaseInsensitive) == 0 ? QPageSize::Letter : QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(title);
        writer.setCreator("txctl");
        const QSizeF page = writer.pageLayout().fullRectPoints().size();
        const QPointF origin((page.width() - kSheetWidth) / 2, (page.height() - kSheetHeight) / 2);
        QPainter p(&writer);
        for (size_t i = 0; i < doc.pages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            const SheetPage &sp = doc.pages[i];
            p.save();
            p.translate(origin);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(232, 232, 232));
            for (const QRectF &r : sp.shades)
                p.drawRect(r);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 0.6));
            for (const QRectF &r : sp.boxes)
                p.drawRect(r);
            for (const QLineF &l : sp.rules)
                p.drawLine(l);
            for (const SheetText &t : sp.texts) {
                p.setFont(fontOf(t));
                p.setPen(t.style == SheetText::Fixed ? QColor(70, 70, 70) : QColor(Qt::black));
                p.drawText(t.rect, t.align, t.text);
            }
            for (const SheetCurve &c : sp.curves) {
                p.save();
                p.translate(c.rect.topLeft());
                p.scale(c.rect.width() / c.size, c.rect.height() / c.size);
                p.setClipRect(QRect(0, 0, c.size, c.size));
                p.setRenderHint(QPainter::Antialiasing);
                if (c.kind == SheetCurve::Throttle)
                    paintThrottle(p, c);
                else
                    paintDualRate(p, c);
                p.restore();
            }
            p.restore();
        }
    }
    return bytes;
}
