#ifndef CORTIVEXVIEWER_H
#define CORTIVEXVIEWER_H

#include <QDir>
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include "ViewerDataFile.h"

class CoverFlowBrowser;
class CoverStore;
class ImageOGLViewer;
class InspectionRouter;
class MapDisplaySettings;
class OGLViewer;
class MapsPanel;
class MeshOGLViewer;
class PropertyPanels;
class RawMRIDataOGLViewer;
class FolderThumbnails;
class VolumeOGLViewer;
class QAction;
class QDockWidget;
class QDragEnterEvent;
class QDropEvent;
class QFileSystemModel;
class QImage;
class QKeyEvent;
class QListWidget;
class QListWidgetItem;
class QModelIndex;
class QSplitter;
class QStackedWidget;
class QTimer;
class QToolBar;
class QTreeView;

// The main window: builds the widgets, switches the browsing modes, routes
// what the cover strip chooses to the views, and connects everyone's signals.
class CortivexViewer : public QMainWindow
{
    Q_OBJECT

public:
    CortivexViewer();
    ~CortivexViewer() override;

    // Derives the data folders from the folder of the executable.
    void initDataFolders(const QString &applicationDir);

    bool eventFilter(QObject *watched, QEvent *event) override;

    void adjustFontSizeForTouchScreen(float points);

    // Favorite and visited folders.
    void loadFavoriteFoldersList();
    void saveFavoriteFoldersList();
    void fillFavoriteFoldersLsWdg();
    void moveFavoriteFolder(int from, int to);
    void loadVisitedFoldersToThumbnailFilesMaps();

    // Browsing modes and folder analysis.
    void switchToShowBitmaps();
    void switchToShowRawMRIData();
    void switchToShowCXFiles();
    void analyzeCurrentFolder();
    // Opens folders and files as given on the command line or dropped on the
    // window: a folder in the browsing mode that fits it, a file in its folder
    // with its cover chosen, a map file after its volume or mesh in the maps panel.
    void openPaths(const QStringList &paths);

    QObject *cxsCore = nullptr;
    QString viewerBaseDir;
    QString viewerDataDir;
    QString folderDataDir;
    CoverStore *coverStore = nullptr;
    CoverFlowBrowser *coverFlowBrowser = nullptr;
    QStackedWidget *viewStack = nullptr;
    ImageOGLViewer *imageViewer = nullptr;
    MeshOGLViewer *meshViewer = nullptr;
    VolumeOGLViewer *volumeViewer = nullptr;
    RawMRIDataOGLViewer *rawMRIDataViewer = nullptr;
    QSplitter *mainWindowSplitter = nullptr;
    QDockWidget *dirTreeDock = nullptr;
    QDockWidget *favoriteFoldersDock = nullptr;
    QDockWidget *propertiesDock = nullptr;
    QDockWidget *availableMapsDock = nullptr;
    QTreeView *dirTreeView = nullptr;
    QFileSystemModel *fileSystemModel = nullptr;
    QListWidget *favoriteFoldersLsWdg = nullptr;
    QString currentFolderPath;
    QDir currentDir{QString()};
    QToolBar *viewModeToolBar = nullptr;
    QAction *showImagesAct = nullptr;
    QAction *showRawMRIDataAct = nullptr;
    QAction *showCXFilesAct = nullptr;
    QAction *loadInCXSAct = nullptr;
    QAction *fullScreenAct = nullptr;
    bool showBitmaps = false;
    bool showRawMRIData = false;
    bool showCXFiles = true;

    PropertyPanels *propertyPanels = nullptr;
    MapsPanel *mapsPanel = nullptr;

    QStringList favoriteFolders;
    QList<int> favoriteFolderModes;
    // The thumbnails of the folders visited, made and stored per folder and mode.
    FolderThumbnails *thumbnails = nullptr;
    int inputKind = 0;
    bool fullScreen = false;
    bool toolBarWasVisible = false;
    bool dirTreeDockWasVisible = false;
    bool favoriteFoldersDockWasVisible = false;
    bool propertiesDockWasVisible = false;
    bool availableMapsDockWasVisible = false;

public slots:
    void autoSelectFirstFavFolder();
    void slotToggleFullScreen();
    void clickedFolder(const QModelIndex &index);
    void doubleClickedFolder(const QModelIndex &index);
    void clickedFavoriteFolder(QListWidgetItem *item);
    void toggleShowBitmaps();
    void toggleShowRawMRIData();
    void toggleShowCXFiles();
    void loadFileIntoCXS();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool initCXSCore();
    void releaseCXSCore();
    void createActions();
    void createToolBars();
    void createDockWindows();
    void createMapsDock();
    void updateToolbarIcons();
    void switchBrowsingMode(int mode);
    // Makes path the current folder and lists it in the mode (3 for a number
    // that is no mode); a path that is no folder changes nothing.
    void openFolder(const QString &path, int mode);
    // The mode stored with the folder as a favorite, else the mode of the files it holds.
    int fittingBrowsingMode(const QString &folder) const;
    // Chooses and inspects the cover of the file; false when the strip has none.
    bool inspectCover(const QString &fileName);
    void toggleBrowsingMode(int mode);
    void connectCoverFlowSignals(bool connectThem);
    void wireCoverFlow();
    void wireViews();
    void resizeStrip(int delta);
    int browsingModeNumber() const;
    void forwardKeyToCoverFlow(QKeyEvent *event);

    MapDisplaySettings *mapSettings = nullptr;
    InspectionRouter *router = nullptr;
    ViewerDataFile favoritesFile;
};

#endif
