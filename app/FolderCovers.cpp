#include "FolderCovers.h"

#include "CoverStore.h"
#include "Documents.h"
#include "FileHelpers.h"
#include "FolderBrowser.h"
#include "FolderDataFiles.h"
#include "LocalFiles.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThreadPool>

#include <vector>

namespace {

// Why a picture file gives no thumbnail, as the image view's reader says.
QString pictureFailure(const QString &fileName)
{
    QString why;
    if (readDocument(fileName, why))
        why = "no picture to show";
    return why;
}

} // namespace

FolderCovers::FolderCovers(const QString &folderOfData) : dataFolder(folderOfData)
{
    QFile index;
    if (LocalFiles::openRegular(index, combinePathAndFileName(dataFolder, "VisitedFolders.cxv")))
        readVisitedFolders(index, indexes[0], indexes[1], indexes[2]);
    QFile favoritesFile;
    if (LocalFiles::openRegular(favoritesFile,
                                combinePathAndFileName(dataFolder, "FavoriteFolders.cxf")))
        readFavoriteFolders(favoritesFile, favorites, favoriteModes);
}

BrowsingMode FolderCovers::fittingMode(const QString &folder) const
{
    const QString path = QDir::cleanPath(folder);
    for (int i = 0; i < favorites.size(); ++i)
        if (QDir::cleanPath(favorites[i]) == path)
            return browsingModeOfNumber(favoriteModes.value(i));
    return FolderBrowser::modeOfFiles(folder);
}

// The window names a folder as it was chosen; any name of it will do here.
QString FolderCovers::storedFile(const QString &folder, BrowsingMode mode) const
{
    const QMap<QString, QString> &files = indexes[browsingModeNumber(mode) - 1];
    QString name = files.value(QFileInfo(folder).absoluteFilePath());
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    for (auto entry = files.cbegin(); name.isEmpty() && entry != files.cend(); ++entry)
        if (QFileInfo(entry.key()).canonicalFilePath() == canonical)
            name = entry.value();
    // Only a name the viewer makes, which stays in the data folder.
    return isThumbnailFileName(name) ? combinePathAndFileName(dataFolder, name) : QString();
}

QList<FolderCovers::Cover> FolderCovers::covers(const QString &folder, BrowsingMode mode,
                                                QSize meshViewSize) const
{
    std::vector<Cover> covers;
    for (const QString &file : FolderBrowser::filesToShow(folder, mode))
        covers.push_back({file, QImage(), false, QString()});

    QHash<QString, QByteArray> stored;
    QFile file;
    const QString storedName = storedFile(folder, mode);
    if (!storedName.isEmpty() && LocalFiles::openRegular(file, storedName)) {
        QList<ThumbnailEntry> entries;
        readThumbnailFile(file, entries);
        // The first of a name counts, as on the strip.
        for (const ThumbnailEntry &entry : std::as_const(entries))
            if (!stored.contains(entry.fileName))
                stored.insert(entry.fileName, entry.png);
    }
    for (Cover &cover : covers) {
        const QByteArray png = stored.value(QFileInfo(cover.fileName).fileName());
        if (!png.isEmpty())
            cover.picture = CoverStore::decodeThumbnail(png);
        cover.stored = !cover.picture.isNull();
    }

    // Those that are missing, or could not be decoded, made as the strip makes them.
    const bool framed = mode != BrowsingMode::Images;
    QThreadPool pool;
    for (Cover &cover : covers) {
        if (cover.stored)
            continue;
        pool.start([&cover, mode, framed, meshViewSize] {
            if (mode == BrowsingMode::Images) {
                cover.picture = fileThumbnail(cover.fileName, framed);
                if (cover.picture.isNull())
                    cover.failure = pictureFailure(cover.fileName);
            } else {
                cover.picture = scanThumbnail(cover.fileName, meshViewSize, framed, cover.failure);
            }
        });
    }
    pool.waitForDone();
    return QList<Cover>(covers.begin(), covers.end());
}
