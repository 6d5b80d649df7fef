#ifndef COVERSTORE_H
#define COVERSTORE_H

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVector>

// What the cover strip knows of each file of the folder, by cover index: its
// picture (a placeholder until a thumbnail arrives) and, for images, the size
// and EXIF orientation the image view found. Reads outside the store give the
// values of an unknown cover; writes outside it are ignored.
//
// Thumbnails are kept as PNG bytes and decoded only when asked for, into a cache
// of a few hundred pictures: the strip shows a few dozen covers around the
// selection, and a folder of ten thousand decoded thumbnails would take gigabytes.
class CoverStore : public QObject
{
    Q_OBJECT

public:
    explicit CoverStore(QObject *parent = nullptr);

    int count() const { return int(coverFileNames.size()); }
    bool isEmpty() const { return coverFileNames.isEmpty(); }

    // Adds a cover showing placeholder; the image size and orientation are kept
    // only when withImageSize is set (images mode), starting unknown.
    void append(const QString &fileName, const QImage &placeholder, bool withImageSize);
    void clear();

    QString fileName(int index) const { return coverFileNames.value(index); }
    // The placeholder, or the thumbnail; a null image for a thumbnail that is
    // empty (its file could not be read). A thumbnail that cannot be decoded
    // into a picture of thumbnailSide square is dropped: the cover shows its
    // placeholder and counts as having none, to be made again.
    QImage image(int index);
    // 0 while the cover is a placeholder, 1 once a thumbnail is in place.
    int thumbnailLoaded(int index) const { return thumbnailLoadedFlags.value(index); }
    // The thumbnail as a PNG stream, empty while there is none or for an empty one.
    QByteArray thumbnail(int index) const { return thumbnails.value(index); }
    // picture is what png holds, when the caller has it at hand: it saves a
    // decode. A stream that is no PNG of thumbnailSide square leaves the cover
    // without a thumbnail, as a dropped one does.
    void setThumbnail(int index, const QByteArray &png, const QImage &picture = QImage());

    // -1 until known, and always outside images mode.
    int imageWidth(int index) const { return imageWidths.value(index, -1); }
    int imageHeight(int index) const { return imageHeights.value(index, -1); }
    // 0 until known.
    int imageOrientation(int index) const { return imageOrientations.value(index, 0); }
    void setImageSize(int index, int width, int height, int orientation);

    // Decoded thumbnails kept at most: enough for a full-screen strip at its lowest.
    static constexpr int maxDecodedThumbnails = 256;
    // Thumbnails are this many pixels square, and nothing else is one.
    static constexpr int thumbnailSide = 256;
    // The picture of a stored thumbnail; null unless the stream holds a whole
    // PNG of thumbnailSide square (what claims another size is damage, and is
    // not decoded).
    static QImage decodeThumbnail(const QByteArray &png);

signals:
    void coverChanged(int index);
    // A thumbnail given to the cover or kept for it could not be decoded: the
    // cover has none, and what stored it holds one to replace.
    void thumbnailDropped(int index);
    // Every cover is gone: what was being made for them no longer belongs here.
    void cleared();

private:
    void dropThumbnail(int index);

    QList<QImage> placeholders;
    QStringList coverFileNames;
    QVector<int> thumbnailLoadedFlags;
    QList<QByteArray> thumbnails;
    mutable QCache<int, QImage> decoded{maxDecodedThumbnails};
    QVector<int> imageWidths;
    QVector<int> imageHeights;
    QVector<unsigned char> imageOrientations;
};

#endif
