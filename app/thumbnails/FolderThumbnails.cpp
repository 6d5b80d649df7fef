#include "FolderThumbnails.h"

#include "CoverStore.h"
#include "FileHelpers.h"
#include "FolderDataFiles.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

FolderThumbnails::FolderThumbnails(CoverStore *store, std::function<int()> selectedCover,
                                   QObject *parent)
    : QObject(parent), store(store), selectedCover(std::move(selectedCover)), cache(store),
      indexFile(
          [this](QIODevice &file) {
              const bool whole = readVisitedFolders(file, indexes[0], indexes[1], indexes[2]);
              // A name that could lead out of the data folder is never used,
              // and is gone from the index the next time it is written.
              for (QMap<QString, QString> &files : indexes)
                  files.removeIf([](QMap<QString, QString>::iterator entry) {
                      return !isThumbnailFileName(entry.value());
                  });
              return whole;
          },
          [this](QIODevice &file) {
              writeVisitedFolders(file, indexes[0], indexes[1], indexes[2]);
          })
{
    connect(&timer, &QTimer::timeout, this, &FolderThumbnails::makeMissing);
    connect(&cache, &ThumbnailCache::thumbnailMade, this, [this] { changed = true; });
    // A stored thumbnail that cannot be decoded counts as missing: the file is
    // written anew, and the thumbnail is made again.
    connect(store, &CoverStore::thumbnailDropped, this, [this] { changed = true; });
    connect(
        store, &CoverStore::thumbnailDropped, this,
        [this] {
            if (!timer.isActive())
                startMaking();
        },
        Qt::QueuedConnection);
}

void FolderThumbnails::loadIndex(const QString &folderOfData)
{
    dataFolder = folderOfData;
    for (QMap<QString, QString> &files : indexes)
        files.clear();
    indexFile.load(filePath("VisitedFolders.cxv"));
}

QString FolderThumbnails::filePath(const QString &name) const
{
    return combinePathAndFileName(dataFolder, name);
}

// The new file is written before the old one is deleted, and the old one only
// once the index no longer names it: a save that fails anywhere loses nothing.
void FolderThumbnails::leave()
{
    timer.stop();
    if (folder.isEmpty())
        return;
    cache.installArrived();
    QMap<QString, QString> &files = index(mode);
    if (!changed && files.contains(folder))
        return;
    if (store->isEmpty())
        return;
    const QString oldName = files.value(folder);
    const auto taken = [this](const QString &name) {
        for (const QMap<QString, QString> &map : indexes)
            if (std::find(map.cbegin(), map.cend(), name) != map.cend())
                return true;
        return QFileInfo::exists(filePath(name));
    };
    const QString name = thumbnailFileName(folder, mode, QDateTime::currentDateTime(), taken);
    if (!cache.saveFile(filePath(name)))
        return;
    files.insert(folder, name);
    if (indexFile.save() && isThumbnailFileName(oldName))
        QFile::remove(filePath(oldName));
}

void FolderThumbnails::enter(const QString &newFolder, BrowsingMode newMode)
{
    folder = newFolder;
    mode = newMode;
    const QString name = index(mode).value(folder);
    changed = !isThumbnailFileName(name);
    // Entries that cannot be used mark the file as changed while it is read.
    if (!changed)
        cache.loadFile(filePath(name));
    startMaking();
}

void FolderThumbnails::setMeshViewSize(QSize size)
{
    if (!size.isEmpty())
        meshSize = size;
}

void FolderThumbnails::coversAdded(int firstCover)
{
    const QString name = index(mode).value(folder);
    if (isThumbnailFileName(name))
        cache.loadFile(filePath(name), firstCover);
}

void FolderThumbnails::offerImage(int index, const QImage &image, bool force)
{
    cache.offerImage(index, image, force, framed());
}

void FolderThumbnails::offerRenderedView(int index, const QImage &frame, bool force)
{
    cache.offerRenderedView(index, frame, force, framed());
}

// The first tick comes at once rather than after 300 ms of idle workers.
void FolderThumbnails::startMaking()
{
    timer.start(300);
    makeMissing();
}

// Each tick hands the workers the covers nearest the selection of the moment,
// and meshes the mesh view's size of the moment.
void FolderThumbnails::makeMissing()
{
    ThumbnailCache::Making making;
    if (mode == BrowsingMode::Images) {
        making.make = [framed = framed()](const QString &fileName) {
            return fileThumbnail(fileName, framed);
        };
    } else {
        making.make = [framed = framed(), size = meshSize](const QString &fileName) {
            QString reason;
            return scanThumbnail(fileName, size, framed, reason);
        };
        making.scans = true;
    }
    if (!cache.makeMissingThumbnails(selectedCover(), making))
        timer.stop();
}
