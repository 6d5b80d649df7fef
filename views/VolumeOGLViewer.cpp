#include "VolumeOGLViewer.h"

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "DocVMRInterface.h"
#include "FileHelpers.h"
#include "LocalFiles.h"
#include "NiftiImage.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QCursor>
#include <QGesture>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeLine>

#include <cmath>

namespace {

// The stored cross, truncated; a file's value that is no voxel index (damaged,
// or far outside) gives the middle of the axis instead.
int initialCross(float stored, int dim)
{
    if (!std::isfinite(stored) || stored < 0 || stored >= float(dim))
        return dim / 2;
    return int(stored);
}

// Halves away from zero.
int roundedAway(double v)
{
    return int(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5));
}

} // namespace

VolumeOGLViewer::VolumeOGLViewer(DocVMRInterface *volumes, QWidget *parent)
    : PlaneView(0, parent), volumes(volumes)
{
    crossLine = new QTimeLine(10000, this);
    crossLine->setFrameRange(0, 200);
    crossLine->setUpdateInterval(50);
    crossLine->setEasingCurve(QEasingCurve::Linear);
    connect(crossLine, &QTimeLine::frameChanged, this, &VolumeOGLViewer::animateCrossMovement);
    crossIcons[0] = QImage(":/resources/redCrossBtnOffVolumeView.png");
    crossIcons[1] = QImage(":/resources/redCrossBtnOnVolumeView.png");
    translationIcons[0] = QImage(":/resources/translationBtnOffVolumeView.png");
    translationIcons[1] = QImage(":/resources/translationBtnOnVolumeView.png");
}

QString VolumeOGLViewer::instructionText(int inputKind) const
{
    if (inputKind == 1)
        return "Touch and move one finger to move red cross in sub-views or to move whole image\n"
               "Touch the \"Red Cross\" or \"Translate\" icon\" to switch panning mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Touch and hold for a couple of seconds to get the context menu";
    if (inputKind == 2)
        return "Use two-finger pan gesture to move red cross in sub-views or to move whole image\n"
               "Use three-finger swipe down gesture to switch panning mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu";
    return "Click and drag with the left mouse button to move red cross in sub-views\n"
           "Drag with right mouse button (or Shift left mouse button) to translate whole image\n"
           "Use both buttons, wheel or Shift-Ctrl left mouse button to zoom\n"
           "Double-click to zoom in selected region or to reset view";
}

void VolumeOGLViewer::newVolumeItemForInspection(int sel_item, QString filename)
{
    resetTransformation();
    resetCrossAnimation();
    if (!volumes)
        return;
    showBusyCursor();
    const bool loaded = volumes->loadVMR(filename);
    hideBusyCursor();
    const VolumeDoc *doc = loaded ? volumes->getVolumeDoc(0) : nullptr;
    if (!doc) {
        // The core keeps the last volume it read; showing it under this file's name would lie.
        fail(filename, volumes->getVMRFailureReason());
        return;
    }
    layout = MosaicLayout(doc->dimX, doc->dimY, doc->dimZ);
    cross[0] = initialCross(doc->crossPosX, doc->dimX);
    cross[1] = initialCross(doc->crossPosY, doc->dimY);
    cross[2] = initialCross(doc->crossPosZ, doc->dimZ);
    leftRightConvention = doc->leftRightConvention;
    setInspectedIndex(sel_item);
    emit volumeLoaded();

    // The cover shows the slices without labels and cross; the view adds the
    // labels, and the cross from the first move on.
    const QImage slices = composeMosaic(true, false, false);
    if (slices.isNull()) {
        fail(filename, QString("a volume of %1 × %2 × %3 voxels cannot be shown")
                           .arg(doc->dimX)
                           .arg(doc->dimY)
                           .arg(doc->dimZ));
        return;
    }
    setFailureNote(QString());
    emit crossMoved(cross[0], cross[1], cross[2]);
    emit thumbnailOffered(sel_item, slices, false);
    setImage(composeMosaic(true, showOrientationLabels, false));
    repaint();
}

void VolumeOGLViewer::releaseItem()
{
    resetCrossAnimation();
    layout = MosaicLayout();
    mapColouring = VolumeMapColouring();
    releaseImage();
    setFailureNote(QString());
    if (volumes)
        volumes->releaseVolumeDocs();
}

void VolumeOGLViewer::fail(const QString &fileName, const QString &reason)
{
    layout = MosaicLayout();
    setImage(QImage());
    const QString note = LocalFiles::displayName(fileName) + ": " + LocalFiles::printable(reason);
    setFailureNote(note);
    emit loadFailed(note);
}

VolumeDoc *VolumeOGLViewer::shownVolume() const
{
    return layout.isEmpty() || !volumes ? nullptr : volumes->getVolumeDoc(0);
}

QImage VolumeOGLViewer::composeMosaic(bool borders, bool labels, bool crossHair)
{
    VolumeDoc *doc = shownVolume();
    if (!doc)
        return QImage();
    QImage image = mosaic.compose(*doc, cross[0], cross[1], cross[2],
                                  mapColouring.mapColouring(*doc, cross[0], cross[1], cross[2]));
    if (borders)
        SliceMosaic::drawBorders(image);
    if (labels)
        SliceMosaic::drawLabels(image, leftRightConvention);
    if (crossHair)
        SliceMosaic::drawCross(image, layout, cross[0], cross[1], cross[2]);
    return image;
}

void VolumeOGLViewer::renderVolumeAtCrossPosition(bool borders, bool labels, bool crossHair)
{
    if (layout.isEmpty())
        return;
    setImage(composeMosaic(borders, labels, crossHair));
    repaint();
    emit crossMoved(cross[0], cross[1], cross[2]);
}

void VolumeOGLViewer::moveCrossTo(const QPoint &pos, bool render)
{
    if (layout.isEmpty())
        return;
    const ViewNavigation &nav = navigation();
    const QSize widget(qMax(width(), 1), qMax(height(), 1));
    const QSize image = layout.imageSize();
    double zoom = nav.zoom();
    if (nav.nativeSizeMode()) {
        // One image pixel per device pixel, whatever the zoom.
        const double fit =
            qMin(double(widget.width()) / image.width(), double(widget.height()) / image.height());
        zoom = 1.0 / devicePixelRatioF() / fit;
    }
    const MosaicLayout::VoxelHit hit =
        layout.voxelAtMousePosition(widget, image, zoom, {nav.translationX(), nav.translationY()},
                                    pos, cross[0], cross[1], cross[2]);
    if (!hit.valid)
        return;
    cross[0] = hit.x;
    cross[1] = hit.y;
    cross[2] = hit.z;
    if (render)
        renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}

bool VolumeOGLViewer::setCrossPosition(int x, int y, int z)
{
    if (layout.isEmpty() || x < 0 || y < 0 || z < 0 || x >= layout.dimX() || y >= layout.dimY() ||
        z >= layout.dimZ())
        return false;
    cross[0] = x;
    cross[1] = y;
    cross[2] = z;
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
    return true;
}

void VolumeOGLViewer::stepCross(int axis, int step)
{
    const int dims[] = {layout.dimX(), layout.dimY(), layout.dimZ()};
    const int moved = cross[axis] + step;
    if (layout.isEmpty() || moved < 0 || moved >= dims[axis])
        return;
    cross[axis] = moved;
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}

void VolumeOGLViewer::travel(int axis, int step)
{
    resetCrossAnimation();
    crossStep[axis] = step;
    crossLine->start();
}

void VolumeOGLViewer::resetCrossAnimation()
{
    crossStep[0] = crossStep[1] = crossStep[2] = 0;
    crossLine->stop();
    crossLine->setCurrentTime(0);
}

void VolumeOGLViewer::animateCrossMovement(int)
{
    if (layout.isEmpty())
        return;
    const int dims[] = {layout.dimX(), layout.dimY(), layout.dimZ()};
    for (int axis = 0; axis < 3; ++axis) {
        cross[axis] += crossStep[axis];
        if (cross[axis] >= dims[axis])
            cross[axis] = 0;
        else if (cross[axis] < 0)
            cross[axis] = dims[axis] - 1;
    }
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}

PlaneView::DragAction VolumeOGLViewer::dragAction(Qt::MouseButtons buttons,
                                                  Qt::KeyboardModifiers keys) const
{
    const bool left = buttons & Qt::LeftButton;
    const bool right = buttons & Qt::RightButton;
    const bool shift = keys & Qt::ShiftModifier;
    const bool control = keys & Qt::ControlModifier;
    if ((shift && control) || (left && right))
        return ZoomDrag;
    if (left && !right && !shift && !control)
        // One finger on a touch screen moves the image in translation mode.
        return inputKind() == 1 && panMode == 1 ? PanDrag : OwnDrag;
    if ((right && !left) || (left && shift && !control))
        return PanDrag;
    return NoDrag;
}

void VolumeOGLViewer::ownDrag(const QPoint &pos)
{
    moveCrossTo(pos);
}

bool VolumeOGLViewer::releaseMayGlide(const QMouseEvent *event) const
{
    return (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)) ||
           event->button() == Qt::RightButton;
}

bool VolumeOGLViewer::isCoverFlowKey(const QKeyEvent *event) const
{
    return (event->modifiers() & Qt::ShiftModifier) && isStepKey(event->key());
}

void VolumeOGLViewer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && touchPieMenuEnabled()) {
        PlaneView::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    lastMousePos = pos;
    if (inputKind() != 0) {
        // The touch-mode icons in the top-left corner.
        if (pos.y() <= 39 && pos.x() <= 69) {
            panMode = pos.x() > 33 ? 1 : 0;
            update();
        }
        return;
    }
    navigator().clearPanDelta();
    if (event->button() == Qt::LeftButton &&
        !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
        moveCrossTo(pos);
}

void VolumeOGLViewer::keyPressEvent(QKeyEvent *event)
{
    if (isCoverFlowKey(event)) {
        stepCoverFlow(event->key());
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    // Left and right walk through the sagittal slices (z), up and down through
    // y, or with Shift through x; Control sets the cross travelling that way.
    const auto move = [&](int axis, int step) {
        if (control)
            travel(axis, step);
        else
            stepCross(axis, step);
    };
    switch (event->key()) {
    case Qt::Key_X:
        showCross = !showCross;
        renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
        return;
    case Qt::Key_L:
        showOrientationLabels = !showOrientationLabels;
        renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
        return;
    case Qt::Key_Space:
        resetCrossAnimation();
        return;
    case Qt::Key_Left:
        move(2, 1);
        return;
    case Qt::Key_Right:
        move(2, -1);
        return;
    case Qt::Key_Down:
        move(shift ? 0 : 1, 1);
        return;
    case Qt::Key_Up:
        move(shift ? 0 : 1, -1);
        return;
    default:
        PlaneView::keyPressEvent(event);
    }
}

void VolumeOGLViewer::panBy(QPanGesture *pan)
{
    if (panMode == 1) {
        navigator().translate(pan->delta().x(), pan->delta().y());
        return;
    }
    // The pointer follows the fingers, and the cross follows the pointer.
    const QPoint step(roundedAway(pan->delta().x()), roundedAway(pan->delta().y()));
    QCursor::setPos(QCursor::pos() + step);
    lastMousePos = mapFromGlobal(QCursor::pos());
    moveCrossTo(lastMousePos, panEventCount % 4 == 0);
}

void VolumeOGLViewer::swipeTriggered(QSwipeGesture *swipe)
{
    if (swipe->state() == Qt::GestureFinished &&
        swipe->verticalDirection() == QSwipeGesture::Down &&
        swipe->horizontalDirection() == QSwipeGesture::NoDirection) {
        panMode = 1 - panMode;
        update();
        return;
    }
    PlaneView::swipeTriggered(swipe);
}

void VolumeOGLViewer::drawOverlays(QPainter &painter)
{
    PlaneView::drawOverlays(painter);
    if (inputKind() == 0)
        return;
    painter.drawImage(1, 1, crossIcons[panMode == 0]);
    painter.drawImage(34, 1, translationIcons[panMode == 1]);
}

// Maps

void VolumeOGLViewer::clickedMap(const QString &fileName)
{
    loadVolumeMaps(fileName);
}

void VolumeOGLViewer::loadVolumeMaps(QString fileName)
{
    VolumeDoc *doc = shownVolume();
    if (!doc)
        return;
    mapFileName = fileName;
    if (NiftiImage::isNiftiFileName(fileName)) {
        showBusyCursor();
        const int nrOfMaps = doc->loadNiftiMaps(fileName);
        hideBusyCursor();
        if (nrOfMaps == 0) {
            failMap(doc->mapFailureReason());
            return;
        }
        setFailureNote(QString());
        emit mapNamesListed(doc->niftiMapNames());
        return;
    }
    const int result = doc->loadVolumeMaps(fileName);
    // A file that cannot be read leaves the maps, their list and the slices as they were.
    if (result == 0 || (result == 2 && doc->loadArVolumeMaps(fileName) != 1)) {
        failMap(doc->mapFailureReason());
        return;
    }
    QStringList names;
    if (result == 1) {
        for (const VolumeMap *map : std::as_const(doc->volumeMaps->maps))
            names << map->mapName;
    } else {
        for (const ArVolumeMap *map : std::as_const(doc->arVolumeMaps->maps))
            names << map->mapName;
    }
    setFailureNote(QString());
    emit mapNamesListed(names);
}

// The map file stays chosen and the slices shown; the note says why no map is.
void VolumeOGLViewer::failMap(const QString &reason)
{
    const QString note = getFileNameFromFullFileName(mapFileName) + ": " + reason;
    setFailureNote(note);
    emit mapFailed(note);
}

void VolumeOGLViewer::clickedSubMap(int row, int rowCount)
{
    VolumeDoc *doc = shownVolume();
    if (!doc || row < 0 || row >= rowCount)
        return;
    bool shown = false;
    if (doc->niftiMaps) {
        if (rowCount != doc->niftiMaps->nrOfVolumesRead())
            return;
        showBusyCursor();
        shown = doc->convertNiftiMapToArVMP(row);
        hideBusyCursor();
        if (shown) {
            const ArVolumeMap &map = *doc->arVolumeMaps->maps[0];
            emit mapSettingsShown(map.threshMin, map.clusterSize, map.clusterCheckEnabled,
                                  map.showPosNeg);
        }
    } else if (VolumeMaps *maps = doc->volumeMaps; maps && !maps->maps.isEmpty()) {
        if (rowCount != maps->maps.size())
            return;
        maps->nrOfSelectedMaps = 1;
        maps->selectedMaps = {row};
        showBusyCursor();
        shown = doc->convertSelectedMapsToNrMaps(true);
        hideBusyCursor();
        const VolumeMap &map = *maps->maps[row];
        const ArVolumeMaps *converted = doc->arVolumeMaps;
        const int clusterSize =
            converted && converted->maps.size() == 1 ? converted->maps[0]->clusterSize : -1;
        emit mapSettingsShown(map.threshMin, clusterSize, map.clusterCheckEnabled, map.showPosNeg);
    } else if (ArVolumeMaps *maps = doc->arVolumeMaps) {
        if (rowCount != maps->maps.size())
            return;
        shown = doc->selectArVolumeMap(row);
        const ArVolumeMap &map = *maps->maps[row];
        emit mapSettingsShown(map.threshMin, map.clusterSize, map.clusterCheckEnabled,
                              map.showPosNeg);
    } else {
        return;
    }
    if (shown)
        setFailureNote(QString());
    else
        failMap(doc->mapFailureReason());
    recolour();
}

ArVolumeMap *VolumeOGLViewer::shownMap() const
{
    const VolumeDoc *doc = shownVolume();
    const ArVolumeMaps *maps = doc ? doc->arVolumeMaps : nullptr;
    if (!maps || maps->nrOfSelectedMaps != 1 || maps->selectedMaps.isEmpty())
        return nullptr;
    const int index = maps->selectedMaps.first();
    return index >= 0 && index < maps->maps.size() ? maps->maps[index] : nullptr;
}

void VolumeOGLViewer::recolour()
{
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}

void VolumeOGLViewer::showPosNegMapValues(int signSelection)
{
    if (ArVolumeMap *map = shownMap()) {
        map->showPosNeg = signSelection;
        recolour();
    }
}

void VolumeOGLViewer::enableClusterSize(bool on)
{
    if (ArVolumeMap *map = shownMap()) {
        map->clusterCheckEnabled = on;
        recolour();
    }
}

void VolumeOGLViewer::changeClusterSize(int size)
{
    if (ArVolumeMap *map = shownMap()) {
        map->clusterSize = size;
        recolour();
    }
}

void VolumeOGLViewer::changeThreshold(float threshold)
{
    if (ArVolumeMap *map = shownMap()) {
        map->threshMin = threshold;
        map->checkStatValueThreshMinMax();
        recolour();
    }
}
