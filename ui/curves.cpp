#include "ui/curves.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "model/curvegeometry.h"
#include "model/txsettings.h"

cureWidget::cureWidget(QWidget *parent) : QWidget(parent), timer(new QTimer(this))
{
    timer->start(100);
    connect(timer, &QTimer::timeout, this, &cureWidget::creatData);
}

void cureWidget::creatData()
{
    update();
}

void cureWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);

    painter.setPen(QPen(Qt::green, 4));
    painter.fillRect(QRect(0, 0, kThrottleFillSize, kThrottleFillSize), Qt::white);
    painter.drawRect(throttleFrame());

    painter.setPen(QPen(Qt::green, 1));
    for (const QLine &dash : throttleGridDashes(throttleGrid(width(), height())))
        painter.drawLine(dash);

    painter.setPen(QPen(Qt::black, 4));
    for (int j = 0; j < kThrottleLabelCount; ++j)
        painter.drawText(throttleLabelPos(j), QString::fromLatin1(kThrottleLabels[j]));

    painter.setPen(QPen(Qt::red, 4));
    const std::array<QPoint, 7> p = throttlePoints(TxSettings.thcure, width(), height());
    for (int k = 0; k < 6; ++k)
        painter.drawLine(p[k], p[k + 1]);
}

mWidget::mWidget(QWidget *parent) : QWidget(parent), timer(new QTimer(this))
{
    timer->start(100);
    connect(timer, &QTimer::timeout, this, &mWidget::creatData);
}

void mWidget::creatData()
{
    update();
}

void mWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);

    painter.setPen(QPen(Qt::green, 4));
    painter.fillRect(drFrame(), Qt::white);
    painter.drawRect(drFrame());

    painter.setPen(QPen(Qt::green, 2));
    for (const QLine &dash : drAxisDashes(drAxes(width(), height())))
        painter.drawLine(dash);

    const DrCurve c = drCurve(TxSettings.drRateEdit, TxSettings.drExpEdit, width(), height());
    painter.setPen(QPen(Qt::red, 4));
    for (const QPainterPath &half : drCurvePaths<QPainterPath>(c))
        painter.drawPath(half);
}
