#include "ThumbnailRule.h"

#include "Documents.h"
#include "FileHelpers.h"
#include "LocalFiles.h"
#include "ViewCovers.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

namespace {

constexpr int side = 256;
constexpr int imageFrameGrey = 64;
constexpr int renderedViewFrameGrey = 128;
// On Qt's scale of 0 to 100 this is zlib's fastest level, 1: a fifth of the
// default's time for about an eighth more bytes.
constexpr int pngCompression = 20;

// libjpeg decodes at M/8 of the stored size (M = 1...8) for a fraction of the
// work; this is the smallest such size whose side that the rule scales still
// covers the thumbnail, so that the smooth scaling that follows only shrinks.
QSize reducedJpegSize(QSize stored)
{
    const int scaledSide = stored.width() < stored.height() ? stored.height() : stored.width();
    int eighths = 1;
    while (eighths < 8 && (qint64(scaledSide) * eighths + 7) / 8 < side)
        ++eighths;
    return QSize(int((qint64(stored.width()) * eighths + 7) / 8),
                 int((qint64(stored.height()) * eighths + 7) / 8));
}

QImage scaledForThumbnail(const QImage &image, QSize sourceSize)
{
    return image.scaled(thumbnailScaledSize(sourceSize), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

} // namespace

QSize thumbnailScaledSize(QSize sourceSize)
{
    const qint64 w = qMax(1, sourceSize.width());
    const qint64 h = qMax(1, sourceSize.height());
    if (w < h)
        return QSize(qMax<int>(1, int((w * side * 2 + h) / (h * 2))), side);
    return QSize(side, qMax<int>(1, int((h * side * 2 + w) / (w * 2))));
}

QImage squareThumbnail(const QImage &scaled, QSize sourceSize, int frameGrey)
{
    if (scaled.isNull())
        return QImage();
    QImage square;
    if (sourceSize.width() < sourceSize.height())
        square = scaled.copy(-(side - scaled.width()) / 2, 0, side, side);
    else if (sourceSize.width() > sourceSize.height())
        square = scaled.copy(0, scaled.height() - side, side, side);
    else
        square = scaled;
    if (frameGrey >= 0) {
        QPainter painter(&square);
        painter.setPen(QColor(frameGrey, frameGrey, frameGrey));
        for (int inset = 0; inset < 4; ++inset)
            painter.drawRect(inset, inset, side - 1 - 2 * inset, side - 1 - 2 * inset);
    }
    return square;
}

// Scaling comes before the change of format: the same pixels for a fraction of the work.
QImage imageThumbnail(const QImage &source, bool framed)
{
    if (source.isNull())
        return QImage();
    const QImage scaled = scaledForThumbnail(source, source.size())
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return squareThumbnail(scaled, source.size(), framed ? imageFrameGrey : -1);
}

QImage renderedViewThumbnail(const QImage &frame, bool framed)
{
    if (frame.isNull())
        return QImage();
    const QImage scaled =
        scaledForThumbnail(frame, frame.size()).convertToFormat(QImage::Format_RGB888);
    return squareThumbnail(scaled, frame.size(), framed ? renderedViewFrameGrey : -1);
}

QImage fileThumbnail(const QString &fileName, bool framed)
{
    QFile file;
    if (!LocalFiles::openRegular(file, fileName))
        return QImage();
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    if (reader.format() == "jpeg" && size.isValid())
        reader.setScaledSize(reducedJpegSize(size));
    const QImage image = reader.read();
    if (image.isNull())
        return QImage();
    if (!size.isValid())
        size = image.size();

    const QString lower = fileName.toLower();
    const int orientation =
        lower.endsWith("jpg") || lower.endsWith("jpeg") ? getOrientationFromExif(fileName) : 1;
    QImage scaled =
        scaledForThumbnail(image, size).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (orientation == 3) {
        scaled = scaled.transformed(QTransform().rotate(180));
    } else if (orientation == 6 || orientation == 8) {
        scaled = scaled.transformed(QTransform().rotate(orientation == 6 ? 90 : 270));
        size.transpose();
    }
    return squareThumbnail(scaled, size, framed ? imageFrameGrey : -1);
}

QImage scanThumbnail(const QString &fileName, QSize meshViewSize, bool framed, QString &reason)
{
    ViewCover cover;
    {
        const std::shared_ptr<Document> document = readDocument(fileName, reason);
        if (!document)
            return QImage();
        cover = viewCover(*document, meshViewSize, reason);
    }
    if (cover.picture.isNull())
        return QImage();
    return cover.rendered ? renderedViewThumbnail(cover.picture, framed)
                          : imageThumbnail(cover.picture, framed);
}

QByteArray encodeThumbnail(const QImage &thumbnail)
{
    QByteArray png;
    if (thumbnail.isNull())
        return png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(pngCompression);
    if (!writer.write(thumbnail))
        png.clear();
    // Kept for as long as the folder is shown: without the room grown for writing.
    png.squeeze();
    return png;
}
