#include "RawMRIDataOGLViewer.h"

RawMRIDataOGLViewer::RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent)
    : InspectionView(parent), rawData(rawData)
{
}

void RawMRIDataOGLViewer::newRawMRIFileForInspection(int sel_item, QString filename)
{
    Q_UNUSED(sel_item);
    Q_UNUSED(filename);
}
