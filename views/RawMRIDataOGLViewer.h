#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include "InspectionView.h"

class DocRawDataInterface;

class RawMRIDataOGLViewer : public InspectionView
{
    Q_OBJECT

public:
    explicit RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent = nullptr);

signals:
    // A DICOM file was loaded into the core.
    void dicomLoaded();

public slots:
    void newRawMRIFileForInspection(int sel_item, QString filename);

private:
    DocRawDataInterface *rawData;
};

#endif
