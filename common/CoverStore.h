#ifndef COVERSTORE_H
#define COVERSTORE_H

#include "CoverFiles.h"

#include <QByteArray>
#include <QCache>
#include <QHash>
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
// Thumbnails are kept as PNG streams on disk, where the folder's stored file has
// them and in a spool for those made since, and are read and decoded only when
// asked for, into a cache of a few hundred pictures: the strip shows a few dozen
// covers around the selection, and a folder of ten thousand thumbnails would
// take half a gigabyte as PNG streams and gigabytes decoded.
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
    int thumbnailLoaded(int index) const;
    // The thumbnail as a PNG stream, empty while there is none, for an empty one,
    // and when it can no longer be read from where it was kept.
    QByteArray thumbnail(int index) const;
    // Whether the cover's thumbnail is an empty one (its file could not be read).
    bool hasEmptyThumbnail(int index) const;
    // picture is what png holds, when the caller has it at hand: it saves a
    // decode. A stream that is no PNG of thumbnailSide square leaves the cover
    // without a thumbnail, as a dropped one does.
    void setThumbnail(int index, const QByteArray &png, const QImage &picture = QImage());

    // New thumbnails are spooled to a file in folder; without one, or once the
    // spool cannot be written (a full disk), they are kept in memory up to
    // maxSpareBytes. Past that one is kept only as long as it stays decoded:
    // asked for after, the cover has none and the thumbnail is dropped.
    void setSpoolFolder(const QString &folder);
    // The folder's stored thumbnail file, open as descriptor (the store keeps a
    // copy), which setStoredThumbnail() places are in; false when it cannot be
    // used. Should the name stop leading to that file as it was, every cover
    // whose thumbnail it holds shows its placeholder again and counts as having
    // none.
    bool openStoredFile(const QString &fileName, int descriptor);
    void setStoredThumbnail(int index, qint64 offset, qint64 length);
    // PNG streams and decoded pictures held in memory.
    qint64 bytesInMemory() const;
    // Whether thumbnails go to the spool (the disk has had room for them).
    bool isSpooling() const { return !spool.hasFailed(); }

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
    // PNG streams kept in memory at most when they cannot be spooled: a thousand
    // thumbnails of photographs.
    static constexpr qint64 maxSpareBytes = 48 * 1024 * 1024;
    // Whether the bytes start as a thumbnail must: a PNG signature and a header
    // chunk of thumbnailSide square.
    static bool hasThumbnailHeader(const QByteArray &png);

signals:
    void coverChanged(int index);
    // A thumbnail given to the cover or kept for it could not be decoded: the
    // cover has none, and what stored it holds one to replace.
    void thumbnailDropped(int index);
    // Every cover is gone: what was being made for them no longer belongs here.
    void cleared();

private:
    // Where a cover's thumbnail is kept.
    enum class Kept : quint8 {
        Nothing, // a placeholder
        Empty,
        Stored,
        Spooled,
        InMemory,
        // Shown while decoded: neither the spool nor memory had room.
        WhileDecoded
    };
    struct Place
    {
        qint64 offset = 0;
        qint32 length = 0;
        Kept kept = Kept::Nothing;
    };

    void keep(int index, const QByteArray &png);
    void forget(int index);
    void dropThumbnail(int index);
    void dropStoredThumbnails();

    QList<QImage> placeholders;
    QStringList coverFileNames;
    QVector<Place> places;
    QHash<int, QByteArray> spare;
    qint64 spareBytes = 0;
    mutable StoredCovers stored;
    CoverSpool spool;
    QCache<int, QImage> decoded{maxDecodedThumbnails};
    QVector<int> imageWidths;
    QVector<int> imageHeights;
    QVector<unsigned char> imageOrientations;
};

#endif
