#include "VolumeOGLViewer.h"

#include "Documents.h"
#include "VolumeDoc.h"

#include <QCursor>
#include <QGesture>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeLine>

#include <cmath>

namespace {

// Halves away from zero.
int roundedAway(double v)
{
    return int(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5));
}

} // namespace

VolumeOGLViewer::VolumeOGLViewer(QWidget *parent)
    : PlaneView(0, parent), position(new VolumeCross(this))
{
    connect(position, &VolumeCross::moved, this, &VolumeOGLViewer::crossMoved);
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
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu\n"
               "Press K to show or hide the legend";
    return "Click and drag with the left mouse button to move red cross in sub-views\n"
           "Drag with right mouse button (or Shift left mouse button) to translate whole image\n"
           "Use both buttons, wheel or Shift-Ctrl left mouse button to zoom\n"
           "Double-click to zoom in selected region or to reset view\n"
           "Press K to show or hide the legend";
}

void VolumeOGLViewer::showVolume(const std::shared_ptr<VolumeDocument> &volume, int index)
{
    resetTransformation();
    resetCrossAnimation();
    document = volume;
    const VolumeDoc &doc = volume->volume();
    layout = MosaicLayout(doc.dimX, doc.dimY, doc.dimZ);
    setInspectedIndex(index);
    setFailureNote(QString());
    position->reset(volume.get());
    // The view adds the labels to what the cover shows, and the cross from the
    // first move on.
    const VolumeComposer::Overlays cover = VolumeComposer::coverOverlays();
    emit thumbnailOffered(
        index, composeMosaic(cover.borders, cover.labels, cover.cross, cover.legend), false);
    setImage(composeMosaic(true, showOrientationLabels, false, showLegend));
    update();
}

void VolumeOGLViewer::clear()
{
    resetCrossAnimation();
    document.reset();
    position->reset(nullptr);
    layout = MosaicLayout();
    composer = VolumeComposer();
    releaseImage();
    setFailureNote(QString());
}

QImage VolumeOGLViewer::composeMosaic(bool borders, bool labels, bool crossHair, bool legend)
{
    if (!document)
        return QImage();
    return composer.compose(*document, position->position(), {borders, labels, crossHair, legend});
}

void VolumeOGLViewer::renderVolumeAtCrossPosition(bool borders, bool labels, bool crossHair)
{
    if (layout.isEmpty())
        return;
    setImage(composeMosaic(borders, labels, crossHair, showLegend));
    update();
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
    const VolumeCross::Voxel at = position->position();
    const MosaicLayout::VoxelHit hit = layout.voxelAtMousePosition(
        widget, image, zoom, {nav.translationX(), nav.translationY()}, pos, at[0], at[1], at[2]);
    if (!hit.valid || !position->moveTo({hit.x, hit.y, hit.z}))
        return;
    if (render)
        renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}

bool VolumeOGLViewer::setCrossPosition(int x, int y, int z)
{
    if (layout.isEmpty() || !position->moveTo({x, y, z}))
        return false;
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
    return true;
}

void VolumeOGLViewer::stepCross(int axis, int step)
{
    if (layout.isEmpty() || !position->step(axis, step))
        return;
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
    crossStep = {0, 0, 0};
    crossLine->stop();
    crossLine->setCurrentTime(0);
}

void VolumeOGLViewer::animateCrossMovement(int)
{
    if (layout.isEmpty())
        return;
    position->travel(crossStep);
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
    case Qt::Key_K:
        showLegend = !showLegend;
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

void VolumeOGLViewer::mapDisplayChanged()
{
    renderVolumeAtCrossPosition(true, showOrientationLabels, showCross);
}
