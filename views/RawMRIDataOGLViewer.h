#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include "PlaneView.h"

class DocRawDataInterface;

// Shows one DICOM image in grey levels scaled to its intensity statistics.
class RawMRIDataOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent = nullptr);

signals:
    // A DICOM file was loaded into the core.
    void dicomLoaded();
    // A file could not be shown; the note says which and why.
    void loadFailed(const QString &note);

public slots:
    void newRawMRIFileForInspection(int sel_item, QString filename);
    void releaseItem() override;

protected:
    QString instructionText(int inputKind) const override;
    QPoint instructionPosition() const override;
    QColor clearColour() const override { return QColor(12, 12, 12); }
    double pinchGain() const override { return 1.0; }
    void panTriggered(QPanGesture *pan) override;

private:
    void fail(const QString &fileName, const QString &reason);

    DocRawDataInterface *rawData;
};

#endif
