#include "PlaneFrame.h"

#include <QPainter>

QImage planeFrame(const QImage &image, const QSize &size, const QColor &background)
{
    QImage frame(size, QImage::Format_RGB32);
    if (frame.isNull())
        return frame;
    frame.fill(background);
    if (image.isNull() || size.isEmpty())
        return frame;
    // The view's projection: the image's height fills the frame when the frame
    // is wider than the image, else its width does.
    const double aspect = double(size.width()) / size.height();
    const double ratio = double(image.width()) / image.height();
    const double scale = aspect >= ratio ? double(size.height()) / image.height()
                                         : double(size.width()) / image.width();
    const QSizeF shown(image.width() * scale, image.height() * scale);
    const QRectF target(QPointF((size.width() - shown.width()) / 2,
                                (size.height() - shown.height()) / 2),
                        shown);
    QPainter painter(&frame);
    // The view draws the texture as it is, alpha and all.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    return frame;
}
