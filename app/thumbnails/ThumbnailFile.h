#ifndef THUMBNAILFILE_H
#define THUMBNAILFILE_H

#include "BrowsingMode.h"

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QString>

#include <functional>

class QDateTime;
class QIODevice;

// A folder's stored thumbnails, one file per folder and browsing mode: version 1,
// the number of entries, then per entry the cover's file name (no folder) and its
// picture as an int marker, 0 for an empty picture, else 1 followed by a complete
// PNG stream. Little-endian data stream of ints and UTF-16 strings.
struct ThumbnailEntry
{
    QString fileName;
    // Empty for an empty picture.
    QByteArray png;
};

// Where an entry's picture lies in the file, found without reading it.
struct ThumbnailPlace
{
    QString fileName;
    // 0 and 0 for an empty picture.
    qint64 offset = 0;
    qint64 length = 0;
    // Whether the PNG stream's header claims a thumbnail: 256 x 256 pixels.
    bool thumbnailHeader = false;
};

// Walks the entries of a thumbnail file (a file or buffer, from its start) one
// at a time, up to the count it states or to the end of its data: names, and
// the PNG streams' chunk headers to find where each ends. A file is read where
// it is needed and nowhere else: a few bytes per chunk of ten thousand pictures.
class ThumbnailFileScanner
{
public:
    explicit ThumbnailFileScanner(QIODevice &device);
    // The next entry; false at the end of the entries or of whole data.
    bool next(ThumbnailPlace &entry);
    // Whether the data were damaged, once next() returned false.
    bool isDamaged() const { return damaged; }

private:
    bool nextEntry(ThumbnailPlace &entry);
    bool findPngStream(ThumbnailPlace &entry, const QByteArray &head);
    QByteArray readAt(qint64 position, qint64 length);

    QIODevice &device;
    // The file's descriptor, read by position; -1 for another device.
    int descriptor = -1;
    qint64 size = 0;
    qint64 position = 0;
    qint32 remaining = -1;
    bool damaged = false;
};

// Writes a thumbnail file one entry at a time, so that no more than one picture
// need be in memory.
class ThumbnailFileWriter
{
public:
    // Writes the head of a file of count entries.
    ThumbnailFileWriter(QIODevice &device, int count);
    // An empty png is an empty picture.
    void add(const QString &fileName, const QByteArray &png);
    // Puts the number of entries added where the count stands, should they
    // differ; false when that cannot be done.
    bool finish();

private:
    QIODevice &device;
    QDataStream out;
    qint64 start;
    qint32 count;
    qint32 added = 0;
};

// Appends the entries of the device (a file or buffer: it seeks), up to the count
// it states or to the end of its data. The PNG streams are delimited, never
// decoded. False when the data are damaged (after every whole entry before the
// damage was appended).
bool readThumbnailFile(QIODevice &device, QList<ThumbnailEntry> &entries);
void writeThumbnailFile(QIODevice &device, const QList<ThumbnailEntry> &entries);

// "%1_%2_%3.cxi": the folder's own name, the browsing mode number and the time
// with '-' for ':'. A name that taken() reports in use gets a counter before
// ".cxi", so two folders of the same name saved in the same second never share
// a file.
QString thumbnailFileName(const QString &folderPath, BrowsingMode mode, const QDateTime &when,
                          const std::function<bool(const QString &)> &taken);

// Whether a name read from the viewer's index is one thumbnailFileName() makes:
// a plain file name of that rule, which names a file in the data folder and no
// other (no folder separator, so no "..", no absolute path).
bool isThumbnailFileName(const QString &name);

#endif
