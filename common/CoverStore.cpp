#include "CoverStore.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// Thumbnails are 256 pixels square; a stored picture larger than this is no
// thumbnail, and decoding what a damaged file claims could take far too long.
constexpr int largestStoredSide = 1024;

QImage decodeThumbnail(const QByteArray &png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > largestStoredSide || size.height() > largestStoredSide)
        return QImage();
    if (size.width() > 256 || size.height() > 256)
        reader.setScaledSize(size.scaled(256, 256, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

CoverStore::CoverStore(QObject *parent) : QObject(parent) {}

void CoverStore::append(const QString &fileName, const QImage &placeholder, bool withImageSize)
{
    placeholders.append(placeholder);
    coverFileNames.append(fileName);
    thumbnailLoadedFlags.append(0);
    thumbnails.append(QByteArray());
    if (withImageSize) {
        imageWidths.append(-1);
        imageHeights.append(-1);
        imageOrientations.append(0);
    }
}

void CoverStore::clear()
{
    placeholders.clear();
    coverFileNames.clear();
    thumbnailLoadedFlags.clear();
    thumbnails.clear();
    decoded.clear();
    imageWidths.clear();
    imageHeights.clear();
    imageOrientations.clear();
    emit cleared();
}

QImage CoverStore::image(int index) const
{
    if (index < 0 || index >= count())
        return QImage();
    if (!thumbnailLoadedFlags[index])
        return placeholders[index];
    if (const QImage *picture = decoded.object(index))
        return *picture;
    // An image that cannot be decoded is remembered too, so it is not tried every frame.
    const QImage picture =
        thumbnails[index].isEmpty() ? QImage() : decodeThumbnail(thumbnails[index]);
    decoded.insert(index, new QImage(picture));
    return picture;
}

void CoverStore::setThumbnail(int index, const QByteArray &png, const QImage &picture)
{
    if (index < 0 || index >= count())
        return;
    thumbnails[index] = png;
    thumbnailLoadedFlags[index] = 1;
    decoded.remove(index);
    if (!picture.isNull())
        decoded.insert(index, new QImage(picture));
    emit coverChanged(index);
}

void CoverStore::setImageSize(int index, int width, int height, int orientation)
{
    if (index < 0 || index >= imageWidths.size())
        return;
    imageWidths[index] = width;
    imageHeights[index] = height;
    imageOrientations[index] = (unsigned char)orientation;
    emit coverChanged(index);
}
