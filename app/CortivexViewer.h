#ifndef CORTIVEXVIEWER_H
#define CORTIVEXVIEWER_H

#include <QDir>
#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include "ViewerDataFile.h"

class CoverFlowBrowser;
class ImageOGLViewer;
class MeshOGLViewer;
class VolumeOGLViewer;
class RawMRIDataOGLViewer;
class QtBrowserItem;
class QtTreePropertyBrowser;
class QtVariantEditorFactory;
class QtVariantProperty;
class QtVariantPropertyManager;
class QAction;
class QCheckBox;
class QDockWidget;
class QDoubleSpinBox;
class QFileSystemModel;
class QListWidget;
class QListWidgetItem;
class QKeyEvent;
class QModelIndex;
class QSpinBox;
class QSplitter;
class QStackedWidget;
class QTimer;
class QToolBar;
class QTreeView;

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
    void saveVisitedFoldersToThumbnailFilesMaps();

    // Browsing modes and folder analysis.
    void switchToShowBitmaps();
    void switchToShowRawMRIData();
    void switchToShowCXFiles();
    void analyzeCurrentFolder();

    // Thumbnail cache.
    void checkAddingImageAsThumbnail(int index, bool force);
    void checkAddingRenderedViewAsThumbnail(int index, bool force);
    void loadCurrentFolderThumbNails(QString fileName);
    void saveCurrentFolderThumbNails(QString fileName);
    void updateVisitedFolderThumbnailsData();

    // Maps panel.
    void fillMapListWithVMPs();
    void fillMapListWithSMPs();
    bool checkSMPFitsSRF(QString fileName, int nrOfVertices);

    QObject *cxsCore = nullptr;
    QString viewerBaseDir;
    QString viewerDataDir;
    QString folderDataDir;
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
    QListWidget *availableMapsLsWdg = nullptr;
    QListWidget *availableSubMapsLsWdg = nullptr;
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

    QtVariantPropertyManager *variantManager = nullptr;
    QtVariantEditorFactory *imageEditorFactory = nullptr;
    QtVariantEditorFactory *cxEditorFactory = nullptr;
    QtVariantEditorFactory *rawMRIEditorFactory = nullptr;
    QtTreePropertyBrowser *imagePropertiesBrowser = nullptr;
    QtTreePropertyBrowser *cxPropertiesBrowser = nullptr;
    QtTreePropertyBrowser *rawMRIPropertiesBrowser = nullptr;
    QtVariantProperty *imageFileNameProp = nullptr;
    QtVariantProperty *imageFolderProp = nullptr;
    QtVariantProperty *imageSizeProp = nullptr;
    QtVariantProperty *imageWidthProp = nullptr;
    QtVariantProperty *imageHeightProp = nullptr;
    QtVariantProperty *cxFileNameProp = nullptr;
    QtVariantProperty *cxFolderProp = nullptr;
    QtVariantProperty *cxSizeProp = nullptr;
    QtVariantProperty *vmrDimsProp = nullptr;
    QtVariantProperty *vmrXProp = nullptr;
    QtVariantProperty *vmrYProp = nullptr;
    QtVariantProperty *vmrZProp = nullptr;
    QtVariantProperty *srfTypeProp = nullptr;
    QtVariantProperty *srfNrOfVerticesProp = nullptr;
    QtVariantProperty *srfMeanNrOfNeighborsProp = nullptr;
    QtVariantProperty *srfNrOfTrianglesProp = nullptr;
    QtVariantProperty *srfNrOfEdgesProp = nullptr;
    QtVariantProperty *srfMeanEdgeLengthProp = nullptr;
    QtBrowserItem *vmrGroupItem = nullptr;
    QtBrowserItem *srfGroupItem = nullptr;
    QtVariantProperty *rawMRIFileNameProp = nullptr;
    QtVariantProperty *rawMRIFolderProp = nullptr;
    QtVariantProperty *rawMRISizeProp = nullptr;
    QList<QtVariantProperty *> dicomHeaderProps;

    QStringList favoriteFolders;
    QList<int> favoriteFolderModes;
    QMap<QString, QString> imageFoldersToThumbnailFiles;
    QMap<QString, QString> rawMRIFoldersToThumbnailFiles;
    QMap<QString, QString> cxFoldersToThumbnailFiles;
    bool thumbnailsChanged = false;
    QTimer *thumbnailTimer = nullptr;
    QDoubleSpinBox *threshSpBx = nullptr;
    QSpinBox *clusterSpBx = nullptr;
    QCheckBox *clusterChkBx = nullptr;
    QCheckBox *showPosChkBx = nullptr;
    QCheckBox *showNegChkBx = nullptr;
    int inputKind = 0;
    bool fullScreen = false;
    bool toolBarWasVisible = false;
    bool dirTreeDockWasVisible = false;
    bool favoriteFoldersDockWasVisible = false;
    bool propertiesDockWasVisible = false;
    bool availableMapsDockWasVisible = false;

public slots:
    void updateImageFileProperties(int citem, QString strFullFileName, int img_width,
                                   int img_height, int img_orientation);
    void updateImageDimsProperties(int img_width, int img_height);
    void updateCXFileProperties(int citem, QString strFullFileName);
    void updateCrossCoords();
    void updateHeaderOfLoadedVMR();
    void updateHeaderOfLoadedSRF();
    void updateRawMRIFileProperties(int citem, QString strFullFileName);
    void updateHeaderOfLoadedDICOM();
    void autoSelectFirstFavFolder();
    void slotChangeThreshold();
    void slotChangeClusterSize();
    void slotEnableClusterSize();
    void slotShowPosNegMapValues();
    void slotToggleFullScreen();
    void clickedFolder(const QModelIndex &index);
    void doubleClickedFolder(const QModelIndex &index);
    void clickedFavoriteFolder(QListWidgetItem *item);
    void toggleShowBitmaps();
    void toggleShowRawMRIData();
    void toggleShowCXFiles();
    void loadFileIntoCXS();
    void newMeshOrVolumeForInspection(int sel_item, QString filename);
    void cycleThroughImagesToGetThumbnails();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool initCXSCore();
    void releaseCXSCore();
    void createActions();
    void createToolBars();
    void createDockWindows();
    void createPropertyBrowsers();
    void createMapsDock();
    void updateToolbarIcons();
    void switchBrowsingMode(int mode);
    void toggleBrowsingMode(int mode);
    void connectCoverFlowSignals(bool connectThem);
    int browsingModeNumber() const;
    QMap<QString, QString> &currentModeThumbnailFiles();
    void lookUpStoredThumbnails();
    void forwardKeyToCoverFlow(QKeyEvent *event);

    ViewerDataFile favoritesFile;
    ViewerDataFile visitedFoldersFile;
};

#endif
