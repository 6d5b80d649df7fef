#ifndef IMAGEOGLVIEWER_H
#define IMAGEOGLVIEWER_H

#include "PlaneView.h"

#include <memory>

class PictureDocument;

// Shows the picture chosen in images mode, upright by its EXIF orientation.
class ImageOGLViewer : public PlaneView
{
    Q_OBJECT

public:
    explicit ImageOGLViewer(QWidget *parent = nullptr);

    // The image and raw MRI views' instructions.
    static QString imageInstructions(int inputKind);

    // Shows a picture read for the cover at index.
    void showPicture(const std::shared_ptr<const PictureDocument> &picture, int index);
    void clear() override;
    // Also reports the cover's image as unreadable: 0 × 0.
    void showFailure(int index, const QString &fileName, const QString &reason) override;

signals:
    // The size and EXIF orientation of the image loaded for the cover at index;
    // 0 x 0 when it could not be read.
    void imageMeasured(int index, int width, int height, int orientation);

protected:
    QString instructionText(int inputKind) const override { return imageInstructions(inputKind); }
    void swipeTriggered(QSwipeGesture *swipe) override;
};

#endif
