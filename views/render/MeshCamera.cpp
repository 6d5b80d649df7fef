#include "MeshCamera.h"

#include "ViewingParameters.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const qint64 never = std::numeric_limits<qint64>::min();

} // namespace

MeshCamera::MeshCamera()
    : lastTranslation(never), lastRotation(never), lastZoom(never), lastPinch(never)
{
    reset();
}

void MeshCamera::reset()
{
    tx = ty = 0;
    tz = -350;
    rx = 187;
    ry = -35;
    rz = 0;
    fovy = 30;
    zNear = 1;
    zFar = 1100;
}

void MeshCamera::apply(const ViewingParameters &p)
{
    rx = p.rotationX;
    ry = p.rotationY;
    rz = p.rotationZ;
    tx = p.translationX;
    ty = p.translationY;
    tz = p.translationZ;
    perspective = p.perspectiveProjection;
    fovy = p.fieldOfView;
    zNear = p.nearPlane;
    zFar = p.farPlane;
}

void MeshCamera::setRotation(double x, double y, double z)
{
    rx = x;
    ry = y;
    rz = z;
}

double MeshCamera::orthoHalfWidth() const
{
    return std::max(-tz / 3, 0.0);
}

void MeshCamera::stopMotion()
{
    delta = QPoint();
    zStep = 0;
}

void MeshCamera::beginDrag(QPoint position)
{
    dragging = true;
    lastPosition = position;
}

void MeshCamera::drag(QPoint position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                      int inputKind, qint64 now)
{
    if (!dragging)
        return;
    const bool middle = buttons & Qt::MiddleButton;
    const bool left = (buttons & Qt::LeftButton) || middle;
    const bool right = (buttons & Qt::RightButton) || middle;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (control && left && !shift && !alt)
        return;
    const QPoint d = position - lastPosition;
    lastPosition = position;
    if (alt)
        return;

    const bool touchTranslates = inputKind == 1 && panMode == TranslationMode;
    if ((left && right) || (shift && control)) {
        tz += d.y();
        zStep = d.y();
        lastZoom = now;
    } else if (right || (shift && left) || (left && touchTranslates)) {
        tx += d.x();
        ty -= d.y();
        delta = d;
        lastTranslation = now;
    } else if (left) {
        rx += 0.2 * d.y();
        ry -= 0.2 * d.x();
        delta = QPoint(int(0.2 * d.x()), int(0.2 * d.y()));
        lastRotation = now;
    }
}

MeshCamera::Flick MeshCamera::endDrag(qint64 now)
{
    dragging = false;
    // Tried in this order, the last that applies wins.
    Flick flick = NoFlick;
    if (isRecent(lastTranslation, now, 99))
        flick = TranslationFlick;
    if (isRecent(lastRotation, now, 99))
        flick = RotationFlick;
    if (isRecent(lastZoom, now, 99))
        flick = ZoomFlick;
    return flick;
}

void MeshCamera::translationFlickFrame(int frame)
{
    const double t = (100 - frame) / 100.0;
    tx += delta.x() * t;
    ty -= delta.y() * t;
}

void MeshCamera::rotationFlickFrame(int frame)
{
    if (std::abs(delta.x()) > 5 * std::abs(delta.y()))
        delta.setY(0);
    if (5 * std::abs(delta.x()) < std::abs(delta.y()))
        delta.setX(0);
    const double t = (200 - frame) / 200.0;
    rx += std::clamp(delta.y(), -10, 10) * t;
    ry -= std::clamp(delta.x(), -10, 10) * t;
}

void MeshCamera::zoomFlickFrame(int frame)
{
    tz += zStep * (100 - frame) / 100.0;
}

void MeshCamera::startSpin(int dx, int dy)
{
    delta = QPoint(dx, dy);
}

void MeshCamera::spinFrame()
{
    rx += delta.y();
    ry -= delta.x();
}

void MeshCamera::wheel(int angleDelta)
{
    tz -= 10.0 * angleDelta / 120.0;
}

void MeshCamera::pan(QPointF d)
{
    if (panMode == TranslationMode) {
        tx += d.x();
        ty -= d.y();
        delta = QPoint(int(0.6 * d.x()), int(0.6 * d.y()));
    } else {
        rx += 0.5 * d.y();
        ry -= 0.5 * d.x();
        delta = QPoint(int(std::lround(0.5 * d.x())), int(std::lround(0.5 * d.y())));
    }
}

void MeshCamera::pinch(qreal scaleChange, int widgetWidth, qint64 now)
{
    tz += scaleChange * 100 * std::max(widgetWidth / 300, 1);
    lastPinch = now;
}

void MeshCamera::turnPinched(qreal angleChange)
{
    rz += 0.5 * angleChange;
}

bool MeshCamera::pinchedRecently(qint64 now) const
{
    return isRecent(lastPinch, now, 299);
}

bool MeshCamera::isRecent(qint64 then, qint64 now, qint64 span)
{
    return then != never && now >= then && now - then <= span;
}
