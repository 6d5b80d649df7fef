#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include "PlaneView.h"

#include <memory>

class DicomDocument;

// Shows one DICOM image in grey levels scaled to its intensity statistics.
class RawMRIDataOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit RawMRIDataOGLViewer(QWidget *parent = nullptr);

    // Shows a DICOM image read for the cover at index.
    void showDicom(const std::shared_ptr<const DicomDocument> &dicom, int index);
    void clear() override;

protected:
    QString instructionText(int inputKind) const override;
    QPoint instructionPosition() const override;
    QColor clearColour() const override { return QColor(12, 12, 12); }
    double pinchGain() const override { return 1.0; }
    void panTriggered(QPanGesture *pan) override;

};

#endif
