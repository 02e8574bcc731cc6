#include "ui/curves.h"

#include <QTimer>

cureWidget::cureWidget(QWidget *parent) : QWidget(parent), timer(new QTimer(this))
{
    timer->start(100);
    connect(timer, &QTimer::timeout, this, &cureWidget::creatData);
}

void cureWidget::creatData()
{
    update();
}

void cureWidget::paintEvent(QPaintEvent *) {}

mWidget::mWidget(QWidget *parent) : QWidget(parent), timer(new QTimer(this))
{
    timer->start(100);
    connect(timer, &QTimer::timeout, this, &mWidget::creatData);
}

void mWidget::creatData()
{
    update();
}

void mWidget::paintEvent(QPaintEvent *) {}
