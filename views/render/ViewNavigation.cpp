#include "ViewNavigation.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

void ViewNavigation::resetTransformation()
{
    tx = ty = rotation = 0.0;
    zoomFactor = 1.0;
    offset = 0.0;
}

void ViewNavigation::toggleNativeSize()
{
    nativeSize = !nativeSize;
    zoomFactor = 1.0;
    offset = 0.0;
}

void ViewNavigation::setZoomOffset(double value)
{
    offset = value;
    const double z =
        offset >= 0 ? offset / zoomOffsetScale + 1 : 1 / (1 - offset / zoomOffsetScale);
    zoomFactor = std::clamp(z, minZoom, maxZoom);
}

void ViewNavigation::setZoomKeepingOffsetInStep(double value)
{
    zoomFactor = value;
    offset = (zoomFactor - 1) * zoomOffsetScale;
}

void ViewNavigation::wheel(int angleDelta)
{
    const int steps = angleDelta / 8 / 15;
    setZoomOffset(offset - 10 * steps);
}

void ViewNavigation::dragZoom(int dy)
{
    setZoomOffset(offset + dy);
}

double ViewNavigation::panFactor(const Sizes &sizes) const
{
    if (nativeSize)
        return sizes.pixelRatio;
    if (sizes.imageWidth < sizes.imageHeight)
        return double(sizes.imageHeight) / sizes.widgetHeight;
    return double(sizes.imageWidth) / sizes.widgetWidth;
}

void ViewNavigation::pan(QPoint d, const Sizes &sizes)
{
    lastPan = d;
    const double f = panFactor(sizes);
    tx += d.x() / zoomFactor * f;
    ty += d.y() / zoomFactor * f;
}

void ViewNavigation::panGesture(QPointF delta, const Sizes &sizes)
{
    const double f = panFactor(sizes);
    const double px = delta.x() / zoomFactor * f;
    const double py = delta.y() / zoomFactor * f;
    lastPan = QPoint(int(px), int(py));
    tx += 3 * px;
    ty += 3 * py;
}

void ViewNavigation::translate(double dx, double dy)
{
    tx += dx;
    ty += dy;
}

void ViewNavigation::inertiaFrame(int frame, const Sizes &sizes)
{
    const double f = (100 - frame) / 100.0;
    const double m = double(std::max(sizes.imageWidth, sizes.imageHeight)) / sizes.widgetWidth;
    tx += lastPan.x() * f;
    tx += lastPan.x() / zoomFactor * m * 1.7 * f;
    ty += lastPan.y() * f;
    ty += lastPan.y() / zoomFactor * m * 1.7 * f;
}

void ViewNavigation::beginZoomIn(QPoint anchor)
{
    zoomAnchor = anchor;
    resetting = false;
}

bool ViewNavigation::beginReset(bool always)
{
    if (!always && isUntransformed())
        return false;
    zoomAnchor = QPoint(qRound(zoomFactor * tx), qRound(zoomFactor * ty));
    resetStartZoom = zoomFactor;
    resetting = true;
    return true;
}

void ViewNavigation::zoomFrame(int frame, const Sizes &sizes, double aspect)
{
    if (!resetting) {
        // Image units per widget pixel at zoom 1: the clicked point stays under the pointer.
        const double k = aspect >= double(sizes.imageWidth) / sizes.imageHeight
                             ? double(sizes.imageHeight) / sizes.widgetHeight
                             : double(sizes.imageWidth) / sizes.widgetWidth;
        setZoomKeepingOffsetInStep(frame / 100.0 * 1.5 + 1);
        const int dx = zoomAnchor.x() - sizes.widgetWidth / 2;
        const int dy = zoomAnchor.y() - sizes.widgetHeight / 2;
        tx = qRound((dx / zoomFactor - dx) * k);
        ty = qRound((dy / zoomFactor - dy) * k);
        return;
    }
    const double f = (100 - frame) / 100.0;
    setZoomKeepingOffsetInStep((resetStartZoom - 1) * f + 1);
    tx = qRound(zoomAnchor.x() * f / zoomFactor);
    ty = qRound(zoomAnchor.y() * f / zoomFactor);
    rotation *= f;
}

void ViewNavigation::pinch(double scaleChange, double gain, double angleChange, double rotationGain)
{
    zoomFactor = std::clamp(zoomFactor + scaleChange * gain, minZoom, maxZoom);
    rotation += angleChange * rotationGain;
}

double ViewNavigation::viewExtent(double aspect, const Sizes &sizes, bool hasImage) const
{
    if (hasImage && sizes.imageHeight < 1)
        return -1;
    if (nativeSize)
        return sizes.widgetWidth * sizes.pixelRatio;
    const double ratio = hasImage ? double(sizes.imageWidth) / sizes.imageHeight : 1.0;
    const double extent = aspect >= ratio ? sizes.imageHeight * aspect : sizes.imageWidth;
    return extent / zoomFactor;
}
