#include "MeshOGLViewer.h"

#include <QPainter>

MeshOGLViewer::MeshOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser)
    : mainWindow(mainWindow), coverFlowBrowser(coverFlowBrowser)
{
}

void MeshOGLViewer::newMeshItemForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void MeshOGLViewer::clickedMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void MeshOGLViewer::clickedSubMap(QListWidgetItem *item)
{
    Q_UNUSED(item);
}

void MeshOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
