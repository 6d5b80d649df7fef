#include "MeshOGLViewer.h"

#include "Documents.h"
#include "MeshPick.h"
#include "SurfaceMesh.h"

#include <QGesture>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeLine>
#include <QTimer>
#include <QTouchEvent>

#include <GL/gl.h>

#include <cstdio>

namespace {

QTimeLine *newTimeLine(int duration, int frames, QObject *parent)
{
    auto *line = new QTimeLine(duration, parent);
    line->setFrameRange(0, frames);
    line->setUpdateInterval(10);
    line->setEasingCurve(QEasingCurve::Linear);
    return line;
}

} // namespace

MeshOGLViewer::MeshOGLViewer(QWidget *parent) : OGLViewer(0, parent)
{
    // Smooth edges where the hardware draws them for free; a software renderer
    // would draw at half the speed.
    QSurfaceFormat format;
    format.setSamples(isSoftwareRendered() ? 0 : 4);
    setFormat(format);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::WheelFocus);

    translationLine = newTimeLine(700, 100, this);
    connect(translationLine, &QTimeLine::frameChanged, this, &MeshOGLViewer::animateTranslation);
    rotationLine = newTimeLine(1000, 200, this);
    connect(rotationLine, &QTimeLine::frameChanged, this, &MeshOGLViewer::animateRotation);
    spinLine = newTimeLine(10000, 1000, this);
    connect(spinLine, &QTimeLine::frameChanged, this, &MeshOGLViewer::animateLongRotation);
    zoomLine = newTimeLine(250, 100, this);
    connect(zoomLine, &QTimeLine::frameChanged, this, &MeshOGLViewer::animateZoom);
    clock.start();

    rotationIcons[0] = QImage(":/resources/rotationBtnOff.png");
    rotationIcons[1] = QImage(":/resources/rotationBtnOn.png");
    translationIcons[0] = QImage(":/resources/translationBtnOff.png");
    translationIcons[1] = QImage(":/resources/translationBtnOn.png");
}

MeshOGLViewer::~MeshOGLViewer()
{
    if (context()) {
        makeCurrent();
        renderer.releaseBuffers();
        doneCurrent();
    }
}

QString MeshOGLViewer::instructionText(int inputKind) const
{
    if (inputKind == 1)
        return "Touch and move one finger to rotate or translate 3D model\n"
               "Touch the \"Rotate\" or \"Translate\" icon\" to switch between rotation and "
               "translation mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Touch and hold for a couple of seconds to get the context menu";
    if (inputKind == 2)
        return "Use two-finger pan gesture to rotate or translate 3D model\n"
               "Use three-finger swipe down gesture to switch between rotation and translation "
               "mode\n"
               "Use two-finger pinch gesture to zoom in and out\n"
               "Perform \"secondary click\" (e.g. two-finger click) to get context menu";
    return "Click and drag with the left mouse button to rotate 3D model\n"
           "Click and drag with right mouse button to tranlate 3D model\n"
           "Use both buttons, double click or wheel to zoom image\n"
           "Control-click the model to show the vertex there in the properties";
}

// Opening

void MeshOGLViewer::showMesh(const std::shared_ptr<MeshDocument> &mesh, int index)
{
    resetAnimations();
    document = mesh;
    renderer.meshReplaced();
    inspectedIndex = index;
    setFailureNote(QString());
    if (const std::optional<ViewingParameters> p = mesh->viewingParameters()) {
        cam.apply(*p);
        lights.apply(*p);
        cullBackFaces = p->cullBackFaces;
    }

    // The cover shows the mesh alone: no instructions, no icons.
    instructionWasShown = isInstructionShown();
    setInstructionShown(false);
    thumbnailPending = true;
    update();
    QTimer::singleShot(150, this, &MeshOGLViewer::delayedCheckAddingThumbnail);
}

void MeshOGLViewer::clear()
{
    resetAnimations();
    document.reset();
    thumbnailPending = false;
    setFailureNote(QString());
    // A hidden view never paints: its buffers go now, not on the next frame.
    if (context()) {
        makeCurrent();
        renderer.releaseBuffers();
        doneCurrent();
    }
    renderer.meshReplaced();
    update();
}

void MeshOGLViewer::delayedCheckAddingThumbnail()
{
    if (!thumbnailPending)
        return;
    if (document)
        emit thumbnailOffered(inspectedIndex, grabFramebuffer(), false);
    setInstructionShown(instructionWasShown);
    thumbnailPending = false;
    repaint();
}

// Animations

bool MeshOGLViewer::isAnimating() const
{
    for (const QTimeLine *line : {translationLine, rotationLine, spinLine, zoomLine})
        if (line->state() == QTimeLine::Running)
            return true;
    return false;
}

void MeshOGLViewer::resetAnimations()
{
    cam.stopMotion();
    for (QTimeLine *line : {translationLine, rotationLine, zoomLine})
        line->stop();
    spinLine->stop();
    spinLine->setCurrentTime(0);
}

void MeshOGLViewer::startFlick(MeshCamera::Flick flick)
{
    QTimeLine *const lines[] = {translationLine, rotationLine, zoomLine};
    const MeshCamera::Flick kinds[] = {MeshCamera::TranslationFlick, MeshCamera::RotationFlick,
                                       MeshCamera::ZoomFlick};
    for (int i = 0; i < 3; ++i) {
        if (kinds[i] != flick) {
            lines[i]->stop();
        } else {
            lines[i]->stop();
            lines[i]->start();
        }
    }
}

void MeshOGLViewer::animateTranslation(int frame)
{
    cam.translationFlickFrame(frame);
    update();
}

void MeshOGLViewer::animateRotation(int frame)
{
    cam.rotationFlickFrame(frame);
    update();
}

void MeshOGLViewer::animateLongRotation(int)
{
    cam.spinFrame();
    update();
}

void MeshOGLViewer::animateZoom(int frame)
{
    cam.zoomFlickFrame(frame);
    update();
}

void MeshOGLViewer::resetView()
{
    resetAnimations();
    cam.reset();
    repaint();
}

void MeshOGLViewer::toggleWireframeGouraudRenderMode()
{
    if (SurfaceMesh *mesh = document ? &document->mesh() : nullptr)
        mesh->renderMode = MeshRenderMode::toggledWireframe(mesh->renderMode);
    update();
}

void MeshOGLViewer::meshColoursChanged()
{
    renderer.meshColoursChanged();
    update();
}

// Drawing

void MeshOGLViewer::initializeGL()
{
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void MeshOGLViewer::resizeGL(int, int)
{
    formatInstructions(width(), height());
}

void MeshOGLViewer::paintGL()
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.save();
    painter.beginNativePainting();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glClearColor(0, 0, 0, 0);

    if (const SurfaceMesh *mesh = document ? &document->mesh() : nullptr) {
        const qreal ratio = devicePixelRatioF();
        renderer.draw(*mesh, cam, lights, cullBackFaces,
                      QSize(int(width() * ratio), int(height() * ratio)),
                      double(qMax(width(), 1)) / qMax(height(), 1));
    } else {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    painter.endNativePainting();
    painter.restore();

    drawFailureNote(painter);
    drawInstructions(painter);
    if (inputKind() != 0 && !thumbnailPending) {
        const bool translating = cam.touchPanMode() == MeshCamera::TranslationMode;
        painter.drawImage(1, 1, rotationIcons[!translating]);
        painter.drawImage(34, 1, translationIcons[translating]);
    }
}

// Input

bool MeshOGLViewer::event(QEvent *event)
{
    if (event->type() == QEvent::TouchBegin || event->type() == QEvent::TouchUpdate ||
        event->type() == QEvent::TouchEnd) {
        const auto *touch = static_cast<QTouchEvent *>(event);
        if (!touch->device() || touch->device()->type() != QInputDevice::DeviceType::TouchPad)
            emit touchFontSizeRequested(11.0f);
    }
    return OGLViewer::event(event);
}

void MeshOGLViewer::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton && touchPieMenuEnabled()) {
        popUpTouchPieMenu(event->globalPosition().toPoint());
        return;
    }
    if (inputKind() >= 1 && pos.y() < 40 && pos.x() < 70) {
        cam.setTouchPanMode(pos.x() > 33 ? MeshCamera::TranslationMode : MeshCamera::RotationMode);
        update();
        return;
    }
    resetAnimations();
    // Control and the left button alone pick; a drag from there moves nothing.
    if (event->button() == Qt::LeftButton &&
        (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier)) ==
            Qt::ControlModifier)
        emit vertexPicked(vertexAt(event->position()));
    if (event->button() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) {
        setCursor(Qt::PointingHandCursor);
        cam.beginDrag(pos);
    }
}

int MeshOGLViewer::vertexAt(QPointF point) const
{
    if (!document)
        return -1;
    return pickVertex(document->mesh(), cam, cullBackFaces,
                      QSizeF(qMax(width(), 1), qMax(height(), 1)), point);
}

void MeshOGLViewer::mouseMoveEvent(QMouseEvent *event)
{
    if (multiTouchActive() == 1 || !cam.isDragging())
        return;
    cam.drag(event->position().toPoint(), event->buttons(), event->modifiers(), inputKind(),
             clock.elapsed());
    update();
}

void MeshOGLViewer::mouseReleaseEvent(QMouseEvent *event)
{
    if (multiTouchActive() == 1 || !cam.isDragging() || event->buttons() != Qt::NoButton)
        return;
    unsetCursor();
    startFlick(cam.endDrag(clock.elapsed()));
}

void MeshOGLViewer::mouseDoubleClickEvent(QMouseEvent *)
{
    if (inputKind() == 2 || multiTouchActive() == 1)
        return;
    resetView();
}

void MeshOGLViewer::wheelEvent(QWheelEvent *event)
{
    if (multiTouchActive() > 0)
        return;
    event->accept();
    if (event->angleDelta().y() == 0)
        return;
    cam.wheel(event->angleDelta().y());
    update();
}

void MeshOGLViewer::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (event->modifiers() & Qt::ShiftModifier) {
        hideInstruction();
        if (isStepKey(key))
            stepCoverFlow(key);
        return;
    }
    switch (key) {
    case Qt::Key_W:
        toggleWireframeGouraudRenderMode();
        return;
    case Qt::Key_P:
        cam.setPerspectiveProjection(!cam.perspectiveProjection());
        update();
        return;
    case Qt::Key_C:
        toggleTouchPieMenu();
        return;
    case Qt::Key_U:
        if (document)
            emit thumbnailOffered(inspectedIndex, grabFramebuffer(), true);
        return;
    case Qt::Key_I:
        reShowInstructions();
        return;
    case Qt::Key_Space:
        resetAnimations();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        resetAnimations();
        cam.startSpin(key == Qt::Key_Left    ? -2
                      : key == Qt::Key_Right ? 2
                                             : 0,
                      key == Qt::Key_Up     ? -2
                      : key == Qt::Key_Down ? 2
                                            : 0);
        spinLine->start();
        return;
    default:
        OGLViewer::keyPressEvent(event);
    }
}

void MeshOGLViewer::pinchTriggered(QPinchGesture *pinch)
{
    std::puts("pinch triggered (any state)");
    std::fflush(stdout);
    if ((pinch->changeFlags() & QPinchGesture::ScaleFactorChanged) &&
        pinch->state() != Qt::GestureFinished)
        cam.pinch(pinch->scaleFactor() - pinch->lastScaleFactor(), width(), clock.elapsed());
    if (viewMode() == 2 && (pinch->changeFlags() & QPinchGesture::RotationAngleChanged))
        cam.turnPinched(pinch->rotationAngle() - pinch->lastRotationAngle());
    repaint();
}

void MeshOGLViewer::panTriggered(QPanGesture *pan)
{
    if (cam.pinchedRecently(clock.elapsed())) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    if (pan->state() == Qt::GestureStarted)
        panEventCount = 0;
    else if (pan->state() == Qt::GestureUpdated)
        setCursor(Qt::SizeAllCursor);
    else
        setCursor(Qt::ArrowCursor);
    if (!pan->delta().isNull())
        cam.pan(pan->delta());
    if (pan->state() == Qt::GestureFinished)
        startFlick(cam.touchPanMode() == MeshCamera::TranslationMode ? MeshCamera::TranslationFlick
                                                                     : MeshCamera::RotationFlick);
    if (++panEventCount % 4 == 0)
        repaint();
}

void MeshOGLViewer::swipeTriggered(QSwipeGesture *swipe)
{
    if (swipe->state() != Qt::GestureFinished)
        return;
    if (swipe->horizontalDirection() == QSwipeGesture::Left ||
        swipe->horizontalDirection() == QSwipeGesture::Right) {
        swipeCoverFlow(swipe->horizontalDirection() == QSwipeGesture::Right);
    } else if (swipe->verticalDirection() == QSwipeGesture::Down ||
               swipe->verticalDirection() == QSwipeGesture::Up) {
        // Two modes: the next and the previous are the other one.
        cam.setTouchPanMode(cam.touchPanMode() == MeshCamera::TranslationMode
                                ? MeshCamera::RotationMode
                                : MeshCamera::TranslationMode);
    }
    update();
}
