#ifndef MESHCAMERA_H
#define MESHCAMERA_H

#include <QPoint>
#include <QPointF>
#include <Qt>

class ViewingParameters;

// The mesh view's camera and what the mouse, the wheel, the keys and touch
// gestures do to it. Lengths are in view units, angles in degrees; times are
// milliseconds of a steady clock the caller reads (QElapsedTimer), so that
// nothing here reads a clock.
//
// The model-view matrix is a translation by (translationX, translationY,
// translationZ) followed by rotations by rotationX about x, rotationY about y
// and rotationZ about z (glTranslatef, then three glRotatef, in that order).
// The projection is gluPerspective(fieldOfView, aspect, nearPlane, farPlane),
// or glOrtho(-h, h, -h / aspect, h / aspect, nearPlane, farPlane) with h =
// orthoHalfWidth(), which follows translationZ: the orthographic frustum must
// be set up again whenever translationZ changes (drag zoom, zoom flick, wheel,
// pinch). The camera starts with the reset values, in perspective.
//
// Flicks and the spin run on time lines the caller owns, with frames as
// follows, each calling the matching frame function:
//   translation flick  700 ms, frames 0..100   translationFlickFrame
//   rotation flick    1000 ms, frames 0..200   rotationFlickFrame
//   zoom flick         250 ms, frames 0..100   zoomFlickFrame
//   spin             10000 ms, frames 0..1000  spinFrame, once per frame
class MeshCamera
{
public:
    enum Flick { NoFlick, TranslationFlick, RotationFlick, ZoomFlick };
    // What a one-finger drag on a touch screen and a pan gesture do.
    enum TouchPanMode { RotationMode = 0, TranslationMode = 1 };

    MeshCamera();

    // Distance 350, rotations (187, -35, 0), field of view 30, planes 1 and
    // 1100; the projection kind stays.
    void reset();
    // The camera values of a viewing-parameter file.
    void apply(const ViewingParameters &parameters);

    double translationX() const { return tx; }
    double translationY() const { return ty; }
    double translationZ() const { return tz; }
    double rotationX() const { return rx; }
    double rotationY() const { return ry; }
    double rotationZ() const { return rz; }
    // The model's rotations about x, y and z, as a figure asks for them.
    void setRotation(double x, double y, double z);
    bool perspectiveProjection() const { return perspective; }
    void setPerspectiveProjection(bool on) { perspective = on; }
    float fieldOfView() const { return fovy; }
    double nearPlane() const { return zNear; }
    double farPlane() const { return zFar; }
    // max(-translationZ / 3, 0).
    double orthoHalfWidth() const;

    TouchPanMode touchPanMode() const { return panMode; }
    void setTouchPanMode(TouchPanMode mode) { panMode = mode; }

    // The last translation or rotation step (the step of a flick), or the
    // step of the spin.
    QPoint flickDelta() const { return delta; }
    int zoomStep() const { return zStep; }
    // Stopping the animations: flick and spin steps 0.
    void stopMotion();

    // Mouse. A press starts a drag at its position; a middle button counts as
    // left and right together. A move, d the change since the last position:
    // nothing with Control and left without Shift or Alt; with Alt only the
    // position is kept; zoom (translationZ += dy) with both buttons or Shift
    // and Control; translation (translationX += dx, translationY -= dy) with
    // the right button alone or Shift and left; rotation (rotationX += 0.2 dy,
    // rotationY -= 0.2 dx) with the left button alone, which on a touch screen
    // (inputKind 1) in translation mode translates instead. A release returns
    // the flick to start: of the kinds of move made at most 99 ms before, zoom
    // wins over rotation, which wins over translation.
    void beginDrag(QPoint position);
    bool isDragging() const { return dragging; }
    void drag(QPoint position, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
              int inputKind, qint64 now);
    Flick endDrag(qint64 now);

    // Flick frames: the last step fading out; the rotation keeps to one axis
    // when one component is more than five times the other, and turns at
    // most 10 degrees per frame.
    void translationFlickFrame(int frame);
    void rotationFlickFrame(int frame);
    void zoomFlickFrame(int frame);
    // Arrow keys: the spin step (dx, dy), -2 or 2 on one axis.
    void startSpin(int dx, int dy);
    void spinFrame();

    // A wheel turn of angleDelta eighths of a degree (120 a step): every step
    // away from the user moves the model 10 units away.
    void wheel(int angleDelta);

    // Pan gesture delta in the touch pan mode: translation as by the mouse
    // with a flick step of 0.6 of it, or rotation by half of it with a flick
    // step of half, rounded away from zero. A finished pan starts the flick of
    // the mode (translation or rotation).
    void pan(QPointF delta);
    // A pinch whose scale factor changed by scaleChange, in a view
    // widgetWidth pixels wide: translationZ += scaleChange · 100 ·
    // max(widgetWidth / 300, 1), integer division.
    void pinch(qreal scaleChange, int widgetWidth, qint64 now);
    // A pinch's rotation angle changed by angleChange (zoom-rotate mode).
    void turnPinched(qreal angleChange);
    // Pans are ignored within 300 ms of a pinch.
    bool pinchedRecently(qint64 now) const;

private:
    static bool isRecent(qint64 then, qint64 now, qint64 span);

    double tx = 0, ty = 0, tz = 0;
    double rx = 0, ry = 0, rz = 0;
    bool perspective = true;
    float fovy = 0;
    double zNear = 0, zFar = 0;
    TouchPanMode panMode = RotationMode;

    QPoint delta;
    int zStep = 0;
    bool dragging = false;
    QPoint lastPosition;
    qint64 lastTranslation, lastRotation, lastZoom, lastPinch;
};

#endif
