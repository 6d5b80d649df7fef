#include "CoverStore.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);

// Whether the stream starts as a thumbnail must: a PNG signature and a header
// chunk of 256 x 256 pixels. What claims another size is damage, and decoding
// what a damaged file claims could take far too long.
bool hasThumbnailHeader(const QByteArray &png)
{
    const int side = CoverStore::thumbnailSide;
    return png.size() >= 24 && png.startsWith(pngSignature) && png.mid(12, 4) == "IHDR" &&
           qFromBigEndian<quint32>(png.constData() + 16) == quint32(side) &&
           qFromBigEndian<quint32>(png.constData() + 20) == quint32(side);
}

} // namespace

QImage CoverStore::decodeThumbnail(const QByteArray &png)
{
    if (!hasThumbnailHeader(png))
        return QImage();
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QImage picture = reader.read();
    const int side = CoverStore::thumbnailSide;
    return picture.size() == QSize(side, side) ? picture : QImage();
}

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

QImage CoverStore::image(int index)
{
    if (index < 0 || index >= count())
        return QImage();
    if (!thumbnailLoadedFlags[index] || thumbnails[index].isEmpty())
        return thumbnailLoadedFlags[index] ? QImage() : placeholders[index];
    if (const QImage *picture = decoded.object(index))
        return *picture;
    const QImage picture = decodeThumbnail(thumbnails[index]);
    if (picture.isNull()) {
        dropThumbnail(index);
        return placeholders[index];
    }
    decoded.insert(index, new QImage(picture));
    return picture;
}

void CoverStore::setThumbnail(int index, const QByteArray &png, const QImage &picture)
{
    if (index < 0 || index >= count())
        return;
    if (!png.isEmpty() && !hasThumbnailHeader(png)) {
        dropThumbnail(index);
        emit coverChanged(index);
        return;
    }
    thumbnails[index] = png;
    thumbnailLoadedFlags[index] = 1;
    decoded.remove(index);
    if (!picture.isNull())
        decoded.insert(index, new QImage(picture));
    emit coverChanged(index);
}

void CoverStore::dropThumbnail(int index)
{
    thumbnails[index] = QByteArray();
    thumbnailLoadedFlags[index] = 0;
    decoded.remove(index);
    emit thumbnailDropped(index);
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
