#include "ImageOGLViewer.h"

#include "Documents.h"

#include <QDebug>
#include <QGesture>

ImageOGLViewer::ImageOGLViewer(QWidget *parent) : PlaneView(2, parent)
{
    setAutoFillBackground(false);
}

QString ImageOGLViewer::imageInstructions(int inputKind)
{
    if (inputKind == 1)
        return "Touch and move one finger to move image\n"
               "Use two-finger pinch gesture to zoom and rotate image\n"
               "Touch and hold for a couple of seconds to get the context menu";
    if (inputKind == 2)
        return "Use two-finger pan gesture to translate image\n"
               "Use two-finger pinch gesture to zoom and rotate image\n"
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu";
    return "Click and drag with the left mouse button to move image\n"
           "Use both buttons, double click or wheel to zoom image";
}

void ImageOGLViewer::showPicture(const std::shared_ptr<const PictureDocument> &picture,
                                 int index)
{
    resetTransformation();
    const QImage image = picture->image();
    setInspectedIndex(index);
    setImage(image);
    setFailureNote(QString());
    emit imageMeasured(index, image.width(), image.height(), picture->orientation());
    emit thumbnailOffered(index, image, false);
}

void ImageOGLViewer::clear()
{
    releaseImage();
    setFailureNote(QString());
}

void ImageOGLViewer::showFailure(int index, const QString &fileName, const QString &reason)
{
    PlaneView::showFailure(index, fileName, reason);
    emit imageMeasured(index, 0, 0, 1);
}

void ImageOGLViewer::swipeTriggered(QSwipeGesture *swipe)
{
    if (swipe->state() == Qt::GestureFinished) {
        qDebug() << "swipe direction" << swipe->horizontalDirection();
        qDebug() << "swipe angle" << swipe->swipeAngle();
    }
    PlaneView::swipeTriggered(swipe);
}
