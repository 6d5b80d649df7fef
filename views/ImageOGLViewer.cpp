#include "ImageOGLViewer.h"

#include "FileHelpers.h"
#include "LocalFiles.h"

#include <QDebug>
#include <QFile>
#include <QGesture>
#include <QImageReader>

namespace {

// The reader's own words, as the other views give theirs: "unsupported image
// format", or what the decoder found wrong with the data.
QString readFailure(const QImageReader &reader)
{
    const QString reason = reader.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return "not a readable picture";
    return reason.left(1).toLower() + reason.mid(1);
}

} // namespace

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

void ImageOGLViewer::newImageForInspection(int sel_item, QString filename)
{
    resetTransformation();
    // What cannot be opened is not read: a FIFO would block the window.
    QString reason;
    QFile file;
    QImage loaded;
    if (LocalFiles::openRegular(file, filename, QIODevice::ReadOnly, &reason)) {
        QImageReader reader(&file);
        reader.setDecideFormatFromContent(true);
        // The EXIF orientation is applied below, by the viewer's own reading of it.
        reader.setAutoTransform(false);
        loaded = reader.read();
        if (loaded.isNull())
            reason = readFailure(reader);
    }

    int orientation = 1;
    const QString lower = filename.toLower();
    if (lower.endsWith("jpg") || lower.endsWith("jpeg")) {
        orientation = getOrientationFromExif(filename);
        const int angle = orientation == 3   ? 180
                          : orientation == 6 ? 90
                          : orientation == 8 ? 270
                                             : 0;
        if (angle && !loaded.isNull())
            loaded = loaded.transformed(QTransform().rotate(angle), Qt::FastTransformation);
    }

    setInspectedIndex(sel_item);
    setImage(loaded);
    setFailureNote(loaded.isNull() ? LocalFiles::displayName(filename) + ": " + reason
                                   : QString());
    emit imageMeasured(sel_item, loaded.width(), loaded.height(), orientation);
    emit thumbnailOffered(sel_item, loaded, false);
}

void ImageOGLViewer::releaseItem()
{
    releaseImage();
    setFailureNote(QString());
}

void ImageOGLViewer::swipeTriggered(QSwipeGesture *swipe)
{
    if (swipe->state() == Qt::GestureFinished) {
        qDebug() << "swipe direction" << swipe->horizontalDirection();
        qDebug() << "swipe angle" << swipe->swipeAngle();
    }
    PlaneView::swipeTriggered(swipe);
}
