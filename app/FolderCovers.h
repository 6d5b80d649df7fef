#ifndef FOLDERCOVERS_H
#define FOLDERCOVERS_H

#include "BrowsingMode.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

// A folder's covers as its strip shows them once every one has its thumbnail,
// without a window: those the viewer stored for the folder and mode, the
// others made from the files as the strip makes them, on worker threads. Reads
// the viewer's data and never writes them.
class FolderCovers
{
public:
    struct Cover
    {
        // The file's full path.
        QString fileName;
        // Null when the file cannot be made into one: the strip keeps its placeholder.
        QImage picture;
        bool stored = false;
        QString failure;
    };

    // dataFolder holds the viewer's favorites, index of visited folders and
    // thumbnail files.
    explicit FolderCovers(const QString &dataFolder);

    // The mode the viewer opens a folder in: the one stored with it as a
    // favorite, else the mode of the files it holds.
    BrowsingMode fittingMode(const QString &folder) const;

    // In the strip's order; meshes are drawn at meshViewSize device pixels.
    QList<Cover> covers(const QString &folder, BrowsingMode mode, QSize meshViewSize) const;

private:
    // The thumbnail file stored for the folder, or empty.
    QString storedFile(const QString &folder, BrowsingMode mode) const;

    QString dataFolder;
    QMap<QString, QString> indexes[3];
    QStringList favorites;
    QList<int> favoriteModes;
};

#endif
