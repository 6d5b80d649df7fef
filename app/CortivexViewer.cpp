#include "CortivexViewer.h"

#include "ClustersPanel.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DataFolders.h"
#include "DicomSeriesLister.h"
#include "FileHelpers.h"
#include "FileTypes.h"
#include "FolderBrowser.h"
#include "FolderThumbnails.h"
#include "ImageOGLViewer.h"
#include "MapDisplaySettings.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "PropertyPanels.h"
#include "RawMRIDataOGLViewer.h"
#include "VolumeOGLViewer.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QDropEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPluginLoader>
#include <QSplitter>
#include <QStackedWidget>
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

CortivexViewer::CortivexViewer()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);

    splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("mainWindowSplitter");
    splitter->setFrameStyle(QFrame::StyledPanel);
    setCentralWidget(splitter);
    splitter->setFocusPolicy(Qt::StrongFocus);

    // The one static plug-in instance is the core, which comes before the views.
    const QObjectList instances = QPluginLoader::staticInstances();
    if (instances.size() != 1) {
        QMessageBox::information(this, "CX Viewer", "Error - can not access CXSCore",
                                 QMessageBox::Ok);
        std::exit(1);
    }
    cxsCore.reset(instances.first());
    createViews();

    setUnifiedTitleAndToolBarOnMac(true);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(28, 28));
    setStyleSheet(windowStyleSheet);

    folders = new FolderBrowser(this);
    thumbnails = new FolderThumbnails(
        coverStore, [this] { return coverFlowBrowser->getSelectedImageIndex(); }, this);
    propertyPanels = new PropertyPanels(this);
    mapsPanel = new MapsPanel;
    clustersPanel = new ClustersPanel;
    router = new DocumentRouter(views, propertyPanels, mapsPanel, new MapDisplaySettings(this),
                                clustersPanel, this);
    seriesLister = new DicomSeriesLister(this);
    createActions();
    createToolBar();
    createDockWindows();
    wireCoverFlow();
    wireViews();
    wireFolders();
    wireReadings();

    setWindowTitle("Cortivex Viewer");
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    QTimer::singleShot(5000, coverFlowBrowser, &CoverFlowBrowser::hideInstruction);
    coverFlowBrowser->setFocus(Qt::OtherFocusReason);
    // No folder is chosen yet: the working directory is listed.
    setBrowsingMode(BrowsingMode::CXData);
    qApp->installEventFilter(this);
}

CortivexViewer::~CortivexViewer()
{
    qApp->removeEventFilter(this);
    folders->saveFavorites();
    thumbnails->leave();
}

void CortivexViewer::openDataFolders(const QString &applicationDir)
{
    const DataFolders data = DataFolders::forProgramIn(applicationDir);
    folders->loadFavorites(combinePathAndFileName(data.folderData, "FavoriteFolders.cxf"),
                           data.viewerData);
    thumbnails->loadIndex(data.folderData);
}

// The strip above the stack of views: image, mesh, volume, raw MRI data.
void CortivexViewer::createViews()
{
    coverStore = new CoverStore(this);
    coverFlowBrowser = new CoverFlowBrowser(coverStore, this);
    splitter->addWidget(coverFlowBrowser);
    views = {new ImageOGLViewer, new MeshOGLViewer, new VolumeOGLViewer, new RawMRIDataOGLViewer};
    viewStack = new QStackedWidget;
    for (OGLViewer *view : QList<OGLViewer *>{views.image, views.mesh, views.volume, views.rawMRI})
        viewStack->addWidget(view);
    splitter->addWidget(viewStack);
    splitter->setHandleWidth(3);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 4);
    splitter->setSizes({100, 400});
}

// The modes in the order of their numbers: their buttons, views and panels. The
// mesh view stands for CX data until a volume is shown.
void CortivexViewer::createActions()
{
    const struct
    {
        BrowsingMode mode;
        const char *icon, *text, *tip;
        OGLViewer *view;
        QWidget *properties;
    } modes[] = {
        {BrowsingMode::Images, ":/resources/images_icon_32x32.png", "Images", "Show images",
         views.image, propertyPanels->imagePropertiesBrowser()},
        {BrowsingMode::RawMRI, ":/resources/rawdata_icon_32x32.png", "MRI Data",
         "Show raw MRI data files", views.rawMRI, propertyPanels->rawMRIPropertiesBrowser()},
        {BrowsingMode::CXData, ":/resources/cxdata_icon_32x32.png", "CX Data", "Show Cortivex data",
         views.mesh, propertyPanels->cxPropertiesBrowser()},
    };
    for (const auto &m : modes) {
        auto *action = new QAction(QIcon(m.icon), tr(m.text), this);
        action->setStatusTip(tr(m.tip));
        action->setCheckable(true);
        const BrowsingMode shown = m.mode;
        connect(action, &QAction::triggered, this, [this, shown] { setBrowsingMode(shown); });
        modeParts.append({action, m.view, m.properties});
    }
    // Loading into the suite does nothing in the viewer.
    loadInCXSAct = new QAction(QIcon(":/resources/cxs_icon_32x32.png"), tr("Load in CX"), this);
    loadInCXSAct->setStatusTip(tr("Load in Cortivex Studio"));
    fullScreenAct = new QAction(QIcon(":/resources/Fullscreen3_48.png"), "Full Screen", this);
    fullScreenAct->setIconText("Full Screen");
    fullScreenAct->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(fullScreenAct, &QAction::triggered, this, &CortivexViewer::toggleFullScreen);
}

void CortivexViewer::createToolBar()
{
    toolBar = addToolBar(tr("View Mode Toolbar"));
    for (BrowsingMode m : {BrowsingMode::CXData, BrowsingMode::RawMRI, BrowsingMode::Images})
        toolBar->addAction(partsOf(m).action);
    toolBar->addSeparator();
    toolBar->addAction(loadInCXSAct);
    auto *spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    toolBar->addWidget(spacer);
    toolBar->addAction(fullScreenAct);
    toolBar->setAllowedAreas(Qt::TopToolBarArea);
    toolBar->setFloatable(false);
    toolBar->setMovable(false);
    toolBar->setContentsMargins(0, 0, 0, 0);
}

QDockWidget *CortivexViewer::addDock(const QString &title, QWidget *widget, Qt::DockWidgetArea area)
{
    auto *dock = new QDockWidget(title, this);
    dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock->setWidget(widget);
    addDockWidget(area, dock);
    return dock;
}

// The maps and clusters docks are in the window in CX data mode only.
void CortivexViewer::createDockWindows()
{
    favoriteFoldersDock =
        addDock(tr("Favorite Folders"), folders->favoritesList(), Qt::LeftDockWidgetArea);
    favoriteFoldersDock->setFocusPolicy(Qt::StrongFocus);
    dirTreeDock = addDock(tr("Directory Tree"), folders->directoryTree(), Qt::LeftDockWidgetArea);
    propertiesDock = addDock(tr("Properties"), propertyPanels->imagePropertiesBrowser(),
                             Qt::RightDockWidgetArea);
    availableMapsDock = addDock(tr("Available Maps"), mapsPanel, Qt::RightDockWidgetArea);
    clustersDock = addDock(tr("Clusters"), clustersPanel, Qt::RightDockWidgetArea);
    for (QDockWidget *dock : {availableMapsDock, clustersDock}) {
        removeDockWidget(dock);
        dock->hide();
    }
}

// Signals of the strip other than the pair of the browsing mode.
void CortivexViewer::wireCoverFlow()
{
    connect(coverFlowBrowser, &CoverFlowBrowser::fullScreenRequested, this,
            &CortivexViewer::toggleFullScreen);
    connect(coverFlowBrowser, &CoverFlowBrowser::inputKindChanged, this,
            [this](int kind) { lastInputKind = kind; });
    connect(coverFlowBrowser, &CoverFlowBrowser::stripResizeRequested, this,
            &CortivexViewer::resizeStrip);
    connect(coverFlowBrowser, &CoverFlowBrowser::stripCollapseRequested, this,
            [this] { resizeStrip(-splitter->sizes().value(0)); });
    connect(coverStore, &CoverStore::cleared, router, &DocumentRouter::cancel);
    connect(coverStore, &CoverStore::cleared, seriesLister, &DicomSeriesLister::cancel);
    connect(seriesLister, &DicomSeriesLister::listed, this,
            [this](const QString &, const QStringList &covers) { addSeriesCovers(covers); });
}

// The cover strip's pane grows by delta pixels and the views' pane shrinks by as much.
void CortivexViewer::resizeStrip(int delta)
{
    QList<int> sizes = splitter->sizes();
    if (sizes.size() < 2)
        return;
    sizes[0] += delta;
    sizes[1] -= delta;
    splitter->setSizes(sizes);
}

void CortivexViewer::wireViews()
{
    for (int i = 0; i < viewStack->count(); ++i) {
        auto *view = static_cast<OGLViewer *>(viewStack->widget(i));
        connect(view, &OGLViewer::coverFlowKeyPressed, coverFlowBrowser, [this](int key) {
            QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
            coverFlowBrowser->keyPressEvent(&event);
        });
        connect(view, &OGLViewer::coverFlowSwiped, coverFlowBrowser, &CoverFlowBrowser::swipeStep);
        connect(view, &OGLViewer::inputKindChanged, this,
                [this](int kind) { lastInputKind = kind; });
        if (view != views.mesh)
            connect(view, &OGLViewer::thumbnailOffered, thumbnails, &FolderThumbnails::offerImage);
    }
    connect(views.mesh, &OGLViewer::thumbnailOffered, thumbnails,
            &FolderThumbnails::offerRenderedView);
    connect(router, &DocumentRouter::viewChosen, viewStack, &QStackedWidget::setCurrentWidget);
    connect(views.image, &ImageOGLViewer::imageMeasured, coverStore, &CoverStore::setImageSize);
    connect(views.image, &ImageOGLViewer::imageMeasured, propertyPanels,
            [this](int, int width, int height) {
                propertyPanels->updateImageDimsProperties(width, height);
            });
    connect(views.volume, &VolumeOGLViewer::crossMoved, propertyPanels,
            &PropertyPanels::updateCrossCoords);
    connect(views.rawMRI, &RawMRIDataOGLViewer::frameShown, propertyPanels,
            &PropertyPanels::updateDicomFrame);
    connect(views.mesh, &MeshOGLViewer::touchFontSizeRequested, this,
            &CortivexViewer::adjustFontSizeForTouchScreen);
}

void CortivexViewer::wireFolders()
{
    connect(folders, &FolderBrowser::folderChosen, this, &CortivexViewer::openFolder);
}

// A row of the cluster table takes the cross to its peak; a vertex picked in the
// mesh view is shown in the mesh panel.
void CortivexViewer::wireReadings()
{
    connect(clustersPanel, &ClustersPanel::peakChosen, views.volume,
            &VolumeOGLViewer::setCrossPosition);
    connect(views.mesh, &MeshOGLViewer::vertexPicked, propertyPanels,
            [this](int vertex) { propertyPanels->showPickedVertex(views.mesh->mesh(), vertex); });
}

void CortivexViewer::toggleFullScreen()
{
    fullScreen = !fullScreen;
    coverFlowBrowser->setFullScreen(fullScreen);
    const QList<QWidget *> hideable = {toolBar,        dirTreeDock,       favoriteFoldersDock,
                                       propertiesDock, availableMapsDock, clustersDock};
    if (fullScreen) {
        hiddenByFullScreen.clear();
        setUnifiedTitleAndToolBarOnMac(false);
        for (QWidget *widget : hideable) {
            if (widget->isVisible())
                hiddenByFullScreen << widget;
            widget->hide();
        }
        menuBar()->hide();
        showFullScreen();
        return;
    }
    menuBar()->show();
    setUnifiedTitleAndToolBarOnMac(true);
    for (QWidget *widget : std::as_const(hiddenByFullScreen))
        widget->show();
    showNormal();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void CortivexViewer::adjustFontSizeForTouchScreen(float points)
{
    const QString sheet = QString("font-size: %1pt;").arg(double(points), 0, 'g', 6);
    for (QWidget *list : QList<QWidget *>{folders->favoritesList(), folders->directoryTree(),
                                          mapsPanel->mapFileList(), mapsPanel->subMapList()})
        list->setStyleSheet(sheet);
}

// Sees every event of the application. The size of the stack of views, which
// the mesh view has whenever it is shown, goes to the thumbnails, whose meshes
// are drawn at it. Of the key presses, Escape and Ctrl+F leave full screen, F
// sets the lists' fonts, Shift and a step key in the folder lists step the
// strip; the lists' own keys are the folder browser's.
bool CortivexViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == viewStack) {
        thumbnails->setMeshViewSize(viewStack->contentsRect().size() *
                                    viewStack->devicePixelRatioF());
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    const int key = keyEvent->key();
    if (key == Qt::Key_F && !(keyEvent->modifiers() & Qt::ControlModifier)) {
        float points = float(QApplication::font().pointSizeF());
        if (points < 4.0f)
            points = 8.25f;
        adjustFontSizeForTouchScreen(points);
        return true;
    }
    if (key == Qt::Key_Escape || key == Qt::Key_F) {
        if (!fullScreen)
            return false;
        toggleFullScreen();
        return true;
    }
    if ((keyEvent->modifiers() & Qt::ShiftModifier) && OGLViewer::isStepKey(key) &&
        folders->hasFocus()) {
        coverFlowBrowser->keyPressEvent(keyEvent);
        return true;
    }
    return false;
}

void CortivexViewer::autoSelectFirstFavFolder()
{
    folders->chooseFirstFavorite();
}

const CortivexViewer::ModeParts &CortivexViewer::partsOf(BrowsingMode browsing) const
{
    return modeParts[browsingModeNumber(browsing) - 1];
}

// Each change of the covers stores the thumbnails of those left first, under
// their folder and mode, and puts the stored ones on the new covers after.
void CortivexViewer::setBrowsingMode(BrowsingMode newMode)
{
    showBusyCursor();
    thumbnails->leave();
    switchBrowsingMode(newMode);
    thumbnails->enter(currentFolder, mode);
    hideBusyCursor();
}

// A folder that is gone changes nothing, but the strip is emptied for one chosen
// in the tree, which is listed in the mode shown.
void CortivexViewer::openFolder(const QString &path, std::optional<BrowsingMode> newMode)
{
    showBusyCursor();
    thumbnails->leave();
    if (!newMode)
        coverFlowBrowser->clearCoverStore();
    if (QFileInfo(path).isDir()) {
        currentFolder = path;
        QDir::setCurrent(path);
        if (newMode) {
            switchBrowsingMode(*newMode);
            folders->showInTree(path);
        } else {
            listCurrentFolder();
        }
        thumbnails->enter(currentFolder, mode);
    }
    hideBusyCursor();
}

void CortivexViewer::switchBrowsingMode(BrowsingMode newMode)
{
    coverFlowBrowser->clearCoverStore();
    coverFlowBrowser->repaint();
    mode = newMode;
    router->releaseOtherModes(mode);
    for (const ModeParts &parts : std::as_const(modeParts))
        parts.action->setChecked(&parts == &partsOf(mode));
    viewStack->setCurrentWidget(partsOf(mode).view);
    propertiesDock->setWidget(partsOf(mode).properties);
    coverFlowBrowser->setBrowsingMode(mode);
    connectCoverFlowSignals();
    coverFlowBrowser->drawCoverFrames = mode != BrowsingMode::Images;
    folders->setBrowsingMode(mode);
    // The clusters under the maps.
    for (QDockWidget *dock : {availableMapsDock, clustersDock}) {
        if (mode == BrowsingMode::CXData)
            addDockWidget(Qt::RightDockWidgetArea, dock);
        else
            removeDockWidget(dock);
        dock->setVisible(mode == BrowsingMode::CXData);
    }
    // Three docks share the right side: the properties keep the most of it.
    if (mode == BrowsingMode::CXData)
        resizeDocks({propertiesDock, availableMapsDock, clustersDock}, {5, 4, 3}, Qt::Vertical);
    listCurrentFolder();
}

// Only the pair of signals of the mode shown reaches the panels and the router.
void CortivexViewer::connectCoverFlowSignals()
{
    CoverFlowBrowser *cf = coverFlowBrowser;
    PropertyPanels *panels = propertyPanels;
    disconnect(cf, nullptr, panels, nullptr);
    disconnect(cf, nullptr, router, nullptr);
    switch (mode) {
    case BrowsingMode::Images:
        connect(cf, &CoverFlowBrowser::currentItemChanged, panels,
                &PropertyPanels::updateImageFileProperties);
        connect(cf, &CoverFlowBrowser::imageForInspectionChanged, router, &DocumentRouter::inspect);
        break;
    case BrowsingMode::RawMRI:
        connect(cf, &CoverFlowBrowser::currentRawMRIItemChanged, panels,
                &PropertyPanels::updateRawMRIFileProperties);
        connect(cf, &CoverFlowBrowser::rawMRIFileForInspectionChanged, router,
                &DocumentRouter::inspect);
        break;
    case BrowsingMode::CXData:
        connect(cf, &CoverFlowBrowser::currentCXItemChanged, panels,
                &PropertyPanels::updateCXFileProperties);
        connect(cf, &CoverFlowBrowser::CXFileForInspectionChanged, router,
                &DocumentRouter::inspect);
        break;
    }
}

// Every file of the mode becomes a placeholder cover, and the first is inspected.
// In CX data mode the folder's DICOM series that are volumes follow, once their
// headers are read on a worker thread.
void CortivexViewer::listCurrentFolder()
{
    propertyPanels->updateImageFileProperties(-1, "", 0, 0, 1);
    for (const QString &file : FolderBrowser::filesToShow(currentFolder, mode))
        coverFlowBrowser->addEmptyCover(file);
    coverFlowBrowser->setCurrentCoverIndex(0);
    coverFlowBrowser->repaint();
    coverFlowBrowser->emitCurrentItemChangedForInspection();
    if (mode == BrowsingMode::CXData)
        seriesLister->list(QDir(currentFolder).absolutePath());
}

// After the files' covers, with their stored thumbnails; the first is inspected
// when there were no files.
void CortivexViewer::addSeriesCovers(const QStringList &covers)
{
    if (mode != BrowsingMode::CXData || covers.isEmpty())
        return;
    const int first = coverStore->count();
    for (const QString &cover : covers)
        coverFlowBrowser->addEmptyCover(cover);
    thumbnails->coversAdded(first);
    if (first > 0) {
        coverFlowBrowser->update();
        return;
    }
    coverFlowBrowser->setCurrentCoverIndex(0);
    coverFlowBrowser->repaint();
    coverFlowBrowser->emitCurrentItemChangedForInspection();
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
            openFolder(info.absoluteFilePath(),
                       folders->fittingBrowsingMode(info.absoluteFilePath()));
            inspected = FileTypes::Unknown;
            continue;
        }
        if (!info.isFile())
            continue;
        const FileTypes::Kind fileKind = FileTypes::kindOfFile(info.absoluteFilePath());
        const bool mapsOfInspected =
            (fileKind == FileTypes::VolumeMaps && inspected == FileTypes::Volume) ||
            (fileKind == FileTypes::SurfaceMaps && inspected == FileTypes::Mesh);
        const bool sameFolder = info.dir().canonicalPath() == QDir(currentFolder).canonicalPath();
        // The maps of a volume or mesh are offered once it is shown.
        router->waitForDocument();
        if (mapsOfInspected && sameFolder) {
            mapsPanel->chooseMapFile(info.fileName());
            continue;
        }
        // A NIfTI statistics file after a volume it fits is listed as one of its maps.
        if (fileKind == FileTypes::Volume && inspected == FileTypes::Volume && sameFolder &&
            mapsPanel->chooseMapFile(info.fileName()))
            continue;
        openFolder(info.absolutePath(), FileTypes::browsingMode(fileKind).value_or(
                                            folders->fittingBrowsingMode(info.absolutePath())));
        inspected =
            coverFlowBrowser->inspectFile(info.absoluteFilePath()) ? fileKind : FileTypes::Unknown;
    }
}

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
