#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "ImageOGLViewer.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "PropertyPanels.h"
#include "QtTreePropertyBrowser.h"
#include "RawMRIDataOGLViewer.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeOGLViewer.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

namespace {

// Records the key presses that reach the object it watches.
class KeyRecorder : public QObject
{
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent *>(event)->key());
        return false;
    }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void construction();
    void dataFolders();
    void requestsReachTheWindow();
    void mapListsFollowTheView();
    void fullScreenKeys();
    void fullScreenRestoresVisibleDocksOnly();
    void plainFResetsListFonts();
    void favoritesListKeys();
    void shiftKeysStepCoverFlow();

private:
    void openCovers(const QStringList &files);

    QTemporaryDir tmp;
    CortivexViewer *viewer = nullptr;
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir(tmp.path()).mkpath("work");
    QDir(tmp.path()).mkpath("app");
    QDir::setCurrent(tmp.filePath("work"));
}

void TestMainWindow::init()
{
    viewer = new CortivexViewer;
    viewer->initDataFolders(tmp.filePath("app"));
    viewer->resize(1200, 750);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void TestMainWindow::cleanup()
{
    delete viewer;
    viewer = nullptr;
}

void TestMainWindow::construction()
{
    QCOMPARE(viewer->windowTitle(), QString("Cortivex Viewer"));
    QVERIFY(viewer->cxsCore);
    QVERIFY(viewer->showCXFiles && !viewer->showBitmaps && !viewer->showRawMRIData);
    QCOMPARE(viewer->inputKind, 0);

    // Toolbar order, texts, check states.
    QStringList texts;
    for (QAction *a : viewer->viewModeToolBar->actions())
        if (!a->isSeparator() && !a->text().isEmpty())
            texts << a->text();
    QCOMPARE(texts, QStringList({"CX Data", "MRI Data", "Images", "Load in CX", "Full Screen"}));
    QVERIFY(viewer->showCXFilesAct->isChecked());
    QVERIFY(!viewer->showImagesAct->isChecked() && !viewer->showRawMRIDataAct->isChecked());
    QVERIFY(!viewer->loadInCXSAct->isCheckable());
    QCOMPARE(viewer->fullScreenAct->shortcut(), QKeySequence("Ctrl+F"));
    QVERIFY(!viewer->viewModeToolBar->isMovable() && !viewer->viewModeToolBar->isFloatable());
    QVERIFY(!viewer->showCXFilesAct->icon().isNull());

    // Splitter with the cover flow above the four views.
    QCOMPARE(viewer->mainWindowSplitter->widget(0), viewer->coverFlowBrowser);
    QCOMPARE(viewer->mainWindowSplitter->widget(1), viewer->viewStack);
    QCOMPARE(viewer->viewStack->count(), 4);
    QCOMPARE(viewer->viewStack->currentIndex(), 1); // CX data mode shows the mesh view

    // Docks: favorites and tree on the left, properties and (in CX data mode) maps on the right.
    QCOMPARE(viewer->dockWidgetArea(viewer->favoriteFoldersDock), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->dirTreeDock), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->propertiesDock), Qt::RightDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->availableMapsDock), Qt::RightDockWidgetArea);
    QVERIFY(viewer->availableMapsDock->isVisible());
    QCOMPARE(viewer->propertiesDock->widget(), viewer->propertyPanels->cxPropertiesBrowser());
    QCOMPARE(viewer->favoriteFoldersDock->windowTitle(), QString("Favorite Folders"));
    QCOMPARE(viewer->dirTreeDock->windowTitle(), QString("Directory Tree"));
    QVERIFY(viewer->styleSheet().startsWith("QListView { background-color: #272727;"));
    QVERIFY(viewer->dirTreeView->isHeaderHidden());
    QVERIFY(viewer->dirTreeView->isColumnHidden(1) && viewer->dirTreeView->isColumnHidden(3));
}

void TestMainWindow::dataFolders()
{
    // Next to the executable, created when missing.
    QCOMPARE(viewer->viewerBaseDir, tmp.filePath("app"));
    QCOMPARE(viewer->viewerDataDir, tmp.filePath("app/ViewerData"));
    QCOMPARE(viewer->folderDataDir, tmp.filePath("app/CXViewerFolderData"));
    QVERIFY(QFileInfo(viewer->folderDataDir).isDir());

    // In a macOS bundle the data sit next to the bundle.
    QDir(tmp.path()).mkpath("Viewer.app/Contents/MacOS");
    viewer->initDataFolders(tmp.filePath("Viewer.app/Contents/MacOS"));
    QCOMPARE(viewer->viewerBaseDir, tmp.path());
    QVERIFY(QFileInfo(tmp.filePath("CXViewerFolderData")).isDir());

    // When the folder cannot be made there, the user's data folder takes it.
    QDir(tmp.path()).mkpath("readonly");
    QFile blocker(tmp.filePath("readonly/CXViewerFolderData"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    viewer->initDataFolders(tmp.filePath("readonly"));
    QCOMPARE(viewer->viewerDataDir, tmp.filePath("readonly/ViewerData"));
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(viewer->folderDataDir, userData + "/CXViewerFolderData");
    QVERIFY(QFileInfo(viewer->folderDataDir).isDir());
    viewer->initDataFolders(tmp.filePath("app"));
}

void TestMainWindow::fullScreenKeys()
{
    KeyRecorder recorder;
    viewer->coverFlowBrowser->setFocus();
    viewer->coverFlowBrowser->installEventFilter(&recorder);

    // Windowed: Escape and Ctrl+F are not consumed; Ctrl+F acts through the action.
    QTest::keyClick(viewer->coverFlowBrowser, Qt::Key_Escape);
    QCOMPARE(recorder.keys, QList<int>({Qt::Key_Escape}));
    QVERIFY(!viewer->fullScreen);
    QTest::keyClick(viewer->coverFlowBrowser, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(viewer->fullScreen);
    QTRY_VERIFY(viewer->isFullScreen());
    QVERIFY(!viewer->viewModeToolBar->isVisible());

    // Full screen: Ctrl+F and Escape leave it and are consumed.
    QTest::keyClick(viewer->coverFlowBrowser, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!viewer->fullScreen);
    QTRY_VERIFY(!viewer->isFullScreen());
    viewer->slotToggleFullScreen();
    QVERIFY(viewer->fullScreen);
    recorder.keys.clear();
    QTest::keyClick(viewer->coverFlowBrowser, Qt::Key_Escape);
    QVERIFY(!viewer->fullScreen);
    QVERIFY(recorder.keys.isEmpty());
    QVERIFY(viewer->viewModeToolBar->isVisible());
}

void TestMainWindow::fullScreenRestoresVisibleDocksOnly()
{
    viewer->favoriteFoldersDock->close();
    QVERIFY(viewer->propertiesDock->isVisible());
    viewer->slotToggleFullScreen();
    for (QDockWidget *dock : {viewer->dirTreeDock, viewer->propertiesDock,
                              viewer->availableMapsDock, viewer->favoriteFoldersDock})
        QVERIFY(!dock->isVisible());
    viewer->slotToggleFullScreen();
    QVERIFY(!viewer->favoriteFoldersDock->isVisible());
    QVERIFY(viewer->dirTreeDock->isVisible());
    QVERIFY(viewer->propertiesDock->isVisible());
    QVERIFY(viewer->availableMapsDock->isVisible());
    QVERIFY(viewer->viewModeToolBar->isVisible());
}

void TestMainWindow::plainFResetsListFonts()
{
    KeyRecorder recorder;
    viewer->dirTreeView->installEventFilter(&recorder);
    viewer->dirTreeView->setFocus();
    QApplication::setFont(QFont("DejaVu Sans", 13));
    QTest::keyClick(viewer->dirTreeView, Qt::Key_F);
    QVERIFY(recorder.keys.isEmpty());
    const QString expected = "font-size: 13pt;";
    QCOMPARE(viewer->favoriteFoldersLsWdg->styleSheet(), expected);
    QCOMPARE(viewer->dirTreeView->styleSheet(), expected);
    QCOMPARE(viewer->mapsPanel->mapFileList()->styleSheet(), expected);
    QCOMPARE(viewer->mapsPanel->subMapList()->styleSheet(), expected);

    // A pixel-sized font has no point size: the default takes its place.
    QFont pixelFont("DejaVu Sans");
    pixelFont.setPixelSize(12);
    QApplication::setFont(pixelFont);
    QTest::keyClick(viewer->dirTreeView, Qt::Key_F);
    QCOMPARE(viewer->dirTreeView->styleSheet(), QString("font-size: 8.25pt;"));

    viewer->adjustFontSizeForTouchScreen(11.0f);
    QCOMPARE(viewer->favoriteFoldersLsWdg->styleSheet(), QString("font-size: 11pt;"));
}

void TestMainWindow::favoritesListKeys()
{
    QDir(tmp.path()).mkpath("fav/a");
    QDir(tmp.path()).mkpath("fav/b");
    QDir(tmp.path()).mkpath("fav/c");
    viewer->favoriteFolders = {tmp.filePath("fav/a"), tmp.filePath("fav/b"), tmp.filePath("fav/c")};
    viewer->favoriteFolderModes = {1, 2, 3};
    viewer->fillFavoriteFoldersLsWdg();
    QCOMPARE(viewer->favoriteFoldersLsWdg->item(1)->text(), QString("b"));
    QCOMPARE(viewer->favoriteFoldersLsWdg->item(1)->toolTip(), tmp.filePath("fav/b"));

    QListWidget *list = viewer->favoriteFoldersLsWdg;
    list->setFocus();
    QVERIFY(QTest::qWaitFor([list] { return list->hasFocus(); }));

    // No current row: Delete passes untouched.
    list->setCurrentRow(-1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(viewer->favoriteFolders.size(), 3);

    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(viewer->favoriteFolders, QStringList({tmp.filePath("fav/a"), tmp.filePath("fav/c")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1, 3}));
    QCOMPARE(list->count(), 2);

    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(viewer->favoriteFolders, QStringList({tmp.filePath("fav/c")}));

    // Return opens the current favorite in its stored mode.
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(viewer->currentFolderPath, tmp.filePath("fav/c"));
    QVERIFY(viewer->showCXFiles);
    QCOMPARE(QDir::currentPath(), tmp.filePath("fav/c"));
    QDir::setCurrent(tmp.filePath("work"));
}

void TestMainWindow::shiftKeysStepCoverFlow()
{
    openCovers({"a.png", "b.png", "c.png"});
    KeyRecorder recorder;
    viewer->coverFlowBrowser->installEventFilter(&recorder);
    for (QWidget *list : {static_cast<QWidget *>(viewer->favoriteFoldersLsWdg),
                          static_cast<QWidget *>(viewer->dirTreeView)}) {
        list->setFocus();
        QVERIFY(QTest::qWaitFor([list] { return list->hasFocus(); }));
        const int before = viewer->coverFlowBrowser->selectedIndex;
        QTest::keyClick(list, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(viewer->coverFlowBrowser->selectedIndex, before + 1);
    }
    // Handed straight to the cover flow's key handler, not through the event system.
    QVERIFY(recorder.keys.isEmpty());
}

// What the strip and the views ask of the window reaches it.
void TestMainWindow::requestsReachTheWindow()
{
    openCovers({"a.png", "b.png", "c.png"});
    CoverFlowBrowser *cf = viewer->coverFlowBrowser;
    QSplitter *splitter = viewer->mainWindowSplitter;
    const QList<int> before = splitter->sizes();
    emit cf->stripResizeRequested(15);
    QCOMPARE(splitter->sizes(), QList<int>({before[0] + 15, before[1] - 15}));
    emit cf->stripCollapseRequested();
    QCOMPARE(splitter->sizes(), QList<int>({0, before[0] + before[1]}));
    emit cf->inputKindChanged(2);
    QCOMPARE(viewer->inputKind, 2);
    emit viewer->volumeViewer->inputKindChanged(1);
    QCOMPARE(viewer->inputKind, 1);
    emit cf->fullScreenRequested();
    QVERIFY(viewer->fullScreen);
    emit cf->fullScreenRequested();
    QVERIFY(!viewer->fullScreen);

    // A measured image reaches the store and the images panel.
    emit viewer->imageViewer->imageMeasured(1, 640, 480, 6);
    QCOMPARE(viewer->coverStore->imageWidth(1), 640);
    QCOMPARE(viewer->coverStore->imageHeight(1), 480);
    QCOMPARE(viewer->coverStore->imageOrientation(1), 6);
    const QString width = viewer->propertyPanels->imagePropertiesBrowser()
                              ->treeWidget()
                              ->findItems("Width:", Qt::MatchRecursive)
                              .value(0)
                              ->text(1);
    QCOMPARE(width, QString("640"));

    // Keys and swipes of the views step the strip.
    emit viewer->volumeViewer->coverFlowKeyPressed(Qt::Key_Right);
    QCOMPARE(cf->selectedIndex, 1);
    emit viewer->meshViewer->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 0);
    emit viewer->rawMRIDataViewer->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 2);

    // A loaded document opens its header group; touch asks for larger list fonts.
    QtTreePropertyBrowser *cx = viewer->propertyPanels->cxPropertiesBrowser();
    emit viewer->volumeViewer->volumeLoaded();
    QVERIFY(cx->isExpanded(viewer->propertyPanels->vmrGroupItem()));
    emit viewer->meshViewer->meshLoaded();
    QVERIFY(cx->isExpanded(viewer->propertyPanels->srfGroupItem()));
    emit viewer->meshViewer->touchFontSizeRequested(11);
    QCOMPARE(viewer->favoriteFoldersLsWdg->styleSheet(), QString("font-size: 11pt;"));
}

// The maps panel lists the map files of the item inspected last; its clicks go
// to the view that filled it.
void TestMainWindow::mapListsFollowTheView()
{
    QDir(tmp.path()).mkpath("maps");
    const auto write = [this](const QString &name, const QByteArray &data) {
        QFile file(tmp.filePath("maps/" + name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    };
    write("a.srf", SrfFixture::octahedron().bytes());
    SmpFixture smp;
    smp.maps = {SmpFixture::Map()};
    write("fits.smp", smp.bytes());
    smp.nrOfVertices = 3;
    write("other.smp", smp.bytes());
    VmrFixture volume;
    volume.dimX = volume.dimY = volume.dimZ = 40;
    write("v.vmr", volume.bytes());
    VmpFixture vmp;
    vmp.maps[0].name = "faces";
    write("m.vmp", vmp.current());

    viewer->currentDir = QDir(tmp.filePath("maps"));
    viewer->toggleShowCXFiles();
    QListWidget *files = viewer->mapsPanel->mapFileList();
    QListWidget *maps = viewer->mapsPanel->subMapList();
    const auto click = [](QListWidget *list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    // The mesh first: only the SMP made for its six vertices.
    QCOMPARE(viewer->viewStack->currentWidget(), viewer->meshViewer);
    QCOMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("fits.smp"));
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("t map"));

    // The volume next: its VMP, and the clicks reach the volume view only.
    viewer->coverFlowBrowser->setCurrentCoverIndex(1);
    viewer->coverFlowBrowser->emitCurrentItemChangedForInspection();
    QCOMPARE(viewer->viewStack->currentWidget(), viewer->volumeViewer);
    QCOMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("m.vmp"));
    QCOMPARE(maps->count(), 0);
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("faces"));
    QCOMPARE(maps->currentRow(), 0);
}

// Covers for the given (empty) image files, in images mode.
void TestMainWindow::openCovers(const QStringList &files)
{
    QDir(tmp.path()).mkpath("covers");
    for (const QString &name : files) {
        QFile file(tmp.filePath("covers/" + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    viewer->currentDir = QDir(tmp.filePath("covers"));
    viewer->switchToShowBitmaps();
    QCOMPARE(viewer->coverStore->count(), files.size());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
