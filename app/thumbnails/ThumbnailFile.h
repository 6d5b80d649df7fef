#ifndef THUMBNAILFILE_H
#define THUMBNAILFILE_H

#include "BrowsingMode.h"

#include <QByteArray>
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
