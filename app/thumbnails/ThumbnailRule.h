#ifndef THUMBNAILRULE_H
#define THUMBNAILRULE_H

#include <QByteArray>
#include <QImage>
#include <QSize>

class QString;

// The 256 x 256 thumbnail of a cover: the picture scaled smoothly to 256 on its
// longer side, centred when it stands upright, on the bottom edge when it lies,
// with a four-pixel grey frame when the strip asks for frames. Every function is
// safe to call from worker threads.

// The size a picture of sourceSize is scaled to: 256 high when it is higher than
// wide, else 256 wide; never below one pixel.
QSize thumbnailScaledSize(QSize sourceSize);

// Squares a picture already scaled for a source of sourceSize (after any EXIF
// turn) and frames it in the grey frameGrey, or not at all when frameGrey < 0.
QImage squareThumbnail(const QImage &scaled, QSize sourceSize, int frameGrey);

// What an inspection view shows: an image (frame grey 64) or a rendered view
// (frame grey 128, without alpha).
QImage imageThumbnail(const QImage &source, bool framed);
QImage renderedViewThumbnail(const QImage &frame, bool framed);

// The thumbnail of an image file, turned by its EXIF orientation; a JPEG is
// decoded at the smallest size that still covers the thumbnail. A null image
// when the file cannot be read.
QImage fileThumbnail(const QString &fileName, bool framed);

// The thumbnail of a DICOM image, a volume or a mesh: the file read, made into
// what its view offers as its cover (ViewCovers; a mesh drawn at meshViewSize
// device pixels) and that taken through the rule of the view's offer. The
// document is freed before this returns. A null image, with the reader's
// reason, when the file cannot be read or shown.
QImage scanThumbnail(const QString &fileName, QSize meshViewSize, bool framed, QString &reason);

// The PNG stream kept and stored for a thumbnail; empty for a null image.
QByteArray encodeThumbnail(const QImage &thumbnail);

#endif
