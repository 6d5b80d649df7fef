#include "RawMRIDataOGLViewer.h"

#include "DICOMDoc.h"
#include "DicomGreyImage.h"
#include "DocRawDataInterface.h"
#include "FileHelpers.h"
#include "ImageOGLViewer.h"
#include "LocalFiles.h"

#include <QGesture>

#include <cstdio>

RawMRIDataOGLViewer::RawMRIDataOGLViewer(DocRawDataInterface *rawData, QWidget *parent)
    : PlaneView(2, parent), rawData(rawData)
{
}

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

void RawMRIDataOGLViewer::newRawMRIFileForInspection(int sel_item, QString filename)
{
    resetTransformation();
    if (!rawData)
        return;
    showBusyCursor();
    const bool loaded = rawData->loadDICOM(filename);
    hideBusyCursor();
    const DICOMDoc *doc = loaded ? rawData->getDICOMDoc() : nullptr;
    if (!doc) {
        // The core keeps the last image it read; showing it under this file's name would lie.
        fail(filename, rawData->getDICOMFailureReason());
        return;
    }
    const QImage grey = dicomGreyImage(*doc);
    if (grey.isNull()) {
        fail(filename, QString("no memory for a picture of %1 × %2 pixels")
                           .arg(doc->nrOfColumns)
                           .arg(doc->nrOfRows));
        return;
    }
    emit dicomLoaded();
    setInspectedIndex(sel_item);
    setImage(grey);
    setFailureNote(QString());
    emit thumbnailOffered(sel_item, grey, false);
}

void RawMRIDataOGLViewer::releaseItem()
{
    releaseImage();
    setFailureNote(QString());
    if (rawData)
        rawData->releaseDICOMDoc();
}

void RawMRIDataOGLViewer::fail(const QString &fileName, const QString &reason)
{
    setImage(QImage());
    const QString note = LocalFiles::displayName(fileName) + ": " + LocalFiles::printable(reason);
    setFailureNote(note);
    emit loadFailed(note);
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
