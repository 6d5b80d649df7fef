#ifndef PLANEFRAME_H
#define PLANEFRAME_H

#include <QColor>
#include <QImage>
#include <QSize>

// What a plane view (picture, DICOM image, volume slices) shows of its image
// at rest, before any zoom, pan or turn: the image as large as fits, centred,
// over the view's background; scaled smoothly, one pixel for one where it
// fits exactly; opaque (format RGB32). A figure drawn here equals the view's
// frame.
QImage planeFrame(const QImage &image, const QSize &size, const QColor &background);

#endif
