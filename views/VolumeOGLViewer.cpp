#include "VolumeOGLViewer.h"

#include <QPainter>

VolumeOGLViewer::VolumeOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser)
    : mainWindow(mainWindow), coverFlowBrowser(coverFlowBrowser)
{
}

void VolumeOGLViewer::newVolumeItemForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void VolumeOGLViewer::clickedMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void VolumeOGLViewer::clickedSubMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void VolumeOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
