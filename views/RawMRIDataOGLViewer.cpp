#include "RawMRIDataOGLViewer.h"

#include <QPainter>

RawMRIDataOGLViewer::RawMRIDataOGLViewer(CortivexViewer *mainWindow,
                                         CoverFlowBrowser *coverFlowBrowser)
    : mainWindow(mainWindow), coverFlowBrowser(coverFlowBrowser)
{
}

void RawMRIDataOGLViewer::newRawMRIFileForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void RawMRIDataOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
