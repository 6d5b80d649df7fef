#include "RawMRIDataOGLViewer.h"

#include "ImageOGLViewer.h"

RawMRIDataOGLViewer::RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent)
    : PlaneView(2, parent), rawData(rawData)
{
}

void RawMRIDataOGLViewer::newRawMRIFileForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}

QString RawMRIDataOGLViewer::instructionText(int inputKind) const
{
    return ImageOGLViewer::imageInstructions(inputKind);
}
