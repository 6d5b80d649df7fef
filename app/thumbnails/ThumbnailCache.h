#ifndef THUMBNAILCACHE_H
#define THUMBNAILCACHE_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <functional>

class CoverStore;

// Turns the placeholders of a cover store into thumbnails without stalling the
// window: the pictures are made on worker threads (one file each at a time), the
// covers nearest the selection first, and installed on the store in batches, at
// most twenty a second. Emptying the store cancels what is queued, and whatever
// was still being made for the old covers is dropped when it arrives.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    explicit ThumbnailCache(CoverStore *store, QObject *parent = nullptr);
    ~ThumbnailCache() override;

    // How the files of the covers are made into thumbnails.
    struct Making
    {
        // Called on a worker with the cover's file; a null image when the file
        // cannot be read.
        std::function<QImage(const QString &fileName)> make;
        // Pictures: a file that cannot be read gets an empty thumbnail, and the
        // views' offers give way to what is made here (the same picture). Scans:
        // such a file keeps its placeholder and is not tried again until the
        // covers change, and a view's offer replaces what is made here.
        bool scans = false;
    };

    // What a view shows, offered as the thumbnail of the cover at index. A cover
    // that has a thumbnail, or is getting one, keeps it unless the offer is
    // forced or, for scans, the thumbnail is or will be one made from its file.
    void offerImage(int index, const QImage &image, bool force, bool framed);
    void offerRenderedView(int index, const QImage &frame, bool force, bool framed);

    // Keeps the workers busy with the files of the covers that have no thumbnail
    // yet, nearest selectedIndex first; false once every cover has one or has
    // been tried (or there are none).
    bool makeMissingThumbnails(int selectedIndex, const Making &making);

    // Installs at once the thumbnails that arrived since the last batch, as
    // before the covers change or are stored.
    void installArrived();

signals:
    // A thumbnail made here was put on the cover at index.
    void thumbnailMade(int index);

private:
    struct Result
    {
        quint64 generation = 0;
        int index = -1;
        bool forced = false;
        bool fromFile = false;
        QImage picture;
        QByteArray png;
    };

    bool takesOffer(int index, bool force) const;
    void cancel();
    void feed();
    int nextMissingCover();
    void submit(int index, bool forced, bool fromFile, int priority,
                const std::function<QImage()> &make);
    void receive(const Result &result);

    CoverStore *store;
    QThreadPool pool;
    QTimer installTimer;
    // Counts the store's contents: a result of another generation belongs to covers gone.
    quint64 generation = 0;
    // Covers with a thumbnail being made from their file, or offered by a view,
    // or arrived but not installed.
    QSet<int> claimed;
    QSet<int> offered;
    // Scans whose file could not be made into a thumbnail.
    QSet<int> unreadable;
    // Scans whose thumbnail was made from their file, which a view's offer replaces.
    QSet<int> madeFromFile;
    QList<Result> arrived;
    int fileTasks = 0;
    bool feeding = false;
    Making feedMaking;
    int feedCentre = 0;
    // Every cover this close to feedCentre has a thumbnail or is claimed.
    int doneRadius = 0;
};

#endif
