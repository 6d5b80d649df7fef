#include "ImageOGLViewer.h"

ImageOGLViewer::ImageOGLViewer(QWidget *parent) : InspectionView(parent) {}

void ImageOGLViewer::newImageForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}
