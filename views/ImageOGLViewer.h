#ifndef IMAGEOGLVIEWER_H
#define IMAGEOGLVIEWER_H

#include "PlaneView.h"

// Shows the picture chosen in images mode, upright by its EXIF orientation.
class ImageOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit ImageOGLViewer(QWidget *parent = nullptr);

    // The image and raw MRI views' instructions.
    static QString imageInstructions(int inputKind);

signals:
    // The size and EXIF orientation of the image loaded for the cover at index;
    // 0 x 0 when it could not be read.
    void imageMeasured(int index, int width, int height, int orientation);

public slots:
    void newImageForInspection(int sel_item, QString filename);
    void releaseItem() override;

protected:
    QString instructionText(int inputKind) const override { return imageInstructions(inputKind); }
    void swipeTriggered(QSwipeGesture *swipe) override;
};

#endif
