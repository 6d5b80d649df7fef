// Buffer objects are OpenGL 1.5; their entry points come with the prototypes.
#define GL_GLEXT_PROTOTYPES
#include "MeshOGLViewer.h"

#include "DocSRFInterface.h"
#include "FileHelpers.h"
#include "LocalFiles.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "ViewingParameters.h"

#include <QFileInfo>
#include <QGesture>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeLine>
#include <QTimer>
#include <QTouchEvent>

#include <GL/glext.h>
#include <GL/glu.h>

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

MeshOGLViewer::MeshOGLViewer(DocSRFInterface *meshes, QWidget *parent)
    : OGLViewer(0, parent), meshes(meshes)
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
    if (buffers[0] && context()) {
        makeCurrent();
        freeBuffers();
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
           "Use both buttons, double click or wheel to zoom image";
}

// Opening

void MeshOGLViewer::newMeshItemForInspection(int sel_item, QString filename)
{
    resetAnimations();
    if (!meshes)
        return;
    showBusyCursor();
    const bool loaded = meshes->loadMesh(filename);
    hideBusyCursor();
    if (!loaded || !meshes->getMesh(0)) {
        // The core keeps the last mesh it read; showing it under this file's name would lie.
        fail(filename, meshes->getMeshFailureReason());
        return;
    }
    meshShown = true;
    inspectedIndex = sel_item;
    setFailureNote(QString());

    // The viewing parameters saved beside the mesh, if any.
    const QString base = removeExtension(filename);
    const QString parameters = QFileInfo::exists(base + ".vwp") ? base + ".vwp" : base + ".VWP";
    if (const std::optional<ViewingParameters> p = ViewingParameters::fromFile(parameters)) {
        cam.apply(*p);
        lights.apply(*p);
        cullBackFaces = p->cullBackFaces;
    }
    emit meshLoaded();

    // The cover shows the mesh alone: no instructions, no icons.
    instructionWasShown = isInstructionShown();
    setInstructionShown(false);
    thumbnailPending = true;
    repaint();
    repaint();
    QTimer::singleShot(150, this, &MeshOGLViewer::delayedCheckAddingThumbnail);
}

void MeshOGLViewer::delayedCheckAddingThumbnail()
{
    if (!thumbnailPending)
        return;
    if (meshShown)
        emit thumbnailOffered(inspectedIndex, grabFramebuffer(), false);
    setInstructionShown(instructionWasShown);
    thumbnailPending = false;
    repaint();
}

void MeshOGLViewer::releaseItem()
{
    resetAnimations();
    if (thumbnailPending)
        setInstructionShown(instructionWasShown);
    thumbnailPending = false;
    meshShown = false;
    arrays.clear();
    arraysMesh = nullptr;
    pendingUpload = NothingToUpload;
    if (buffers[0] && context()) {
        makeCurrent();
        freeBuffers();
        doneCurrent();
    }
    setFailureNote(QString());
    if (meshes)
        meshes->releaseMeshes();
    update();
}

void MeshOGLViewer::fail(const QString &fileName, const QString &reason)
{
    meshShown = false;
    thumbnailPending = false;
    const QString note = LocalFiles::displayName(fileName) + ": " + LocalFiles::printable(reason);
    setFailureNote(note);
    emit loadFailed(note);
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
    if (SurfaceMesh *mesh = meshes ? meshes->getMesh(0) : nullptr)
        mesh->renderMode = MeshRenderMode::toggledWireframe(mesh->renderMode);
    update();
}

void MeshOGLViewer::meshColoursChanged()
{
    // Made again on the next frame.
    arraysRenderMode = -1;
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

void MeshOGLViewer::setupProjection()
{
    const double aspect = double(qMax(width(), 1)) / qMax(height(), 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (cam.perspectiveProjection()) {
        gluPerspective(cam.fieldOfView(), aspect, cam.nearPlane(), cam.farPlane());
    } else {
        const double h = cam.orthoHalfWidth();
        // A camera in front of the model has no width to show.
        if (h > 0)
            glOrtho(-h, h, -h / aspect, h / aspect, cam.nearPlane(), cam.farPlane());
    }
    glMatrixMode(GL_MODELVIEW);
}

void MeshOGLViewer::setLights(int mode)
{
    const auto gl = lights.openGLLights(mode, cam.rotationX(), cam.rotationY(), cam.rotationZ());
    for (int i = 0; i < 2; ++i) {
        const GLenum light = GL_LIGHT0 + GLenum(i);
        if (!gl[i].enabled) {
            glDisable(light);
            continue;
        }
        glEnable(light);
        glLightfv(light, GL_AMBIENT, gl[i].ambient);
        glLightfv(light, GL_POSITION, gl[i].position);
        glLightfv(light, GL_DIFFUSE, gl[i].diffuse);
        glLightfv(light, GL_SPECULAR, gl[i].specular);
    }
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

    SurfaceMesh *mesh = meshShown && meshes ? meshes->getMesh(0) : nullptr;
    if (mesh) {
        glDepthFunc(GL_LESS);
        glClearDepth(1.0);
        glEnable(GL_DEPTH_TEST);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const qreal ratio = devicePixelRatioF();
        glViewport(0, 0, int(width() * ratio), int(height() * ratio));
        setupProjection();
        glLoadIdentity();
        glTranslatef(float(cam.translationX()), float(cam.translationY()),
                     float(cam.translationZ()));
        glRotatef(float(cam.rotationX()), 1, 0, 0);
        glRotatef(float(cam.rotationY()), 0, 1, 0);
        glRotatef(float(cam.rotationZ()), 0, 0, 1);
        glPushMatrix();
        setLights(1);
        prepareArrays(mesh);
        renderMeshes();
        glPopMatrix();
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

// Makes the arrays again for a new mesh, render mode or colours.
void MeshOGLViewer::prepareArrays(SurfaceMesh *mesh)
{
    const MeshRenderMode mode = renderState.next(mesh->renderMode);
    if (mesh != arraysMesh) {
        arraysMesh = mesh;
        arraysRenderMode = mesh->renderMode;
        pendingUpload = arrays.build(*mesh, mode) ? UploadAll : NothingToUpload;
        if (arrays.isEmpty())
            freeBuffers();
    } else if (arraysRenderMode != mesh->renderMode) {
        arraysRenderMode = mesh->renderMode;
        const bool coloursOnly = arrays.updateColours(*mesh, mode);
        pendingUpload = qMax(pendingUpload, coloursOnly ? UploadColours : UploadAll);
    }
}

void MeshOGLViewer::freeBuffers()
{
    if (buffers[0])
        glDeleteBuffers(4, buffers);
    std::fill(std::begin(buffers), std::end(buffers), 0u);
}

void MeshOGLViewer::uploadArrays()
{
    if (pendingUpload == NothingToUpload || arrays.isEmpty())
        return;
    if (!buffers[0])
        glGenBuffers(4, buffers);
    const auto upload = [](GLenum target, unsigned buffer, const auto &values) {
        glBindBuffer(target, buffer);
        glBufferData(target, GLsizeiptr(values.size() * sizeof(values[0])), values.data(),
                     GL_STATIC_DRAW);
    };
    upload(GL_ARRAY_BUFFER, buffers[2], arrays.colours());
    if (pendingUpload == UploadAll) {
        upload(GL_ARRAY_BUFFER, buffers[0], arrays.positions());
        upload(GL_ARRAY_BUFFER, buffers[1], arrays.normals());
        upload(GL_ELEMENT_ARRAY_BUFFER, buffers[3], arrays.indices());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    pendingUpload = NothingToUpload;
}

void MeshOGLViewer::renderMeshes()
{
    SurfaceMesh *mesh = meshes ? meshes->getMesh(0) : nullptr;
    if (!mesh)
        return;
    glFrontFace(GL_CCW);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    if (cullBackFaces) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);

    glColor4f(1, 1, 1, 1);
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 64);

    renderState = renderState.next(mesh->renderMode);
    const GLenum polygons[] = {GL_FILL, GL_LINE, GL_POINT};
    glPolygonMode(GL_FRONT_AND_BACK, polygons[renderState.polygons()]);
    glShadeModel(renderState.flatShading() ? GL_FLAT : GL_SMOOTH);
    if (renderState.transparent()) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
    }
    if (mesh->reservedValue >= 0) {
        uploadArrays();
        drawArrays();
    }
    if (renderState.transparent()) {
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
}

void MeshOGLViewer::drawArrays()
{
    if (arrays.isEmpty() || !buffers[0])
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[2]);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
    if (arrays.primitive() == MeshArrays::Triangles) {
        glDrawElements(GL_TRIANGLES, GLsizei(arrays.indices().size()), GL_UNSIGNED_INT, nullptr);
    } else {
        const std::vector<int> &firsts = arrays.stripFirsts();
        std::vector<const void *> offsets(firsts.size());
        for (size_t i = 0; i < firsts.size(); ++i)
            offsets[i] = reinterpret_cast<const void *>(size_t(firsts[i]) * sizeof(quint32));
        glMultiDrawElements(GL_TRIANGLE_STRIP, arrays.stripCounts().data(), GL_UNSIGNED_INT,
                            offsets.data(), GLsizei(firsts.size()));
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
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
    if (event->button() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) {
        setCursor(Qt::PointingHandCursor);
        cam.beginDrag(pos);
    }
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
        if (meshShown)
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

// Maps

SurfaceMaps *MeshOGLViewer::getSurfMaps(SurfaceMesh **mesh) const
{
    SurfaceMesh *shown = meshShown && meshes ? meshes->getMesh(0) : nullptr;
    if (mesh)
        *mesh = shown;
    return shown ? shown->surfaceMaps : nullptr;
}

void MeshOGLViewer::clickedMap(const QString &fileName)
{
    loadSurfaceMaps(fileName);
}

void MeshOGLViewer::loadSurfaceMaps(QString fileName)
{
    SurfaceMesh *mesh = nullptr;
    getSurfMaps(&mesh);
    if (!mesh)
        return;
    // A file that cannot be read leaves the maps and their list as they were,
    // with a note that says why.
    if (!mesh->loadSMPs(fileName)) {
        const QString note =
            getFileNameFromFullFileName(fileName) + ": " + mesh->mapFailureReason();
        setFailureNote(note);
        emit mapFailed(note);
        return;
    }
    setFailureNote(QString());
    QStringList names;
    for (const SurfaceMap *map : std::as_const(mesh->surfaceMaps->maps))
        names << map->mapName;
    emit mapNamesListed(names);
}

void MeshOGLViewer::clickedSubMap(int row, int rowCount)
{
    SurfaceMaps *maps = getSurfMaps(nullptr);
    if (!maps || maps->maps.size() != rowCount || row < 0 || row >= rowCount)
        return;
    maps->nrOfSelectedMaps = 1;
    maps->selectedMaps = {row};
    const SurfaceMap &map = *maps->maps[row];
    emit mapSettingsShown(map.threshMin, map.clusterSize, map.clusterCheckEnabled, map.showPosNeg);
    overlay();
}

SurfaceMap *MeshOGLViewer::shownMap() const
{
    const SurfaceMaps *maps = getSurfMaps(nullptr);
    if (!maps || maps->nrOfSelectedMaps != 1 || maps->selectedMaps.isEmpty())
        return nullptr;
    const int index = maps->selectedMaps.first();
    return index >= 0 && index < maps->maps.size() ? maps->maps[index] : nullptr;
}

void MeshOGLViewer::overlay()
{
    SurfaceMesh *mesh = nullptr;
    getSurfMaps(&mesh);
    mesh->prepareDisplayOfSMP();
    mesh->overlaySMP();
    meshColoursChanged();
}

void MeshOGLViewer::showPosNegMapValues(int signSelection)
{
    if (SurfaceMap *map = shownMap()) {
        map->showPosNeg = signSelection;
        overlay();
    }
}

void MeshOGLViewer::enableClusterSize(bool on)
{
    if (SurfaceMap *map = shownMap()) {
        map->clusterCheckEnabled = on;
        overlay();
    }
}

void MeshOGLViewer::changeClusterSize(int size)
{
    if (SurfaceMap *map = shownMap()) {
        map->clusterSize = size;
        overlay();
    }
}

void MeshOGLViewer::changeThreshold(float threshold)
{
    if (SurfaceMap *map = shownMap()) {
        map->threshMin = threshold;
        map->checkStatValueThreshMinMax();
        overlay();
    }
}
