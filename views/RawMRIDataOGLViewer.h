#ifndef RAWMRIDATAOGLVIEWER_H
#define RAWMRIDATAOGLVIEWER_H

#include "PlaneView.h"

#include <memory>

class DicomDocument;

// Shows one DICOM image, grey levels scaled to its intensity statistics or in
// colour; Up and Down step through the frames of a multi-frame image.
class RawMRIDataOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit RawMRIDataOGLViewer(QWidget *parent = nullptr);

    // Shows the first frame of a DICOM image read for the cover at index.
    void showDicom(const std::shared_ptr<const DicomDocument> &dicom, int index);
    void clear() override;
    // The frame shown, from 0.
    int frame() const { return shownFrame; }
    // Shows a frame of the image (from 0; held to its frames).
    void showFrame(int frame);

signals:
    // Frame (from 0) of frames is shown.
    void frameShown(int frame, int frames);

protected:
    QString instructionText(int inputKind) const override;
    QPoint instructionPosition() const override;
    QColor clearColour() const override { return QColor(12, 12, 12); }
    double pinchGain() const override { return 1.0; }
    void panTriggered(QPanGesture *pan) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::shared_ptr<const DicomDocument> shown;
    int shownFrame = 0;
};

#endif
