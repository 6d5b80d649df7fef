#ifndef FOLDERTHUMBNAILS_H
#define FOLDERTHUMBNAILS_H

#include "BrowsingMode.h"
#include "ThumbnailCache.h"
#include "ViewerDataFile.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <functional>
#include <memory>

class CoverStore;
class QImage;
class ThumbnailFileScanner;

// The thumbnails of the folders visited, kept from one run to the next: one file
// per folder and browsing mode in the data folder, named in the index
// VisitedFolders.cxv. While a folder is shown its covers get thumbnails, made
// from the files in the background (of a scan, what its view would offer) and
// offered by the views. The store reads them where they lie, in the folder's file
// or in the spool of new ones, and the folder's new file is written from both,
// one thumbnail at a time.
class FolderThumbnails : public QObject
{
    Q_OBJECT

public:
    // selectedCover tells the cover the user looks at, whose neighbours come first.
    FolderThumbnails(CoverStore *store, std::function<int()> selectedCover,
                     QObject *parent = nullptr);
    ~FolderThumbnails() override;

    // Reads the index of dataFolder, where the thumbnail files are kept, and
    // removes the spools that viewers which were killed left there.
    void loadIndex(const QString &dataFolder);
    // Whether thumbnails are being made from the files of the folder shown.
    bool isMakingThumbnails() const { return timer.isActive(); }
    // The size in device pixels the mesh view is shown at, or was last: meshes
    // are drawn at it, so that their thumbnails frame them as the view does.
    void setMeshViewSize(QSize size);
    QSize meshViewSize() const { return meshSize; }
    // Before the mesh view is first shown.
    static QSize initialMeshViewSize() { return QSize(1000, 700); }

    // Before the covers change: stops making thumbnails and stores those of the
    // folder shown, if they changed since they were read.
    void leave();
    // The covers of folder were just listed in mode: its stored thumbnails go on
    // them, and the missing ones are made from the files.
    void enter(const QString &folder, BrowsingMode mode);

    // Covers from firstCover on were added to the folder's: their stored
    // thumbnails go on them, and the missing ones are made from the files.
    void coversAdded(int firstCover);

    // What a view shows, offered as the thumbnail of the cover at index.
    void offerImage(int index, const QImage &image, bool force);
    void offerRenderedView(int index, const QImage &frame, bool force);

private:
    QMap<QString, QString> &index(BrowsingMode mode)
    {
        return indexes[browsingModeNumber(mode) - 1];
    }
    QString filePath(const QString &name) const;
    void startLoading(const QString &fileName);
    void startScan(int firstCover);
    bool loadSome(qint64 budgetNs);
    void stopLoading();
    void closeStoredFile();
    bool isLoading() const { return scanner != nullptr; }
    bool saveFile(const QString &fileName);
    bool framed() const { return mode != BrowsingMode::Images; }
    void startMaking();
    void makeMissing();

    CoverStore *store;
    std::function<int()> selectedCover;
    ThumbnailCache cache;
    QTimer timer;
    // The folder's stored file, open while the folder is shown. Its entries are
    // found a slice of time at a go: ten thousand of them take longer than a frame.
    QFile storedFile;
    std::unique_ptr<ThumbnailFileScanner> scanner;
    QHash<QString, int> coverOfName;
    QTimer loadTimer;
    // Per mode: folder to thumbnail file name in dataFolder.
    QMap<QString, QString> indexes[3];
    ViewerDataFile indexFile;
    QString dataFolder;
    // The folder and mode of the covers in the store; no folder before one is chosen.
    QString folder;
    BrowsingMode mode = BrowsingMode::CXData;
    // The covers hold thumbnails the folder's stored file lacks.
    bool changed = false;
    // The mesh view's size before it is first shown.
    QSize meshSize = initialMeshViewSize();
};

#endif
