#include "ImageOGLViewer.h"

#include <QPainter>

ImageOGLViewer::ImageOGLViewer(CortivexViewer *mainWindow, CoverFlowBrowser *coverFlowBrowser)
    : mainWindow(mainWindow), coverFlowBrowser(coverFlowBrowser)
{
}

void ImageOGLViewer::newImageForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

void ImageOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}
