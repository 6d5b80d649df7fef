#include "PlaneView.h"

#include <QGestureEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeLine>
#include <QWheelEvent>

#include <GL/gl.h>

namespace {

QTimeLine *newTimeLine(int duration, QObject *parent)
{
    auto *line = new QTimeLine(duration, parent);
    line->setFrameRange(0, 100);
    line->setUpdateInterval(10);
    return line;
}

} // namespace

PlaneView::PlaneView(int viewMode, QWidget *parent) : OGLViewer(viewMode, parent)
{
    // No multisampling: a textured quad gains nothing from it but its edges
    // when turned, and it doubles the cost of every frame on a software renderer.
    setAttribute(Qt::WA_NoSystemBackground);

    translationLine = newTimeLine(1000, this);
    connect(translationLine, &QTimeLine::frameChanged, this, &PlaneView::animateTranslation);
    zoomLine = newTimeLine(250, this);
    connect(zoomLine, &QTimeLine::frameChanged, this, &PlaneView::animateZoom);
    dragTime.start();
    pinchTime.start();
}

PlaneView::~PlaneView()
{
    if (textureId && context()) {
        makeCurrent();
        freeTexture();
        doneCurrent();
    }
}

ViewNavigation::Sizes PlaneView::sizes() const
{
    ViewNavigation::Sizes s;
    if (!image.isNull()) {
        s.imageWidth = image.width();
        s.imageHeight = image.height();
    }
    s.widgetWidth = qMax(width(), 1);
    s.widgetHeight = qMax(height(), 1);
    s.pixelRatio = devicePixelRatioF();
    return s;
}

void PlaneView::setImage(const QImage &newImage)
{
    image = newImage;
    textureStale = true;
    update();
}

void PlaneView::releaseImage()
{
    image = QImage();
    textureStale = false;
    textureReduced = false;
    inspectedIndex = -1;
    if (textureId && context()) {
        makeCurrent();
        freeTexture();
        doneCurrent();
    }
    update();
}

void PlaneView::freeTexture()
{
    if (textureId)
        glDeleteTextures(1, &textureId);
    textureId = 0;
    textureSize = QSize();
}

// Called with the context current. The image goes up as it is when it can:
// 32-bit pixels are BGRA in memory, which the driver takes without conversion.
void PlaneView::uploadTexture()
{
    textureStale = false;
    textureReduced = false;
    if (image.width() < 2) {
        freeTexture();
        return;
    }
    if (maxTextureSize <= 0)
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    QImage pixels = image;
    if (pixels.width() > maxTextureSize || pixels.height() > maxTextureSize) {
        // Too large for the driver: a smaller texture of the same picture, never a blank view.
        pixels = pixels.scaled(maxTextureSize, maxTextureSize, Qt::KeepAspectRatio,
                               Qt::SmoothTransformation);
        textureReduced = true;
    }
    if (pixels.format() != QImage::Format_RGB32 && pixels.format() != QImage::Format_ARGB32)
        pixels = pixels.convertToFormat(QImage::Format_ARGB32);

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pixels.bytesPerLine() / 4));
    if (textureId && textureSize == pixels.size()) {
        // Pictures of one camera share a size: their texture is filled anew, not made anew.
        glBindTexture(GL_TEXTURE_2D, textureId);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, pixels.width(), pixels.height(), GL_BGRA,
                        GL_UNSIGNED_BYTE, pixels.constBits());
    } else {
        freeTexture();
        glGenTextures(1, &textureId);
        glBindTexture(GL_TEXTURE_2D, textureId);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pixels.width(), pixels.height(), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, pixels.constBits());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        textureSize = pixels.size();
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void PlaneView::initializeGL()
{
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
}

void PlaneView::resizeGL(int, int)
{
    formatInstructions(width(), height());
}

void PlaneView::paintGL()
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.beginNativePainting();
    if (textureStale)
        uploadTexture();

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();

    const QColor clear = clearColour();
    glClearColor(clear.redF(), clear.greenF(), clear.blueF(), clear.alphaF());
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat lightPosition[] = {0, 0, 1, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);

    // Device pixels, so the picture stays sharp on a high-density screen.
    const qreal ratio = devicePixelRatioF();
    glViewport(0, 0, int(width() * ratio), int(height() * ratio));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = double(qMax(width(), 1)) / qMax(height(), 1);
    const double extent = nav.viewExtent(aspect, sizes(), textureId != 0);
    if (extent > 0)
        glOrtho(-extent / 2, extent / 2, extent / (2 * aspect), -extent / (2 * aspect), 1.0, 15.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    if (textureId && extent > 0) {
        glTranslated(nav.translationX(), nav.translationY(), -1);
        glRotated(nav.rotationAngle(), 0, 0, 1);
        // The texture's first row is the image's top row, at the quad's top (-h/2).
        const float w = image.width() / 2.0f;
        const float h = image.height() / 2.0f;
        glBindTexture(GL_TEXTURE_2D, textureId);
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glTexCoord2f(1, 0);
        glVertex3f(w, -h, -5);
        glTexCoord2f(0, 0);
        glVertex3f(-w, -h, -5);
        glTexCoord2f(0, 1);
        glVertex3f(-w, h, -5);
        glTexCoord2f(1, 1);
        glVertex3f(w, h, -5);
        glEnd();
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
    drawOverlays(painter);
}

void PlaneView::drawOverlays(QPainter &painter)
{
    drawFailureNote(painter);
    drawInstructions(painter);
}

PlaneView::DragAction PlaneView::dragAction(Qt::MouseButtons buttons,
                                            Qt::KeyboardModifiers keys) const
{
    const bool left = buttons & Qt::LeftButton;
    const bool right = buttons & Qt::RightButton;
    const bool shift = keys & Qt::ShiftModifier;
    const bool control = keys & Qt::ControlModifier;
    if (!(shift && control) && ((left && !right && !control) || (right && !left)))
        return PanDrag;
    if ((shift && control) || (left && right))
        return ZoomDrag;
    return NoDrag;
}

bool PlaneView::releaseMayGlide(const QMouseEvent *event) const
{
    return event->button() == Qt::LeftButton;
}

bool PlaneView::isCoverFlowKey(const QKeyEvent *event) const
{
    return isStepKey(event->key());
}

double PlaneView::pinchGain() const
{
    return qMax(width() / 500.0, 1.0);
}

void PlaneView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && touchPieMenuEnabled()) {
        popUpTouchPieMenu(event->globalPosition().toPoint());
        return;
    }
    if (multiTouchActive() == 1)
        return;
    lastMousePos = event->position().toPoint();
    nav.clearPanDelta();
}

void PlaneView::mouseMoveEvent(QMouseEvent *event)
{
    if (multiTouchActive() == 1)
        return;
    const QPoint pos = event->position().toPoint();
    const QPoint d = pos - lastMousePos;
    switch (dragAction(event->buttons(), event->modifiers())) {
    case PanDrag:
        nav.pan(d, sizes());
        dragTime.restart();
        break;
    case ZoomDrag:
        nav.dragZoom(d.y());
        break;
    case OwnDrag:
        ownDrag(pos);
        return;
    case NoDrag:
        break;
    }
    lastMousePos = pos;
    update();
}

void PlaneView::mouseReleaseEvent(QMouseEvent *event)
{
    if (multiTouchActive() == 1)
        return;
    if (releaseMayGlide(event) && dragTime.elapsed() <= 99 &&
        translationLine->state() != QTimeLine::Running)
        translationLine->start();
}

void PlaneView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (nav.isUntransformed()) {
        nav.beginZoomIn(event->position().toPoint());
        if (zoomLine->state() != QTimeLine::Running)
            zoomLine->start();
    } else {
        resetView();
    }
    update();
}

void PlaneView::wheelEvent(QWheelEvent *event)
{
    if (multiTouchActive() > 0)
        return;
    event->accept();
    if (event->angleDelta().y() == 0)
        return;
    nav.wheel(event->angleDelta().y());
    update();
}

void PlaneView::resetView()
{
    if (nav.beginReset() && zoomLine->state() != QTimeLine::Running)
        zoomLine->start();
}

void PlaneView::animateTranslation(int frame)
{
    nav.inertiaFrame(frame, sizes());
    repaint();
}

void PlaneView::animateZoom(int frame)
{
    nav.zoomFrame(frame, sizes(), double(qMax(width(), 1)) / qMax(height(), 1));
    repaint();
}

void PlaneView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_N:
        nav.toggleNativeSize();
        update();
        return;
    case Qt::Key_C:
        toggleTouchPieMenu();
        return;
    case Qt::Key_U:
        // The cover of the item shown, which a flick may have moved the strip away from.
        emit thumbnailOffered(inspectedIndex, image, true);
        return;
    case Qt::Key_I:
        reShowInstructions();
        return;
    default:
        if (isCoverFlowKey(event)) {
            stepCoverFlow(event->key());
            return;
        }
        OGLViewer::keyPressEvent(event);
    }
}

void PlaneView::pinchTriggered(QPinchGesture *pinch)
{
    double scaleChange = 0, angleChange = 0;
    if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged) {
        scaleChange = pinch->scaleFactor() - pinch->lastScaleFactor();
        pinchTime.restart();
    }
    if (viewMode() == 2 && (pinch->changeFlags() & QPinchGesture::RotationAngleChanged)) {
        angleChange = pinch->rotationAngle() - pinch->lastRotationAngle();
        pinchTime.restart();
    }
    nav.pinch(scaleChange, pinchGain(), angleChange, pinchRotationGain());
    update();
}

void PlaneView::panTriggered(QPanGesture *pan)
{
    // A pinch moves the fingers too; that is no pan.
    if (pinchTime.elapsed() < 300) {
        setCursor(Qt::ArrowCursor);
        return;
    }
    const bool moving = pan->state() == Qt::GestureStarted || pan->state() == Qt::GestureUpdated;
    setCursor(moving ? Qt::SizeAllCursor : Qt::ArrowCursor);
    panBy(pan);
    if (++panEventCount % panUpdateEvery == 0)
        update();
}

void PlaneView::panBy(QPanGesture *pan)
{
    nav.panGesture(pan->delta(), sizes());
    if (pan->state() == Qt::GestureFinished && translationLine->state() != QTimeLine::Running)
        translationLine->start();
}

void PlaneView::swipeTriggered(QSwipeGesture *swipe)
{
    if (swipe->state() != Qt::GestureFinished)
        return;
    if (swipe->horizontalDirection() == QSwipeGesture::Left ||
        swipe->horizontalDirection() == QSwipeGesture::Right) {
        swipeCoverFlow(swipe->horizontalDirection() == QSwipeGesture::Right);
    } else if (swipe->verticalDirection() == QSwipeGesture::Up) {
        nav.beginReset(true);
        if (zoomLine->state() != QTimeLine::Running)
            zoomLine->start();
    }
    update();
}
