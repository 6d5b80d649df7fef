#include "ThumbnailCache.h"

#include "CoverStore.h"
#include "FileHelpers.h"
#include "FolderDataFiles.h"
#include "LocalFiles.h"
#include "ThumbnailFile.h"
#include "ThumbnailRule.h"

#include <QFile>
#include <QHash>
#include <QThread>

#include <utility>

namespace {

// A view's offer is what the user looks at: it goes before the files of the folder.
constexpr int offerPriority = 1;
constexpr int filePriority = 0;
// Each install repaints the strip and with it the window, which a machine that
// draws in software pays for with tens of milliseconds taken from the workers:
// installs come at most twenty times a second, still a steady fill to the eye.
constexpr int installIntervalMs = 50;

} // namespace

ThumbnailCache::ThumbnailCache(CoverStore *store, QObject *parent) : QObject(parent), store(store)
{
    // One core stays with the window.
    pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount() - 1));
    installTimer.setSingleShot(true);
    installTimer.setInterval(installIntervalMs);
    installTimer.setTimerType(Qt::PreciseTimer);
    connect(&installTimer, &QTimer::timeout, this, &ThumbnailCache::installArrived);
    connect(store, &CoverStore::cleared, this, &ThumbnailCache::cancel);
    // A cover that lost its thumbnail may lie where the search was done with.
    connect(store, &CoverStore::thumbnailDropped, this, [this](int index) {
        madeFromFile.remove(index);
        doneRadius = 0;
    });
}

ThumbnailCache::~ThumbnailCache()
{
    pool.clear();
    pool.waitForDone();
}

// An offer that is not forced is of no use to a picture that has a thumbnail or
// will have one: its file is being made into the same picture. A scan's view
// shows what the user looked at, at the size it is seen (a mesh), which goes
// before what was made of the file; a thumbnail read from the folder's file
// stays all the same.
bool ThumbnailCache::takesOffer(int index, bool force) const
{
    if (index < 0 || index >= store->count())
        return false;
    if (force)
        return true;
    if (offered.contains(index))
        return false;
    if (feedMaking.scans)
        return !store->thumbnailLoaded(index) || madeFromFile.contains(index);
    return !store->thumbnailLoaded(index) && !claimed.contains(index);
}

void ThumbnailCache::offerImage(int index, const QImage &image, bool force, bool framed)
{
    if (!takesOffer(index, force))
        return;
    submit(index, force, false, offerPriority,
           [image, framed] { return imageThumbnail(image, framed); });
}

void ThumbnailCache::offerRenderedView(int index, const QImage &frame, bool force, bool framed)
{
    if (!takesOffer(index, force))
        return;
    submit(index, force, false, offerPriority,
           [frame, framed] { return renderedViewThumbnail(frame, framed); });
}

bool ThumbnailCache::makeMissingThumbnails(int selectedIndex, const Making &making)
{
    if (store->isEmpty()) {
        feeding = false;
        return false;
    }
    const int centre = qBound(0, selectedIndex, store->count() - 1);
    if (centre != feedCentre) {
        feedCentre = centre;
        doneRadius = 0;
    }
    feedMaking = making;
    feeding = true;
    feed();
    if (claimed.isEmpty() && nextMissingCover() < 0) {
        feeding = false;
        return false;
    }
    return true;
}

// One task waits beside those running: more would only delay a change of selection.
void ThumbnailCache::feed()
{
    while (feeding && fileTasks <= pool.maxThreadCount()) {
        const int index = nextMissingCover();
        if (index < 0)
            return;
        const QString fileName = store->fileName(index);
        submit(index, false, true, filePriority,
               [fileName, make = feedMaking.make] { return make(fileName); });
    }
}

int ThumbnailCache::nextMissingCover()
{
    const int count = store->count();
    for (; feedCentre - doneRadius >= 0 || feedCentre + doneRadius < count; ++doneRadius) {
        for (const int index : {feedCentre + doneRadius, feedCentre - doneRadius}) {
            if (index >= 0 && index < count && !store->thumbnailLoaded(index) &&
                !claimed.contains(index) && !offered.contains(index) && !unreadable.contains(index))
                return index;
        }
    }
    return -1;
}

void ThumbnailCache::submit(int index, bool forced, bool fromFile, int priority,
                            const std::function<QImage()> &make)
{
    if (fromFile) {
        claimed.insert(index);
        ++fileTasks;
    } else {
        offered.insert(index);
    }
    Result result;
    result.generation = generation;
    result.index = index;
    result.forced = forced;
    result.fromFile = fromFile;
    pool.start(
        [this, result, make]() mutable {
            result.picture = make();
            result.png = encodeThumbnail(result.picture);
            QMetaObject::invokeMethod(
                this, [this, result] { receive(result); }, Qt::QueuedConnection);
        },
        priority);
}

void ThumbnailCache::receive(const Result &result)
{
    if (result.generation != generation)
        return;
    if (result.fromFile)
        --fileTasks;
    arrived.append(result);
    feed();
    if (!installTimer.isActive())
        installTimer.start();
}

void ThumbnailCache::installArrived()
{
    installTimer.stop();
    const QList<Result> results = std::exchange(arrived, {});
    for (const Result &result : results) {
        const int index = result.index;
        (result.fromFile ? claimed : offered).remove(index);
        const bool scan = feedMaking.scans;
        if (result.fromFile && scan && result.picture.isNull()) {
            unreadable.insert(index);
            continue;
        }
        // A view's offer that arrives after the file's thumbnail of a scan replaces it.
        const bool replaceable = scan && !result.fromFile && madeFromFile.contains(index);
        if (!result.forced && store->thumbnailLoaded(index) && !replaceable)
            continue;
        store->setThumbnail(index, result.png, result.picture);
        if (scan && result.fromFile)
            madeFromFile.insert(index);
        else
            madeFromFile.remove(index);
        emit thumbnailMade(index);
    }
}

void ThumbnailCache::cancel()
{
    pool.clear();
    ++generation;
    claimed.clear();
    offered.clear();
    unreadable.clear();
    madeFromFile.clear();
    arrived.clear();
    installTimer.stop();
    fileTasks = 0;
    feeding = false;
    feedCentre = 0;
    doneRadius = 0;
}
