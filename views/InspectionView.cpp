#include "InspectionView.h"

#include <QPainter>

InspectionView::InspectionView(QWidget *parent) : QOpenGLWidget(parent) {}

void InspectionView::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
