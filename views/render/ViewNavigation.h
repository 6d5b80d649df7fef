#ifndef VIEWNAVIGATION_H
#define VIEWNAVIGATION_H

#include <QPoint>
#include <QPointF>

// How an image lies in the image, raw MRI and volume views: translation (in
// image units, i.e. pixels of the image), zoom and rotation about the viewing
// axis, and the arithmetic that moves them: wheel and drag zoom, mouse and
// gesture pans, the inertia after a flick, the animated zoom-in and reset, and
// pinches. Inputs in, new state out; the widget owns the clocks and time lines
// and says when to call what.
//
// Zoom derives from an accumulator, zoomOffset: zoom = offset/100 + 1 for a
// non-negative offset, 1 / (1 - offset/100) otherwise, then clamped to
// 0.1 ... 10. The offset itself is never clamped, so turning the wheel back
// after a clamp first has no visible effect. Animations and the native-size
// switch put the offset back in step with the zoom; a pinch changes the zoom alone.
class ViewNavigation
{
public:
    // Image size (1 x 1 before any image), widget size in its own (logical)
    // pixels and the screen's device pixels per logical pixel.
    struct Sizes
    {
        int imageWidth = 1;
        int imageHeight = 1;
        int widgetWidth = 1;
        int widgetHeight = 1;
        double pixelRatio = 1.0;
    };

    static constexpr double minZoom = 0.1;
    static constexpr double maxZoom = 10.0;
    static constexpr double zoomOffsetScale = 100.0;

    double translationX() const { return tx; }
    double translationY() const { return ty; }
    double rotationAngle() const { return rotation; }
    double zoom() const { return zoomFactor; }
    double zoomOffset() const { return offset; }
    // The last pan step, which the inertia carries on.
    QPoint panDelta() const { return lastPan; }
    bool nativeSizeMode() const { return nativeSize; }
    // Zoom exactly 1 and no translation (rotation is not looked at).
    bool isUntransformed() const { return zoomFactor == 1.0 && tx == 0.0 && ty == 0.0; }

    // Translation and rotation 0, zoom 1, offset 0, at once.
    void resetTransformation();
    // N: one image pixel per screen pixel, or back; the zoom returns to 1 either way.
    void toggleNativeSize();

    // A wheel turn of angleDelta eighths of a degree; away from the user zooms out.
    void wheel(int angleDelta);
    // A drag that zooms: dy pixels down zoom in.
    void dragZoom(int dy);
    // A mouse pan of d widget pixels, also remembered for the inertia.
    void pan(QPoint d, const Sizes &sizes);
    // A new press: no pan to carry on yet.
    void clearPanDelta() { lastPan = QPoint(); }
    // A pan gesture of the image view: three times the scaled delta, its
    // truncation kept for the inertia.
    void panGesture(QPointF delta, const Sizes &sizes);
    // Moves by an amount in image units, as the raw MRI and volume gestures do.
    void translate(double dx, double dy);
    // Frame 0 ... 100 of the glide after a flick, slowing to a stop.
    void inertiaFrame(int frame, const Sizes &sizes);

    // Starts a zoom-in to the widget point anchor.
    void beginZoomIn(QPoint anchor);
    // Starts a reset to the untransformed view; false (and nothing changes)
    // when the view is untransformed already, unless always is set.
    bool beginReset(bool always = false);
    // Frame 0 ... 100 of the zoom-in or reset begun last; aspect is the
    // widget's width / height.
    void zoomFrame(int frame, const Sizes &sizes, double aspect);
    bool zoomIsReset() const { return resetting; }

    // A pinch: the zoom grows by the change of the scale factor times gain,
    // the rotation by the change of the angle times rotationGain.
    void pinch(double scaleChange, double gain, double angleChange, double rotationGain);

    // Image units per widget pixel for pans: one per device pixel in native
    // size, else the image's longer side over the widget's matching side.
    double panFactor(const Sizes &sizes) const;
    // Width of the orthographic projection in image units, for a widget of the
    // given aspect (width / height). Negative when nothing can be set up.
    double viewExtent(double aspect, const Sizes &sizes, bool hasImage) const;

private:
    void setZoomOffset(double value);
    void setZoomKeepingOffsetInStep(double value);

    double tx = 0.0;
    double ty = 0.0;
    double rotation = 0.0;
    double zoomFactor = 1.0;
    double offset = 0.0;
    QPoint lastPan;
    bool nativeSize = false;
    bool resetting = false;
    double resetStartZoom = 1.0;
    // Zoom-in target in widget pixels, or the scaled start translation of a reset.
    QPoint zoomAnchor;
};

#endif
