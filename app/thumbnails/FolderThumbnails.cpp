#include "FolderThumbnails.h"

#include "CoverStore.h"
#include "FileHelpers.h"
#include "FolderDataFiles.h"
#include "LocalFiles.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace {

// The entries found in one go: the strip's first frame waits for the first go,
// and a key step for any other.
constexpr qint64 loadSliceNs = 8000000;

} // namespace

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
    connect(&loadTimer, &QTimer::timeout, this, [this] {
        if (loadSome(loadSliceNs))
            return;
        stopLoading();
        startMaking();
    });
    connect(store, &CoverStore::cleared, this, &FolderThumbnails::closeStoredFile);
    connect(&cache, &ThumbnailCache::thumbnailMade, this, [this] { changed = true; });
    // A stored thumbnail that cannot be decoded counts as missing: the file is
    // written anew, and the thumbnail is made again.
    connect(store, &CoverStore::thumbnailDropped, this, [this] { changed = true; });
    connect(
        store, &CoverStore::thumbnailDropped, this,
        [this] {
            if (!timer.isActive() && !isLoading())
                startMaking();
        },
        Qt::QueuedConnection);
}

FolderThumbnails::~FolderThumbnails() = default;

void FolderThumbnails::loadIndex(const QString &folderOfData)
{
    dataFolder = folderOfData;
    for (QMap<QString, QString> &files : indexes)
        files.clear();
    indexFile.load(filePath("VisitedFolders.cxv"));
    CoverSpool::removeLeftBehind(dataFolder);
    store->setSpoolFolder(dataFolder);
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
    // A file written anew needs every entry of the old one.
    if (changed)
        loadSome(-1);
    closeStoredFile();
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
    if (!saveFile(filePath(name)))
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
    closeStoredFile();
    // Entries that cannot be used mark the file as changed while it is read.
    if (!changed)
        startLoading(filePath(name));
    if (loadSome(loadSliceNs)) {
        loadTimer.start(0);
        return;
    }
    stopLoading();
    startMaking();
}

void FolderThumbnails::setMeshViewSize(QSize size)
{
    if (!size.isEmpty())
        meshSize = size;
}

// Their entries may lie anywhere in the folder's stored file: a pass under way
// starts again from the first entry with them among the covers (those that got
// their thumbnail keep it); otherwise one pass is made for them at once.
void FolderThumbnails::coversAdded(int firstCover)
{
    if (!storedFile.isOpen())
        return;
    if (isLoading()) {
        startScan(0);
        return;
    }
    startScan(firstCover);
    loadSome(-1);
    stopLoading();
    if (!timer.isActive())
        startMaking();
}

// One pass over the file finds where each picture lies; the store reads it
// from there when the strip shows it.
void FolderThumbnails::startLoading(const QString &fileName)
{
    closeStoredFile();
    if (!LocalFiles::openRegular(storedFile, fileName,
                                 QIODevice::ReadOnly | QIODevice::Unbuffered) ||
        !store->openStoredFile(fileName, storedFile.handle())) {
        storedFile.close();
        return;
    }
    startScan(0);
}

// The file is kept open while its folder is shown, for covers added later.
void FolderThumbnails::startScan(int firstCover)
{
    coverOfName.clear();
    for (int i = store->count() - 1; i >= firstCover; --i)
        coverOfName.insert(getFileNameFromFullFileName(store->fileName(i)), i);
    scanner = std::make_unique<ThumbnailFileScanner>(storedFile);
}

// Names are matched exactly, the first cover of a name taking its entry; a
// cover given a thumbnail while the file was read keeps it. A negative budget
// loads all. False once every entry is loaded.
bool FolderThumbnails::loadSome(qint64 budgetNs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    ThumbnailPlace entry;
    while (scanner && scanner->next(entry)) {
        const int index = coverOfName.value(entry.fileName, -1);
        if (index >= 0 && !store->thumbnailLoaded(index)) {
            if (entry.length == 0)
                store->setThumbnail(index, QByteArray());
            else if (entry.thumbnailHeader)
                store->setStoredThumbnail(index, entry.offset, entry.length);
            // A picture of another size is damage: the cover has none, to be made again.
            else
                changed = true;
        }
        if (budgetNs >= 0 && elapsed.nsecsElapsed() > budgetNs)
            return true;
    }
    return false;
}

void FolderThumbnails::stopLoading()
{
    loadTimer.stop();
    scanner.reset();
    coverOfName.clear();
}

void FolderThumbnails::closeStoredFile()
{
    stopLoading();
    storedFile.close();
}

// Each thumbnail is read from where it lies as it is written. One that can no
// longer be read (its file changed) is left out, as is one never kept.
bool FolderThumbnails::saveFile(const QString &fileName)
{
    int count = 0;
    for (int i = 0; i < store->count(); ++i)
        count += store->thumbnailLoaded(i);
    return saveFileAtomicallyIf(fileName, [this, count](QIODevice &device) {
        ThumbnailFileWriter writer(device, count);
        for (int i = 0; i < store->count(); ++i) {
            if (!store->thumbnailLoaded(i))
                continue;
            const QByteArray png = store->thumbnail(i);
            if (!png.isEmpty() || store->hasEmptyThumbnail(i))
                writer.add(getFileNameFromFullFileName(store->fileName(i)), png);
        }
        return writer.finish();
    });
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
