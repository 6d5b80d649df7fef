#ifndef COVERSTORE_H
#define COVERSTORE_H

#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVector>

// What the cover strip knows of each file of the folder, by cover index: its
// picture (a placeholder until a thumbnail arrives) and, for images, the size
// and EXIF orientation the image view found. Reads outside the store give the
// values of an unknown cover; writes outside it are ignored.
class CoverStore : public QObject
{
    Q_OBJECT

public:
    explicit CoverStore(QObject *parent = nullptr);

    int count() const { return int(coverFileNames.size()); }
    bool isEmpty() const { return coverFileNames.isEmpty(); }

    // Adds a cover showing image; the image size and orientation are kept only
    // when withImageSize is set (images mode), starting unknown.
    void append(const QString &fileName, const QImage &image, bool withImageSize);
    void clear();

    QString fileName(int index) const { return coverFileNames.value(index); }
    QImage image(int index) const { return coverImages.value(index); }
    // 0 while the cover is a placeholder, 1 once a thumbnail is in place.
    int thumbnailLoaded(int index) const { return thumbnailLoadedFlags.value(index); }
    void setThumbnail(int index, const QImage &thumbnail);

    // -1 until known, and always outside images mode.
    int imageWidth(int index) const { return imageWidths.value(index, -1); }
    int imageHeight(int index) const { return imageHeights.value(index, -1); }
    // 0 until known.
    int imageOrientation(int index) const { return imageOrientations.value(index, 0); }
    void setImageSize(int index, int width, int height, int orientation);

signals:
    void coverChanged(int index);

private:
    QList<QImage> coverImages;
    QStringList coverFileNames;
    QVector<int> thumbnailLoadedFlags;
    QVector<int> imageWidths;
    QVector<int> imageHeights;
    QVector<unsigned char> imageOrientations;
};

#endif
