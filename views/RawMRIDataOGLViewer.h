#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include "PlaneView.h"

class DocRawDataInterface;

class RawMRIDataOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent = nullptr);

signals:
    // A DICOM file was loaded into the core.
    void dicomLoaded();

public slots:
    void newRawMRIFileForInspection(int sel_item, QString filename);

protected:
    QString instructionText(int inputKind) const override;

private:
    DocRawDataInterface *rawData;
};

#endif
