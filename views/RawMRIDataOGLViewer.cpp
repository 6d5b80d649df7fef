#include "RawMRIDataOGLViewer.h"

#include "Documents.h"
#include "ImageOGLViewer.h"
#include "LocalFiles.h"

#include <QGesture>
#include <QKeyEvent>

#include <cstdio>

RawMRIDataOGLViewer::RawMRIDataOGLViewer(QWidget *parent) : PlaneView(2, parent) {}

QString RawMRIDataOGLViewer::instructionText(int inputKind) const
{
    QString text = ImageOGLViewer::imageInstructions(inputKind);
    if (inputKind == 0)
        text += "\nPress Up or Down for the previous or next frame of a multi-frame image";
    return text;
}

// At the bottom edge, where it hides least of the image.
QPoint RawMRIDataOGLViewer::instructionPosition() const
{
    const QImage band = instructionImage();
    return QPoint((width() - band.width()) / 2, height() - band.height());
}

void RawMRIDataOGLViewer::showDicom(const std::shared_ptr<const DicomDocument> &dicom, int index)
{
    resetTransformation();
    shown = dicom;
    shownFrame = 0;
    const QImage image = dicom->image();
    setInspectedIndex(index);
    setImage(image);
    setFailureNote(QString());
    emit frameShown(0, dicom->frames());
    emit thumbnailOffered(index, image, false);
}

void RawMRIDataOGLViewer::showFrame(int frame)
{
    if (!shown)
        return;
    frame = qBound(0, frame, shown->frames() - 1);
    if (frame == shownFrame)
        return;
    QString reason;
    const QImage image = shown->frameImage(frame, reason);
    shownFrame = frame;
    emit frameShown(frame, shown->frames());
    if (image.isNull()) {
        // The frames around it may still show: the failure is this frame's alone.
        const int index = inspectedItem();
        releaseImage();
        setInspectedIndex(index);
        setFailureNote(QString("Frame %1: %2").arg(frame + 1).arg(LocalFiles::printable(reason)));
        return;
    }
    setImage(image);
    setFailureNote(QString());
}

void RawMRIDataOGLViewer::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        showFrame(shownFrame + (event->key() == Qt::Key_Down ? 1 : -1));
        return;
    }
    PlaneView::keyPressEvent(event);
}

void RawMRIDataOGLViewer::clear()
{
    shown.reset();
    shownFrame = 0;
    releaseImage();
    setFailureNote(QString());
}

void RawMRIDataOGLViewer::panTriggered(QPanGesture *pan)
{
    if (pinchTime.elapsed() < 300) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    switch (pan->state()) {
    case Qt::GestureStarted:
        std::puts("Pan started");
        break;
    case Qt::GestureUpdated:
        setCursor(Qt::SizeAllCursor);
        std::puts("Pan updated");
        break;
    case Qt::GestureFinished:
        setCursor(Qt::ArrowCursor);
        std::puts("Pan finished");
        break;
    default:
        setCursor(Qt::ArrowCursor);
    }
    std::fflush(stdout);
    // Unscaled, and without a glide afterwards.
    navigator().translate(pan->delta().x(), pan->delta().y());
    if (++panEventCount % panUpdateEvery == 0)
        update();
}
