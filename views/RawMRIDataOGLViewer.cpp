#include "RawMRIDataOGLViewer.h"

#include "Documents.h"
#include "ImageOGLViewer.h"

#include <QGesture>

#include <cstdio>

RawMRIDataOGLViewer::RawMRIDataOGLViewer(QWidget *parent) : PlaneView(2, parent) {}

QString RawMRIDataOGLViewer::instructionText(int inputKind) const
{
    return ImageOGLViewer::imageInstructions(inputKind);
}

// At the bottom edge, where it hides least of the image.
QPoint RawMRIDataOGLViewer::instructionPosition() const
{
    const QImage band = instructionImage();
    return QPoint((width() - band.width()) / 2, height() - band.height());
}

void RawMRIDataOGLViewer::showDicom(const std::shared_ptr<const DicomDocument> &dicom,
                                    int index)
{
    resetTransformation();
    const QImage grey = dicom->greyImage();
    setInspectedIndex(index);
    setImage(grey);
    setFailureNote(QString());
    emit thumbnailOffered(index, grey, false);
}

void RawMRIDataOGLViewer::clear()
{
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
