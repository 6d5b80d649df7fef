#include "CoverStore.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <climits>

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);

} // namespace

QImage CoverStore::decodeThumbnail(const QByteArray &png)
{
    if (!CoverStore::hasThumbnailHeader(png))
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

// What claims another size is damage, and decoding what a damaged file claims
// could take far too long.
bool CoverStore::hasThumbnailHeader(const QByteArray &png)
{
    const int side = thumbnailSide;
    return png.size() >= 24 && png.startsWith(pngSignature) && png.mid(12, 4) == "IHDR" &&
           qFromBigEndian<quint32>(png.constData() + 16) == quint32(side) &&
           qFromBigEndian<quint32>(png.constData() + 20) == quint32(side);
}

void CoverStore::append(const QString &fileName, const QImage &placeholder, bool withImageSize)
{
    placeholders.append(placeholder);
    coverFileNames.append(fileName);
    places.append(Place());
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
    places.clear();
    spare.clear();
    spareBytes = 0;
    stored.close();
    spool.remove();
    decoded.clear();
    imageWidths.clear();
    imageHeights.clear();
    imageOrientations.clear();
    emit cleared();
}

int CoverStore::thumbnailLoaded(int index) const
{
    return index >= 0 && index < count() && places[index].kept != Kept::Nothing ? 1 : 0;
}

bool CoverStore::hasEmptyThumbnail(int index) const
{
    return index >= 0 && index < count() && places[index].kept == Kept::Empty;
}

QByteArray CoverStore::thumbnail(int index) const
{
    if (index < 0 || index >= count())
        return QByteArray();
    const Place &place = places[index];
    switch (place.kept) {
    case Kept::Stored:
        return stored.read(place.offset, place.length);
    case Kept::Spooled:
        return spool.read(place.offset, place.length);
    case Kept::InMemory:
        return spare.value(index);
    default:
        return QByteArray();
    }
}

QImage CoverStore::image(int index)
{
    if (index < 0 || index >= count())
        return QImage();
    const Kept kept = places[index].kept;
    if (kept == Kept::Nothing)
        return placeholders[index];
    if (kept == Kept::Empty)
        return QImage();
    if (const QImage *picture = decoded.object(index))
        return *picture;
    // Nothing else has it: it is to be made again, as it is shown again.
    if (kept == Kept::WhileDecoded) {
        dropThumbnail(index);
        return placeholders[index];
    }
    const QImage picture = decodeThumbnail(thumbnail(index));
    if (picture.isNull()) {
        if (kept == Kept::Stored && !stored.isOpen())
            dropStoredThumbnails();
        else
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
    forget(index);
    if (png.isEmpty())
        places[index].kept = Kept::Empty;
    else
        keep(index, png);
    const QImage shown = picture.isNull() && places[index].kept == Kept::WhileDecoded
                             ? decodeThumbnail(png)
                             : picture;
    if (!shown.isNull())
        decoded.insert(index, new QImage(shown));
    emit coverChanged(index);
}

void CoverStore::keep(int index, const QByteArray &png)
{
    Place &place = places[index];
    place.length = qint32(png.size());
    place.offset = spool.append(png);
    if (place.offset >= 0) {
        place.kept = Kept::Spooled;
    } else if (spareBytes + png.size() <= maxSpareBytes) {
        place.kept = Kept::InMemory;
        spare.insert(index, png);
        spareBytes += png.size();
    } else {
        place.kept = Kept::WhileDecoded;
    }
}

void CoverStore::forget(int index)
{
    if (places[index].kept == Kept::InMemory)
        spareBytes -= spare.take(index).size();
    places[index] = Place();
    decoded.remove(index);
}

void CoverStore::setSpoolFolder(const QString &folder)
{
    spool.setFolder(folder);
}

bool CoverStore::openStoredFile(const QString &fileName, int descriptor)
{
    return stored.open(fileName, descriptor);
}

void CoverStore::setStoredThumbnail(int index, qint64 offset, qint64 length)
{
    if (index < 0 || index >= count() || offset < 0 || length <= 0 || length > INT_MAX)
        return;
    forget(index);
    places[index] = {offset, qint32(length), Kept::Stored};
    emit coverChanged(index);
}

qint64 CoverStore::bytesInMemory() const
{
    qint64 bytes = spareBytes;
    for (const int index : decoded.keys())
        bytes += decoded.object(index)->sizeInBytes();
    return bytes;
}

void CoverStore::dropThumbnail(int index)
{
    forget(index);
    emit thumbnailDropped(index);
}

// Every cover is put right before any is reported: a receiver may look at them.
void CoverStore::dropStoredThumbnails()
{
    QList<int> dropped;
    for (int i = 0; i < count(); ++i) {
        if (places[i].kept == Kept::Stored) {
            forget(i);
            dropped.append(i);
        }
    }
    for (const int index : std::as_const(dropped)) {
        emit thumbnailDropped(index);
        emit coverChanged(index);
    }
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
