#include "CortivexViewer.h"

#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "FolderDataFiles.h"
#include "FolderThumbnails.h"
#include "ImageOGLViewer.h"
#include "InspectionRouter.h"
#include "MapDisplaySettings.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "PropertyPanels.h"
#include "QtTreePropertyBrowser.h"
#include "RawMRIDataOGLViewer.h"
#include "VolumeOGLViewer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPluginLoader>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <cstdlib>

namespace {

const char *const windowStyleSheet =
    "QListView { background-color: #272727; alternate-background-color: #383838; "
    "selection-color: #C5C5C0; selection-background-color: #285298; color: #C8C8C8; }"
    "QTreeView { background-color: #272727; alternate-background-color: #383838; "
    "selection-color: #C5C5C0; selection-background-color: #285298; color: #C8C8C8; }"
    "QMainWindow::separator {background: rgb(70, 70, 70); width: 10px; height: 10px;}"
    "QSplitter {border: 0px solid rgb(70, 70, 70); padding: 0px; margin: 0px;}"
    "QSplitter::handle {background: rgb(70, 70, 70);}";

} // namespace

CortivexViewer::CortivexViewer()
    : favoritesFile(
          [this](QIODevice &file) {
              return readFavoriteFolders(file, favoriteFolders, favoriteFolderModes);
          },
          [this](QIODevice &file) {
              writeFavoriteFolders(file, favoriteFolders, favoriteFolderModes);
          })
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);

    mainWindowSplitter = new QSplitter(Qt::Vertical);
    mainWindowSplitter->setObjectName("mainWindowSplitter");
    mainWindowSplitter->setFrameStyle(QFrame::StyledPanel);
    setCentralWidget(mainWindowSplitter);
    mainWindowSplitter->setFocusPolicy(Qt::StrongFocus);

    showBitmaps = false;
    showRawMRIData = false;
    showCXFiles = true;

    // The views are made with the core's interfaces, so the core comes first.
    if (!initCXSCore()) {
        QMessageBox::information(this, "CX Viewer", "Error - can not access CXSCore",
                                 QMessageBox::Ok);
        std::exit(1);
    }

    coverStore = new CoverStore(this);
    coverFlowBrowser = new CoverFlowBrowser(coverStore, this);
    thumbnails = new FolderThumbnails(
        coverStore, [this] { return coverFlowBrowser->getSelectedImageIndex(); }, this);
    mainWindowSplitter->addWidget(coverFlowBrowser);

    imageViewer = new ImageOGLViewer;
    meshViewer = new MeshOGLViewer;
    volumeViewer = new VolumeOGLViewer;
    rawMRIDataViewer = new RawMRIDataOGLViewer;

    viewStack = new QStackedWidget;
    viewStack->addWidget(imageViewer);
    viewStack->addWidget(meshViewer);
    viewStack->addWidget(volumeViewer);
    viewStack->addWidget(rawMRIDataViewer);
    viewStack->setCurrentIndex(0);
    mainWindowSplitter->addWidget(viewStack);
    mainWindowSplitter->setHandleWidth(3);
    mainWindowSplitter->setStretchFactor(0, 1);
    mainWindowSplitter->setStretchFactor(1, 4);
    mainWindowSplitter->setSizes({100, 400});

    setUnifiedTitleAndToolBarOnMac(true);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(28, 28));
    setStyleSheet(windowStyleSheet);

    createActions();
    createToolBars();
    createDockWindows();
    mapSettings = new MapDisplaySettings(this);
    router = new InspectionRouter({imageViewer, meshViewer, volumeViewer, rawMRIDataViewer},
                                  propertyPanels, mapsPanel, mapSettings, this);
    connect(router, &InspectionRouter::viewChosen, viewStack,
            [this](OGLViewer *view) { viewStack->setCurrentWidget(view); });
    connect(coverStore, &CoverStore::cleared, router, &InspectionRouter::cancel);
    updateToolbarIcons();
    wireCoverFlow();
    wireViews();

    setWindowTitle("Cortivex Viewer");
    mainWindowSplitter->setStretchFactor(0, 1);
    mainWindowSplitter->setStretchFactor(1, 3);

    QTimer::singleShot(5000, coverFlowBrowser, &CoverFlowBrowser::hideInstruction);

    coverFlowBrowser->setFocus(Qt::OtherFocusReason);
    toggleShowCXFiles();
    inputKind = 0;
    qApp->installEventFilter(this);
}

CortivexViewer::~CortivexViewer()
{
    qApp->removeEventFilter(this);
    saveFavoriteFoldersList();
    thumbnails->leave();
    releaseCXSCore();
}

void CortivexViewer::initDataFolders(const QString &applicationDir)
{
    QDir base(applicationDir);
    // Inside a macOS bundle the data sit next to Name.app, not in Contents/MacOS.
    if (applicationDir.endsWith(".app/Contents/MacOS")) {
        base.cdUp();
        base.cdUp();
        base.cdUp();
    }
    viewerBaseDir = base.absolutePath();
    viewerDataDir = combinePathAndFileName(viewerBaseDir, "ViewerData");
    folderDataDir = combinePathAndFileName(viewerBaseDir, "CXViewerFolderData");
    // Installed in a prefix (bin/ beside share/), the program's folder is no place
    // for data, even where it can be written (by root, or in the user's own prefix).
    const bool installed = base.dirName() == "bin" && QFileInfo(base.filePath("../share")).isDir();
    if (!installed && !QDir(folderDataDir).exists())
        QDir().mkdir(folderDataDir);
    if (installed || !QFileInfo(folderDataDir).isDir() || !QFileInfo(folderDataDir).isWritable()) {
        // A read-only or installed location: keep the data with the user instead.
        const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        folderDataDir = combinePathAndFileName(userData, "CXViewerFolderData");
        QDir().mkpath(folderDataDir);
    }
}

bool CortivexViewer::initCXSCore()
{
    const QObjectList instances = QPluginLoader::staticInstances();
    if (instances.size() != 1)
        return false;
    cxsCore = instances.first();
    return true;
}

void CortivexViewer::releaseCXSCore()
{
    delete cxsCore;
    cxsCore = nullptr;
}

void CortivexViewer::createActions()
{
    showImagesAct = new QAction(QIcon(":/resources/images_icon_32x32.png"), tr("Images"), this);
    showImagesAct->setStatusTip(tr("Show images"));
    showImagesAct->setCheckable(true);
    connect(showImagesAct, &QAction::triggered, this, &CortivexViewer::toggleShowBitmaps);

    showRawMRIDataAct =
        new QAction(QIcon(":/resources/rawdata_icon_32x32.png"), tr("MRI Data"), this);
    showRawMRIDataAct->setStatusTip(tr("Show raw MRI data files"));
    showRawMRIDataAct->setCheckable(true);
    connect(showRawMRIDataAct, &QAction::triggered, this, &CortivexViewer::toggleShowRawMRIData);

    showCXFilesAct = new QAction(QIcon(":/resources/cxdata_icon_32x32.png"), tr("CX Data"), this);
    showCXFilesAct->setStatusTip(tr("Show Cortivex data"));
    showCXFilesAct->setCheckable(true);
    connect(showCXFilesAct, &QAction::triggered, this, &CortivexViewer::toggleShowCXFiles);

    loadInCXSAct = new QAction(QIcon(":/resources/cxs_icon_32x32.png"), tr("Load in CX"), this);
    loadInCXSAct->setStatusTip(tr("Load in Cortivex Studio"));
    connect(loadInCXSAct, &QAction::triggered, this, &CortivexViewer::loadFileIntoCXS);

    fullScreenAct = new QAction(QIcon(":/resources/Fullscreen3_48.png"), "Full Screen", this);
    fullScreenAct->setIconText("Full Screen");
    fullScreenAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(fullScreenAct, &QAction::triggered, this, &CortivexViewer::slotToggleFullScreen);
}

void CortivexViewer::createToolBars()
{
    viewModeToolBar = addToolBar(tr("View Mode Toolbar"));
    viewModeToolBar->addAction(showCXFilesAct);
    viewModeToolBar->addAction(showRawMRIDataAct);
    viewModeToolBar->addAction(showImagesAct);
    viewModeToolBar->addSeparator();
    viewModeToolBar->addAction(loadInCXSAct);
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    viewModeToolBar->addWidget(spacer);
    viewModeToolBar->addAction(fullScreenAct);
    viewModeToolBar->setAllowedAreas(Qt::TopToolBarArea);
    viewModeToolBar->setFloatable(false);
    viewModeToolBar->setMovable(false);
    viewModeToolBar->setContentsMargins(0, 0, 0, 0);
}

void CortivexViewer::updateToolbarIcons()
{
    showImagesAct->setChecked(showBitmaps);
    showRawMRIDataAct->setChecked(showRawMRIData);
    showCXFilesAct->setChecked(showCXFiles);
}

void CortivexViewer::createDockWindows()
{
    favoriteFoldersDock = new QDockWidget(tr("Favorite Folders"), this);
    favoriteFoldersDock->setFocusPolicy(Qt::StrongFocus);
    favoriteFoldersDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    favoriteFoldersLsWdg = new QListWidget(favoriteFoldersDock);
    favoriteFoldersLsWdg->setObjectName("FavoriteFoldersLsWdg");
    favoriteFoldersLsWdg->setAttribute(Qt::WA_MacShowFocusRect, false);
    favoriteFoldersLsWdg->setFocusPolicy(Qt::StrongFocus);
    favoriteFoldersLsWdg->installEventFilter(this);
    favoriteFoldersLsWdg->setSelectionMode(QAbstractItemView::SingleSelection);
    favoriteFoldersLsWdg->setDragEnabled(true);
    favoriteFoldersLsWdg->setAcceptDrops(true);
    favoriteFoldersLsWdg->setDropIndicatorShown(true);
    favoriteFoldersLsWdg->setDragDropMode(QAbstractItemView::InternalMove);
    favoriteFoldersDock->setWidget(favoriteFoldersLsWdg);
    addDockWidget(Qt::LeftDockWidgetArea, favoriteFoldersDock);
    connect(favoriteFoldersLsWdg, &QListWidget::itemClicked, this,
            &CortivexViewer::clickedFavoriteFolder);
    // Clicks and deletions address the favorites by row, so the lists follow a drag.
    connect(favoriteFoldersLsWdg->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int first, int, const QModelIndex &, int destination) {
                moveFavoriteFolder(first, destination > first ? destination - 1 : destination);
            });

    dirTreeDock = new QDockWidget(tr("Directory Tree"), this);
    dirTreeDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    fileSystemModel = new QFileSystemModel(this);
    fileSystemModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    fileSystemModel->setRootPath("/Volumes/");
    dirTreeView = new QTreeView(dirTreeDock);
    dirTreeView->setModel(fileSystemModel);
    dirTreeView->setFocusPolicy(Qt::StrongFocus);
    dirTreeView->installEventFilter(this);
    dirTreeView->setAnimated(true);
    dirTreeView->setAttribute(Qt::WA_MacShowFocusRect, false);
    dirTreeView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    dirTreeView->hideColumn(1);
    dirTreeView->hideColumn(2);
    dirTreeView->hideColumn(3);
    dirTreeView->setHeaderHidden(true);
    dirTreeView->setStyleSheet("font-size: 11pt;");
    dirTreeDock->setWidget(dirTreeView);
    addDockWidget(Qt::LeftDockWidgetArea, dirTreeDock);
    connect(dirTreeView, &QTreeView::clicked, this, &CortivexViewer::clickedFolder);
    connect(dirTreeView, &QTreeView::doubleClicked, this, &CortivexViewer::doubleClickedFolder);

    propertiesDock = new QDockWidget(tr("Properties"), this);
    propertiesDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    propertyPanels = new PropertyPanels(this);
    propertiesDock->setWidget(propertyPanels->imagePropertiesBrowser());
    addDockWidget(Qt::RightDockWidgetArea, propertiesDock);

    createMapsDock();
}

void CortivexViewer::createMapsDock()
{
    availableMapsDock = new QDockWidget(tr("Available Maps"), this);
    availableMapsDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    mapsPanel = new MapsPanel;
    availableMapsDock->setWidget(mapsPanel);
    addDockWidget(Qt::RightDockWidgetArea, availableMapsDock);
    removeDockWidget(availableMapsDock);
    availableMapsDock->hide();
}

// Signals of the strip other than the pair of the browsing mode.
void CortivexViewer::wireCoverFlow()
{
    connect(coverFlowBrowser, &CoverFlowBrowser::fullScreenRequested, this,
            &CortivexViewer::slotToggleFullScreen);
    connect(coverFlowBrowser, &CoverFlowBrowser::inputKindChanged, this,
            [this](int kind) { inputKind = kind; });
    connect(coverFlowBrowser, &CoverFlowBrowser::stripResizeRequested, this,
            &CortivexViewer::resizeStrip);
    connect(coverFlowBrowser, &CoverFlowBrowser::stripCollapseRequested, this,
            [this] { resizeStrip(-mainWindowSplitter->sizes().value(0)); });
}

// The cover strip's pane grows by delta pixels and the views' pane shrinks by as much.
void CortivexViewer::resizeStrip(int delta)
{
    QList<int> sizes = mainWindowSplitter->sizes();
    if (sizes.size() < 2)
        return;
    sizes[0] += delta;
    sizes[1] -= delta;
    mainWindowSplitter->setSizes(sizes);
}

void CortivexViewer::wireViews()
{
    const QList<OGLViewer *> views = {imageViewer, meshViewer, volumeViewer, rawMRIDataViewer};
    for (OGLViewer *view : views) {
        connect(view, &OGLViewer::coverFlowKeyPressed, this, [this](int key) {
            QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
            forwardKeyToCoverFlow(&event);
        });
        connect(view, &OGLViewer::coverFlowSwiped, coverFlowBrowser, &CoverFlowBrowser::swipeStep);
        connect(view, &OGLViewer::inputKindChanged, this, [this](int kind) { inputKind = kind; });
        if (view != meshViewer)
            connect(view, &OGLViewer::thumbnailOffered, thumbnails, &FolderThumbnails::offerImage);
    }
    connect(meshViewer, &OGLViewer::thumbnailOffered, thumbnails,
            &FolderThumbnails::offerRenderedView);

    connect(imageViewer, &ImageOGLViewer::imageMeasured, coverStore, &CoverStore::setImageSize);
    connect(imageViewer, &ImageOGLViewer::imageMeasured, propertyPanels,
            [this](int, int width, int height) {
                propertyPanels->updateImageDimsProperties(width, height);
            });
    connect(volumeViewer, &VolumeOGLViewer::crossMoved, propertyPanels,
            &PropertyPanels::updateCrossCoords);
    connect(meshViewer, &MeshOGLViewer::touchFontSizeRequested, this,
            &CortivexViewer::adjustFontSizeForTouchScreen);
}

void CortivexViewer::closeEvent(QCloseEvent *event)
{
    event->accept();
}

void CortivexViewer::slotToggleFullScreen()
{
    fullScreen = !fullScreen;
    QWidget *const hideable[] = {viewModeToolBar, dirTreeDock, favoriteFoldersDock, propertiesDock,
                                 availableMapsDock};
    bool *const wasVisible[] = {&toolBarWasVisible, &dirTreeDockWasVisible,
                                &favoriteFoldersDockWasVisible, &propertiesDockWasVisible,
                                &availableMapsDockWasVisible};
    coverFlowBrowser->setFullScreen(fullScreen);
    if (fullScreen) {
        for (int i = 0; i < 5; ++i)
            *wasVisible[i] = hideable[i]->isVisible();
        setUnifiedTitleAndToolBarOnMac(false);
        for (QWidget *widget : hideable)
            widget->hide();
        menuBar()->hide();
        showFullScreen();
    } else {
        menuBar()->show();
        setUnifiedTitleAndToolBarOnMac(true);
        for (int i = 0; i < 5; ++i)
            if (*wasVisible[i])
                hideable[i]->show();
        showNormal();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
}

void CortivexViewer::adjustFontSizeForTouchScreen(float points)
{
    const QString sheet = QString("font-size: %1pt;").arg(double(points), 0, 'g', 6);
    favoriteFoldersLsWdg->setStyleSheet(sheet);
    dirTreeView->setStyleSheet(sheet);
    mapsPanel->mapFileList()->setStyleSheet(sheet);
    mapsPanel->subMapList()->setStyleSheet(sheet);
}

void CortivexViewer::forwardKeyToCoverFlow(QKeyEvent *event)
{
    coverFlowBrowser->keyPressEvent(event);
}

bool CortivexViewer::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched);
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    const int key = keyEvent->key();
    const bool ctrl = keyEvent->modifiers() & Qt::ControlModifier;
    const bool shift = keyEvent->modifiers() & Qt::ShiftModifier;

    if (key == Qt::Key_Escape) {
        if (!fullScreen)
            return false;
        slotToggleFullScreen();
        return true;
    }
    if (key == Qt::Key_F && !ctrl) {
        float points = float(QApplication::font().pointSizeF());
        if (points < 4.0f)
            points = 8.25f;
        adjustFontSizeForTouchScreen(points);
        return true;
    }
    if (key == Qt::Key_F) {
        if (!fullScreen)
            return false;
        slotToggleFullScreen();
        return true;
    }
    if (favoriteFoldersLsWdg->hasFocus()) {
        const int row = favoriteFoldersLsWdg->currentRow();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            if (row < 0)
                return false;
            if (row < favoriteFolders.size())
                favoriteFolders.removeAt(row);
            if (row < favoriteFolderModes.size())
                favoriteFolderModes.removeAt(row);
            fillFavoriteFoldersLsWdg();
            return true;
        }
        if (key == Qt::Key_Return) {
            if (row < 0)
                return false;
            clickedFavoriteFolder(favoriteFoldersLsWdg->currentItem());
            return true;
        }
        if (shift && OGLViewer::isStepKey(key)) {
            forwardKeyToCoverFlow(keyEvent);
            return true;
        }
        return false;
    }
    if (dirTreeView->hasFocus()) {
        if (key == Qt::Key_Return) {
            clickedFolder(dirTreeView->currentIndex());
            return true;
        }
        if (shift && OGLViewer::isStepKey(key)) {
            forwardKeyToCoverFlow(keyEvent);
            return true;
        }
    }
    return false;
}

void CortivexViewer::loadFileIntoCXS() {}

// Favorite and visited folders

void CortivexViewer::loadFavoriteFoldersList()
{
    favoriteFolders.clear();
    favoriteFolderModes.clear();
    if (!favoritesFile.load(combinePathAndFileName(folderDataDir, "FavoriteFolders.cxf"))) {
        favoriteFolders.append(viewerDataDir);
        favoriteFolderModes.append(1);
    }
}

// Written only when the list changed; an empty list is written too, so that
// removing every favorite lasts.
void CortivexViewer::saveFavoriteFoldersList()
{
    favoritesFile.save();
}

void CortivexViewer::moveFavoriteFolder(int from, int to)
{
    if (from < 0 || from >= favoriteFolders.size() || to < 0 || to >= favoriteFolders.size())
        return;
    favoriteFolders.move(from, to);
    if (from < favoriteFolderModes.size() && to < favoriteFolderModes.size())
        favoriteFolderModes.move(from, to);
}

void CortivexViewer::fillFavoriteFoldersLsWdg()
{
    favoriteFoldersLsWdg->clear();
    for (const QString &folder : std::as_const(favoriteFolders)) {
        QString path = folder;
        if (path.endsWith('/'))
            path.chop(1);
        auto *item = new QListWidgetItem(getFileNameFromFullFileName(path));
        item->setToolTip(folder);
        item->setIcon(fileSystemModel->fileIcon(fileSystemModel->index(path)));
        favoriteFoldersLsWdg->addItem(item);
    }
}

void CortivexViewer::loadVisitedFoldersToThumbnailFilesMaps()
{
    thumbnails->loadIndex(folderDataDir);
}

void CortivexViewer::clickedFavoriteFolder(QListWidgetItem *item)
{
    Q_UNUSED(item);
    const int row = favoriteFoldersLsWdg->currentRow();
    const bool listed = row >= 0 && row < favoriteFolders.size();
    openFolder(listed ? favoriteFolders[row] : QString(), favoriteFolderModes.value(row, 3));
}

void CortivexViewer::openFolder(const QString &path, int mode)
{
    showBusyCursor();
    thumbnails->leave();
    if (!QFileInfo(path).isDir()) {
        hideBusyCursor();
        return;
    }
    currentFolderPath = path;
    currentDir = QDir(path);
    QDir::setCurrent(path);
    switchBrowsingMode(mode == 1 || mode == 2 ? mode : 3);

    const QModelIndex index = fileSystemModel->index(path);
    dirTreeView->expand(index);
    dirTreeView->scrollTo(index, QAbstractItemView::PositionAtCenter);
    dirTreeView->setCurrentIndex(index);
    dirTreeView->resizeColumnToContents(0);
    thumbnails->enter(currentFolderPath, browsingModeOfNumber(browsingModeNumber()));
    hideBusyCursor();
}

void CortivexViewer::clickedFolder(const QModelIndex &index)
{
    showBusyCursor();
    thumbnails->leave();
    coverFlowBrowser->clearCoverStore();
    const QString path = fileSystemModel->filePath(index);
    if (!QFileInfo(path).isDir()) {
        hideBusyCursor();
        return;
    }
    currentFolderPath = path;
    currentDir = QDir(path);
    QDir::setCurrent(path);
    analyzeCurrentFolder();
    thumbnails->enter(currentFolderPath, browsingModeOfNumber(browsingModeNumber()));
    hideBusyCursor();
}

void CortivexViewer::doubleClickedFolder(const QModelIndex &index)
{
    const QString path = fileSystemModel->filePath(index);
    if (favoriteFolders.contains(path))
        return;
    favoriteFolders.append(path);
    favoriteFolderModes.append(browsingModeNumber());
    fillFavoriteFoldersLsWdg();
}

void CortivexViewer::autoSelectFirstFavFolder()
{
    if (favoriteFoldersLsWdg->count() < 1)
        return;
    // An installed viewer has no sample folder beside it: rather than on an empty
    // strip, it starts on the user's home, in the mode of the favorite it stands for.
    if (favoriteFolders.value(0) == viewerDataDir && !QFileInfo(viewerDataDir).isDir()) {
        openFolder(QDir::homePath(), favoriteFolderModes.value(0, 1));
        return;
    }
    favoriteFoldersLsWdg->setCurrentRow(0);
    clickedFavoriteFolder(favoriteFoldersLsWdg->item(0));
}

// Browsing modes

int CortivexViewer::browsingModeNumber() const
{
    return showBitmaps ? 1 : showRawMRIData ? 2 : 3;
}

void CortivexViewer::connectCoverFlowSignals(bool connectThem)
{
    CoverFlowBrowser *cf = coverFlowBrowser;
    if (!connectThem) {
        disconnect(cf, &CoverFlowBrowser::currentItemChanged, nullptr, nullptr);
        disconnect(cf, &CoverFlowBrowser::currentCXItemChanged, nullptr, nullptr);
        disconnect(cf, &CoverFlowBrowser::currentRawMRIItemChanged, nullptr, nullptr);
        disconnect(cf, &CoverFlowBrowser::imageForInspectionChanged, nullptr, nullptr);
        disconnect(cf, &CoverFlowBrowser::CXFileForInspectionChanged, nullptr, nullptr);
        disconnect(cf, &CoverFlowBrowser::rawMRIFileForInspectionChanged, nullptr, nullptr);
        return;
    }
    if (showBitmaps) {
        connect(cf, &CoverFlowBrowser::currentItemChanged, propertyPanels,
                &PropertyPanels::updateImageFileProperties);
        connect(cf, &CoverFlowBrowser::imageForInspectionChanged, router,
                &InspectionRouter::inspect);
    } else if (showRawMRIData) {
        connect(cf, &CoverFlowBrowser::currentRawMRIItemChanged, propertyPanels,
                &PropertyPanels::updateRawMRIFileProperties);
        connect(cf, &CoverFlowBrowser::rawMRIFileForInspectionChanged, router,
                &InspectionRouter::inspect);
    } else {
        connect(cf, &CoverFlowBrowser::currentCXItemChanged, propertyPanels,
                &PropertyPanels::updateCXFileProperties);
        connect(cf, &CoverFlowBrowser::CXFileForInspectionChanged, router,
                &InspectionRouter::inspect);
    }
}

void CortivexViewer::switchToShowBitmaps()
{
    switchBrowsingMode(1);
}

void CortivexViewer::switchToShowRawMRIData()
{
    switchBrowsingMode(2);
}

void CortivexViewer::switchToShowCXFiles()
{
    switchBrowsingMode(3);
}

void CortivexViewer::switchBrowsingMode(int mode)
{
    coverFlowBrowser->clearCoverStore();
    coverFlowBrowser->repaint();
    connectCoverFlowSignals(false);
    showBitmaps = mode == 1;
    showRawMRIData = mode == 2;
    showCXFiles = mode == 3;
    router->releaseOtherModes(browsingModeOfNumber(mode));
    updateToolbarIcons();
    viewStack->setCurrentIndex(showBitmaps ? 0 : showRawMRIData ? 3 : 1);
    propertiesDock->setWidget(showBitmaps      ? propertyPanels->imagePropertiesBrowser()
                              : showRawMRIData ? propertyPanels->rawMRIPropertiesBrowser()
                                               : propertyPanels->cxPropertiesBrowser());
    coverFlowBrowser->setBrowsingMode(browsingModeOfNumber(mode));
    connectCoverFlowSignals(true);
    coverFlowBrowser->drawCoverFrames = !showBitmaps;
    if (showCXFiles) {
        addDockWidget(Qt::RightDockWidgetArea, availableMapsDock);
        availableMapsDock->show();
    } else {
        removeDockWidget(availableMapsDock);
        availableMapsDock->hide();
    }
    showBusyCursor();
    analyzeCurrentFolder();
    hideBusyCursor();
}

void CortivexViewer::toggleShowBitmaps()
{
    toggleBrowsingMode(1);
}

void CortivexViewer::toggleShowRawMRIData()
{
    toggleBrowsingMode(2);
}

void CortivexViewer::toggleShowCXFiles()
{
    toggleBrowsingMode(3);
}

// A toggle runs in full also for the active mode: the folder is listed again.
void CortivexViewer::toggleBrowsingMode(int mode)
{
    showBusyCursor();
    // The covers still belong to the mode being left.
    thumbnails->leave();
    switchBrowsingMode(mode);
    thumbnails->enter(currentFolderPath, browsingModeOfNumber(mode));
    hideBusyCursor();
}

void CortivexViewer::analyzeCurrentFolder()
{
    propertyPanels->updateImageFileProperties(-1, "", 0, 0, 1);
    const QStringList patterns =
        FileTypes::modeNameFilters(browsingModeOfNumber(browsingModeNumber()));
    currentDir.setFilter(QDir::Files | QDir::NoSymLinks);
    currentDir.setSorting(QDir::Name | QDir::IgnoreCase);
    currentDir.setNameFilters(patterns);
    const QFileInfoList entries = currentDir.entryInfoList();
    for (const QFileInfo &entry : entries)
        coverFlowBrowser->addEmptyCover(entry.absoluteFilePath());
    coverFlowBrowser->setCurrentCoverIndex(0);
    coverFlowBrowser->repaint();
    coverFlowBrowser->emitCurrentItemChangedForInspection();
}

int CortivexViewer::fittingBrowsingMode(const QString &folder) const
{
    const QString path = QDir::cleanPath(folder);
    for (int i = 0; i < favoriteFolders.size(); ++i)
        if (QDir::cleanPath(favoriteFolders[i]) == path)
            return favoriteFolderModes.value(i, 3);
    QDir dir(path);
    dir.setFilter(QDir::Files | QDir::NoSymLinks);
    bool dicom = false;
    for (const QString &name : dir.entryList()) {
        const FileTypes::Kind kind = FileTypes::kindOf(name);
        if (kind == FileTypes::Volume || kind == FileTypes::Mesh)
            return 3;
        dicom = dicom || kind == FileTypes::Dicom;
    }
    return dicom ? 2 : 1;
}

bool CortivexViewer::inspectCover(const QString &fileName)
{
    const QString wanted = QFileInfo(fileName).canonicalFilePath();
    for (int i = 0; i < coverStore->count(); ++i) {
        if (QFileInfo(coverStore->fileName(i)).canonicalFilePath() != wanted)
            continue;
        // The folder's first cover was inspected when it was listed.
        if (i != coverFlowBrowser->getSelectedImageIndex()) {
            coverFlowBrowser->setCurrentCoverIndex(i);
            coverFlowBrowser->repaint();
            coverFlowBrowser->emitCurrentItemChangedForInspection();
        }
        return true;
    }
    return false;
}

void CortivexViewer::openPaths(const QStringList &paths)
{
    // The volume or mesh opened last, whose maps a map file given next belongs to.
    FileTypes::Kind inspected = FileTypes::Unknown;
    // Relative paths are taken before a folder is opened, which makes it the working directory.
    QList<QFileInfo> infos;
    for (const QString &path : paths)
        infos << QFileInfo(QFileInfo(path).absoluteFilePath());
    for (const QFileInfo &info : std::as_const(infos)) {
        if (info.isDir()) {
            openFolder(info.absoluteFilePath(), fittingBrowsingMode(info.absoluteFilePath()));
            inspected = FileTypes::Unknown;
            continue;
        }
        if (!info.isFile())
            continue;
        const FileTypes::Kind kind = FileTypes::kindOf(info.fileName());
        const bool mapsOfInspected =
            (kind == FileTypes::VolumeMaps && inspected == FileTypes::Volume) ||
            (kind == FileTypes::SurfaceMaps && inspected == FileTypes::Mesh);
        const bool sameFolder =
            info.dir().canonicalPath() == QDir(currentFolderPath).canonicalPath();
        // The maps of a volume or mesh are offered once it is shown.
        router->waitForDocument();
        if (mapsOfInspected && sameFolder) {
            mapsPanel->chooseMapFile(info.fileName());
            continue;
        }
        // A NIfTI statistics file after a volume it fits is listed as one of its maps.
        if (kind == FileTypes::Volume && inspected == FileTypes::Volume && sameFolder &&
            mapsPanel->chooseMapFile(info.fileName()))
            continue;
        const std::optional<BrowsingMode> mode = FileTypes::browsingMode(kind);
        openFolder(info.absolutePath(),
                   mode ? ::browsingModeNumber(*mode) : fittingBrowsingMode(info.absolutePath()));
        inspected = inspectCover(info.absoluteFilePath()) ? kind : FileTypes::Unknown;
    }
}

namespace {

// The local files and folders of a drag, if it carries any.
QStringList localPaths(const QMimeData *data)
{
    QStringList paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

void CortivexViewer::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CortivexViewer::dropEvent(QDropEvent *event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    openPaths(paths);
}
