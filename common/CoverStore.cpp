#include "CoverStore.h"

CoverStore::CoverStore(QObject *parent) : QObject(parent) {}

void CoverStore::append(const QString &fileName, const QImage &image, bool withImageSize)
{
    coverImages.append(image);
    coverFileNames.append(fileName);
    thumbnailLoadedFlags.append(0);
    if (withImageSize) {
        imageWidths.append(-1);
        imageHeights.append(-1);
        imageOrientations.append(0);
    }
}

void CoverStore::clear()
{
    coverImages.clear();
    coverFileNames.clear();
    thumbnailLoadedFlags.clear();
    imageWidths.clear();
    imageHeights.clear();
    imageOrientations.clear();
}

void CoverStore::setThumbnail(int index, const QImage &thumbnail)
{
    if (index < 0 || index >= count())
        return;
    coverImages[index] = thumbnail;
    thumbnailLoadedFlags[index] = 1;
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
