#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DicomFixture.h"
#include "DocRawDataInterface.h"
#include "DocSRFInterface.h"
#include "DocVMRInterface.h"
#include "FolderDataFiles.h"
#include "FolderThumbnails.h"
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
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtEndian>

namespace {

// Records the key presses that reach the objects it watches.
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

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A data-stream string: byte count, then UTF-16 little-endian.
QByteArray string(const QString &text)
{
    QByteArray bytes(4, 0);
    qToLittleEndian(quint32(text.size() * 2), bytes.data());
    for (QChar c : text)
        bytes += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    return bytes;
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &data = QByteArray())
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(name));
}

bool focus(QWidget *widget)
{
    widget->setFocus();
    return QTest::qWaitFor([widget] { return widget->hasFocus(); });
}

// What a property panel shows for the label.
QString shown(QtTreePropertyBrowser *browser, const QString &label = "Name")
{
    return browser->treeWidget()->findItems(label, Qt::MatchRecursive).value(0)->text(1);
}

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
    void fullScreen();
    void listKeys();
    void requestsReachTheWindow();
    void mapListsFollowTheView();
    void listingPerMode();
    void modeSwitchesReconnectSignals();
    void shownFilesPerMode_data();
    void shownFilesPerMode();
    void favorites();
    void savedFiles();

private:
    // Builds a window the way the entry point does, with its data next to "app".
    void startViewer();
    void quitViewer() { delete std::exchange(viewer, nullptr); }
    void openFolder(const QString &folder);
    QStringList coverNames() const;
    QString path(const QString &relative) const { return tmp.filePath(relative); }

    QTemporaryDir tmp;
    CortivexViewer *viewer = nullptr;
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    for (const char *folder : {"work", "app", "images/sub.png", "cx", "dicom"})
        root.mkpath(folder);
    QDir::setCurrent(path("work"));
    for (const char *file :
         {"images/a.PNG", "images/B.jpg", "images/c.txt", "images/d.jpeg", "images/e.GIF",
          "images/.hidden.png", "cx/x.vmr", "cx/Y.SRF", "cx/z.smp", "cx/w.vmp", "dicom/IM2.DCM",
          "dicom/im1.dcm", "dicom/notes.txt"})
        writeFile(path(file));
    QFile::link(path("images/a.PNG"), path("images/link.png"));

    // Files the views show, two per mode.
    root.mkpath("shown/images");
    root.mkpath("shown/dicom");
    root.mkpath("shown/cx");
    QImage picture(64, 48, QImage::Format_RGB32);
    for (const char *name : {"shown/images/p1.png", "shown/images/p2.png"}) {
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(path(name)));
    }
    QList<qint16> ramp;
    for (int i = 0; i < 16 * 16; ++i)
        ramp << qint16(100 + i);
    DicomFixture dicom;
    dicom.unsignedShort(0x0028, 0x0010, 16)
        .unsignedShort(0x0028, 0x0011, 16)
        .unsignedShort(0x0028, 0x0100, 16)
        .text(0x0008, 0x1090, "LO", "A model name far too long for the width of the panel")
        .pixels(ramp);
    writeFile(path("shown/dicom/s1.dcm"), dicom.file());
    writeFile(path("shown/dicom/s2.dcm"), dicom.file());
    writeFile(path("shown/cx/v.vmr"), VmrFixture().bytes());
    writeFile(path("shown/cx/w.srf"), SrfFixture::octahedron().bytes());
}

void TestMainWindow::startViewer()
{
    viewer = new CortivexViewer;
    viewer->initDataFolders(path("app"));
    viewer->loadFavoriteFoldersList();
    viewer->fillFavoriteFoldersLsWdg();
    viewer->loadVisitedFoldersToThumbnailFilesMaps();
    viewer->resize(1200, 750);
    viewer->show();
}

void TestMainWindow::init()
{
    QDir(path("app/CXViewerFolderData")).removeRecursively();
    startViewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void TestMainWindow::cleanup()
{
    quitViewer();
    QDir::setCurrent(path("work"));
}

void TestMainWindow::openFolder(const QString &folder)
{
    viewer->currentDir = QDir(path(folder));
    viewer->switchToShowBitmaps();
}

QStringList TestMainWindow::coverNames() const
{
    QStringList names;
    for (int i = 0; i < viewer->coverStore->count(); ++i)
        names << QFileInfo(viewer->coverStore->fileName(i)).fileName();
    return names;
}

void TestMainWindow::construction()
{
    QCOMPARE(viewer->windowTitle(), QString("Cortivex Viewer"));
    QVERIFY(viewer->showCXFiles && !viewer->showBitmaps && !viewer->showRawMRIData);

    // Toolbar order and texts.
    QStringList texts;
    for (QAction *a : viewer->viewModeToolBar->actions())
        if (!a->isSeparator() && !a->text().isEmpty())
            texts << a->text();
    QCOMPARE(texts, QStringList({"CX Data", "MRI Data", "Images", "Load in CX", "Full Screen"}));
    QVERIFY(!viewer->loadInCXSAct->isCheckable());
    QVERIFY(!viewer->viewModeToolBar->isMovable() && !viewer->viewModeToolBar->isFloatable());
    QVERIFY(!viewer->showCXFilesAct->icon().isNull());

    // Splitter with the cover flow above the four views.
    QCOMPARE(viewer->mainWindowSplitter->widget(0), viewer->coverFlowBrowser);
    QCOMPARE(viewer->mainWindowSplitter->widget(1), viewer->viewStack);
    QCOMPARE(viewer->viewStack->currentIndex(), 1); // CX data mode shows the mesh view

    // Docks: favorites and tree on the left, properties and (in CX data mode) maps on the right.
    QCOMPARE(viewer->dockWidgetArea(viewer->favoriteFoldersDock), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->dirTreeDock), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->propertiesDock), Qt::RightDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(viewer->availableMapsDock), Qt::RightDockWidgetArea);
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
    QCOMPARE(viewer->viewerBaseDir, path("app"));
    QCOMPARE(viewer->viewerDataDir, path("app/ViewerData"));
    QCOMPARE(viewer->folderDataDir, path("app/CXViewerFolderData"));
    QVERIFY(QFileInfo(viewer->folderDataDir).isDir());

    // In a macOS bundle the data sit next to the bundle.
    QDir(tmp.path()).mkpath("Viewer.app/Contents/MacOS");
    viewer->initDataFolders(path("Viewer.app/Contents/MacOS"));
    QCOMPARE(viewer->viewerBaseDir, tmp.path());
    QVERIFY(QFileInfo(path("CXViewerFolderData")).isDir());

    // When the folder cannot be made there, the user's data folder takes it.
    QDir(tmp.path()).mkpath("readonly");
    writeFile(path("readonly/CXViewerFolderData"));
    viewer->initDataFolders(path("readonly"));
    QCOMPARE(viewer->viewerDataDir, path("readonly/ViewerData"));
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(viewer->folderDataDir, userData + "/CXViewerFolderData");
    QVERIFY(QFileInfo(viewer->folderDataDir).isDir());
    viewer->initDataFolders(path("app"));
}

// Ctrl+F enters and leaves full screen; Escape leaves it, and passes on outside it.
// Leaving shows again what was visible before, and nothing else.
void TestMainWindow::fullScreen()
{
    CoverFlowBrowser *cf = viewer->coverFlowBrowser;
    const QList<QWidget *> restored = {viewer->viewModeToolBar, viewer->dirTreeDock,
                                       viewer->propertiesDock, viewer->availableMapsDock};
    KeyRecorder recorder;
    cf->installEventFilter(&recorder);
    QVERIFY(focus(cf));
    viewer->favoriteFoldersDock->close();

    QTest::keyClick(cf, Qt::Key_Escape);
    QCOMPARE(recorder.keys, QList<int>({Qt::Key_Escape}));
    QVERIFY(!viewer->fullScreen);
    QTest::keyClick(cf, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(viewer->fullScreen);
    QTRY_VERIFY(viewer->isFullScreen());
    for (QWidget *widget : restored)
        QVERIFY(!widget->isVisible());

    QTest::keyClick(cf, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!viewer->fullScreen);
    QTRY_VERIFY(!viewer->isFullScreen());
    for (QWidget *widget : restored)
        QVERIFY(widget->isVisible());
    QVERIFY(!viewer->favoriteFoldersDock->isVisible());

    viewer->slotToggleFullScreen();
    recorder.keys.clear();
    QTest::keyClick(cf, Qt::Key_Escape);
    QVERIFY(!viewer->fullScreen);
    QVERIFY(recorder.keys.isEmpty());
}

// Plain F sets the lists' font size from the application's; in the favorites
// Delete and Backspace remove the current one and Return opens it; Shift and a
// step key in either list step the strip.
void TestMainWindow::listKeys()
{
    QListWidget *list = viewer->favoriteFoldersLsWdg;
    QTreeView *tree = viewer->dirTreeView;
    KeyRecorder recorder;
    tree->installEventFilter(&recorder);
    viewer->coverFlowBrowser->installEventFilter(&recorder);
    QVERIFY(focus(tree));
    QApplication::setFont(QFont("DejaVu Sans", 13));
    QTest::keyClick(tree, Qt::Key_F);
    for (QWidget *widget : QList<QWidget *>{list, tree, viewer->mapsPanel->mapFileList(),
                                            viewer->mapsPanel->subMapList()})
        QCOMPARE(widget->styleSheet(), QString("font-size: 13pt;"));
    // A pixel-sized font has no point size: the default takes its place.
    QFont pixelFont("DejaVu Sans");
    pixelFont.setPixelSize(12);
    QApplication::setFont(pixelFont);
    QTest::keyClick(tree, Qt::Key_F);
    QCOMPARE(tree->styleSheet(), QString("font-size: 8.25pt;"));
    QVERIFY(recorder.keys.isEmpty());

    viewer->favoriteFolders = {path("images"), path("cx"), path("dicom")};
    viewer->favoriteFolderModes = {1, 3, 2};
    viewer->fillFavoriteFoldersLsWdg();
    QCOMPARE(list->item(1)->toolTip(), path("cx"));
    QVERIFY(focus(list));
    list->setCurrentRow(-1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(viewer->favoriteFolders.size(), 3);
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(viewer->favoriteFolders, QStringList({path("images"), path("dicom")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1, 2}));
    QCOMPARE(list->count(), 2);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(viewer->favoriteFolders, QStringList({path("dicom")}));
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(viewer->currentFolderPath, path("dicom"));
    QVERIFY(viewer->showRawMRIData);

    openFolder("images");
    for (QWidget *widget : QList<QWidget *>{list, tree}) {
        QVERIFY(focus(widget));
        const int before = viewer->coverFlowBrowser->selectedIndex;
        QTest::keyClick(widget, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(viewer->coverFlowBrowser->selectedIndex, before + 1);
    }
    // Handled by the window, and handed straight to the strip's key handler.
    QVERIFY(!recorder.keys.contains(Qt::Key_Right));
}

// What the strip and the views ask of the window reaches it.
void TestMainWindow::requestsReachTheWindow()
{
    openFolder("images");
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
    QCOMPARE(shown(viewer->propertyPanels->imagePropertiesBrowser(), "Width:"), QString("640"));

    // Keys and swipes of the views step the strip.
    emit viewer->volumeViewer->coverFlowKeyPressed(Qt::Key_Right);
    QCOMPARE(cf->selectedIndex, 1);
    emit viewer->meshViewer->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 0);
    emit viewer->rawMRIDataViewer->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 3);

    // Touch asks for larger list fonts.
    emit viewer->meshViewer->touchFontSizeRequested(11);
    QCOMPARE(viewer->favoriteFoldersLsWdg->styleSheet(), QString("font-size: 11pt;"));
}

// The maps panel lists the map files of the item inspected last; its clicks go
// to the view that filled it, which says why a map file cannot be shown.
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
    QTRY_COMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("fits.smp"));
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("t map"));

    // The volume next: its VMP, and the clicks reach the volume view only.
    viewer->coverFlowBrowser->setCurrentCoverIndex(1);
    viewer->coverFlowBrowser->emitCurrentItemChangedForInspection();
    QCOMPARE(viewer->viewStack->currentWidget(), viewer->volumeViewer);
    QTRY_COMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("m.vmp"));
    QCOMPARE(maps->count(), 0);
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("faces"));
    QCOMPARE(maps->currentRow(), 0);

    // A map file that cannot be read says why over the volume, which stays in sight;
    // one that can be read takes the line away.
    write("bad.vmp", "not a map");
    viewer->coverFlowBrowser->emitCurrentItemChangedForInspection();
    QTRY_COMPARE(files->count(), 2);
    QCOMPARE(files->item(0)->text(), QString("bad.vmp"));
    click(files, 0);
    QCOMPARE(viewer->volumeViewer->failureNote(),
             QString("bad.vmp: VMP version 28526 is not supported (versions 1 to 4 of the "
                     "older format are)"));
    QVERIFY(viewer->volumeViewer->volume() && !viewer->volumeViewer->shownImage().isNull());
    QVERIFY(viewer->meshViewer->failureNote().isEmpty());
    click(files, 1);
    QCOMPARE(viewer->volumeViewer->failureNote(), QString());
    QFile::remove(tmp.filePath("maps/bad.vmp"));
}

// Each mode lists its own files, shows its view and panel; a folder clicked in
// the tree is listed in the current mode.
void TestMainWindow::listingPerMode()
{
    openFolder("images");
    QCOMPARE(coverNames(), QStringList({"a.PNG", "B.jpg", "d.jpeg", "e.GIF"}));
    QVERIFY(!viewer->coverFlowBrowser->drawCoverFrames);
    QCOMPARE(viewer->viewStack->currentIndex(), 0);
    QVERIFY(!viewer->availableMapsDock->isVisible());

    viewer->currentDir = QDir(path("cx"));
    viewer->switchToShowCXFiles();
    QCOMPARE(coverNames(), QStringList({"x.vmr", "Y.SRF"}));
    QVERIFY(viewer->coverFlowBrowser->drawCoverFrames);
    QVERIFY(viewer->availableMapsDock->isVisible());

    viewer->currentDir = QDir(path("dicom"));
    viewer->switchToShowRawMRIData();
    QCOMPARE(coverNames(), QStringList({"im1.dcm", "IM2.DCM"}));
    QCOMPARE(viewer->viewStack->currentIndex(), 3);
    QCOMPARE(viewer->propertiesDock->widget(), viewer->propertyPanels->rawMRIPropertiesBrowser());
    QVERIFY(viewer->showRawMRIDataAct->isChecked() && !viewer->showCXFilesAct->isChecked());

    viewer->clickedFolder(viewer->fileSystemModel->index(path("cx")));
    QVERIFY(viewer->showRawMRIData);
    QCOMPARE(viewer->currentFolderPath, path("cx"));
    QVERIFY(viewer->coverStore->isEmpty());
    viewer->clickedFolder(viewer->fileSystemModel->index(path("dicom")));
    QCOMPARE(coverNames(), QStringList({"im1.dcm", "IM2.DCM"}));

    // An empty or vanished folder gives no covers and no inspection request.
    QSignalSpy inspect(viewer->coverFlowBrowser, &CoverFlowBrowser::rawMRIFileForInspectionChanged);
    viewer->currentDir = QDir(path("missing"));
    viewer->switchToShowRawMRIData();
    QVERIFY(viewer->coverStore->isEmpty());
    QCOMPARE(inspect.count(), 0);
}

// Only the active mode's signals reach the panels and views; CX files go to the
// mesh view or the volume view by their extension.
void TestMainWindow::modeSwitchesReconnectSignals()
{
    const QString file = path("images/a.PNG");
    CoverFlowBrowser *cf = viewer->coverFlowBrowser;
    PropertyPanels *panels = viewer->propertyPanels;
    openFolder("images");
    emit cf->currentCXItemChanged(0, file);
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(shown(panels->cxPropertiesBrowser()), QString());
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString());
    emit cf->currentItemChanged(0, file, 10, 20, 1);
    QCOMPARE(shown(panels->imagePropertiesBrowser()), QString("a.PNG"));

    viewer->toggleShowRawMRIData();
    emit cf->currentItemChanged(0, path("images/B.jpg"), 1, 2, 1);
    QCOMPARE(shown(panels->imagePropertiesBrowser()), QString());
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));

    viewer->toggleShowCXFiles();
    emit cf->currentRawMRIItemChanged(0, path("images/B.jpg"));
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));
    emit cf->currentCXItemChanged(0, file);
    QCOMPARE(shown(panels->cxPropertiesBrowser()), QString("a.PNG"));
    emit cf->CXFileForInspectionChanged(0, path("cx/Y.SRF"));
    QCOMPARE(viewer->viewStack->currentIndex(), 1);
    emit cf->CXFileForInspectionChanged(0, path("cx/x.vmr"));
    QCOMPARE(viewer->viewStack->currentIndex(), 2);
    // By the ending, not the last letters of the name.
    emit cf->CXFileForInspectionChanged(0, "/data/srf");
    QCOMPARE(viewer->viewStack->currentIndex(), 2);

    // Toggling the active mode lists the folder again.
    viewer->currentDir = QDir(path("cx"));
    viewer->toggleShowCXFiles();
    QCOMPARE(coverNames(), QStringList({"x.vmr", "Y.SRF"}));
    QVERIFY(viewer->showCXFilesAct->isChecked());
}

void TestMainWindow::shownFilesPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("group");
    const auto row = [](const char *name, int mode, const char *folder, const char *group) {
        QTest::newRow(name) << mode << QString(folder) << QString(group);
    };
    row("images", 1, "shown/images", "Image Properties");
    row("raw MRI data", 2, "shown/dicom", "DICOM Header");
    row("CX data", 3, "shown/cx", "VMR Info / Talairach Coords");
}

// At the default size, the properties of each mode show the file chosen by
// every key step, and their values beside the labels; a view lets go of what it
// shows, and the core of its document, once its mode is left.
void TestMainWindow::shownFilesPerMode()
{
    QFETCH(int, mode);
    QFETCH(QString, folder);
    QFETCH(QString, group);
    QCOMPARE(viewer->size(), QSize(1200, 750));
    const QList<void (CortivexViewer::*)()> switches = {&CortivexViewer::switchToShowBitmaps,
                                                        &CortivexViewer::switchToShowRawMRIData,
                                                        &CortivexViewer::switchToShowCXFiles};
    viewer->currentDir = QDir(path(folder));
    (viewer->*switches[mode - 1])();
    auto *browser = qobject_cast<QtTreePropertyBrowser *>(viewer->propertiesDock->widget());
    QVERIFY(browser);
    CoverFlowBrowser *cf = viewer->coverFlowBrowser;
    QVERIFY(focus(cf));
    // Each cover slides in before the next step, so that every view is drawn.
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Plus,
                        Qt::Key_Minus}) {
        const int before = cf->selectedIndex;
        QTest::keyClick(cf, key);
        QVERIFY(cf->selectedIndex != before);
        QCOMPARE(shown(browser), coverNames().value(cf->selectedIndex));
        QCOMPARE(shown(browser, "Folder"), path(folder));
        QTRY_VERIFY(!cf->animating);
    }

    // Labels and values side by side, each cut short with its whole text on hovering.
    QTreeWidget *tree = browser->treeWidget();
    QTRY_VERIFY(tree->viewport()->width() > 100);
    const QRect viewport = tree->viewport()->rect();
    const QHeaderView *header = tree->header();
    const QRect labels(header->sectionViewportPosition(0), 0, header->sectionSize(0), 1);
    const QRect values(header->sectionViewportPosition(1), 0, header->sectionSize(1), 1);
    QVERIFY2(viewport.intersected(values).width() >= viewport.width() / 3,
             qPrintable(QString("values at %1 + %2 of %3")
                            .arg(values.x())
                            .arg(values.width())
                            .arg(viewport.width())));
    QVERIFY(viewport.contains(labels.topRight()) && labels.width() > viewport.width() / 4);
    QVERIFY(!tree->horizontalScrollBar()->isVisible());
    const QTreeWidgetItem *groupItem = tree->findItems(group, Qt::MatchExactly).value(0);
    QVERIFY(groupItem && groupItem->isExpanded());
    for (int i = 0; i < groupItem->childCount(); ++i) {
        const QTreeWidgetItem *item = groupItem->child(i);
        QCOMPARE(item->toolTip(0), item->text(0));
        QCOMPARE(item->toolTip(1), item->text(1));
    }

    // What the views of the mode hold: pictures, textures, buffers, documents.
    const auto held = [&] {
        QStringList found;
        for (PlaneView *view : QList<PlaneView *>{viewer->imageViewer, viewer->rawMRIDataViewer,
                                                  viewer->volumeViewer}) {
            if (!view->shownImage().isNull())
                found << view->metaObject()->className() + QString(" image");
            if (view->hasTexture())
                found << view->metaObject()->className() + QString(" texture");
        }
        if (viewer->meshViewer->hasBuffers())
            found << "mesh buffers";
        if (viewer->volumeViewer->volume())
            found << "volume";
        if (viewer->meshViewer->mesh())
            found << "mesh";
        return found;
    };
    // The volume shown last; the mesh view let go of its mesh then.
    const QList<QStringList> ofMode = {
        {"ImageOGLViewer image", "ImageOGLViewer texture"},
        {"RawMRIDataOGLViewer image", "RawMRIDataOGLViewer texture"},
        {"VolumeOGLViewer image", "VolumeOGLViewer texture", "volume"}};
    QTRY_COMPARE(held(), ofMode[mode - 1]);
    (viewer->*switches[mode % 3])();
    QCOMPARE(held(), QStringList());
}

// Favorites open in the mode stored with them; a drag reorders them, a double
// click in the tree adds a folder once, and the list is saved as it stands.
void TestMainWindow::favorites()
{
    QListWidget *list = viewer->favoriteFoldersLsWdg;
    const auto open = [&](int row) {
        list->setCurrentRow(row);
        viewer->clickedFavoriteFolder(list->item(row));
    };
    viewer->favoriteFolders = {path("images"), path("cx"), path("dicom"), path("images"),
                               path("gone")};
    viewer->favoriteFolderModes = {1, 0, 2, 7, 1};
    viewer->fillFavoriteFoldersLsWdg();
    open(0);
    QVERIFY(viewer->showBitmaps);
    QVERIFY(viewer->thumbnails->isMakingThumbnails());
    QCOMPARE(viewer->currentFolderPath, path("images"));
    QCOMPARE(QDir::currentPath(), path("images"));
    QCOMPARE(viewer->fileSystemModel->filePath(viewer->dirTreeView->currentIndex()),
             path("images"));
    open(1);
    QVERIFY(viewer->showCXFiles);
    QVERIFY(!viewer->thumbnails->isMakingThumbnails());
    QCOMPARE(coverNames(), QStringList({"x.vmr", "Y.SRF"}));
    open(2);
    QVERIFY(viewer->showRawMRIData);
    open(3);
    QVERIFY(viewer->showCXFiles);
    QCOMPARE(viewer->currentFolderPath, path("images"));
    // A vanished favorite changes nothing.
    open(4);
    QCOMPARE(viewer->currentFolderPath, path("images"));
    QVERIFY(viewer->showCXFiles);

    viewer->favoriteFolders = {path("images"), path("cx"), path("dicom")};
    viewer->favoriteFolderModes = {1, 3, 2};
    viewer->fillFavoriteFoldersLsWdg();
    // The drop of an internal move ends in this call.
    QVERIFY(list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
    QCOMPARE(list->item(2)->text(), QString("images"));
    QCOMPARE(viewer->favoriteFolders, QStringList({path("cx"), path("dicom"), path("images")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({3, 2, 1}));
    QVERIFY(list->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    QCOMPARE(viewer->favoriteFolders, QStringList({path("images"), path("cx"), path("dicom")}));
    open(2);
    QVERIFY(viewer->showRawMRIData);

    for (int i = 0; i < 2; ++i)
        viewer->doubleClickedFolder(viewer->fileSystemModel->index(path("work")));
    QCOMPARE(list->count(), 4);
    QCOMPARE(viewer->favoriteFolders.last(), path("work"));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1, 3, 2, 2}));

    quitViewer();
    startViewer();
    QCOMPARE(viewer->favoriteFolders,
             QStringList({path("images"), path("cx"), path("dicom"), path("work")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1, 3, 2, 2}));
}

// The favorites and the visited folders last across restarts; damaged files are
// read as far as they go, and kept aside once their contents change.
void TestMainWindow::savedFiles()
{
    const QString favorites = path("app/CXViewerFolderData/FavoriteFolders.cxf");
    const QString visited = path("app/CXViewerFolderData/VisitedFolders.cxv");
    // No files yet: the sample folder is the one favorite, in images mode.
    QCOMPARE(viewer->favoriteFolders, QStringList({path("app/ViewerData")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1}));
    QCOMPARE(viewer->favoriteFoldersLsWdg->item(0)->text(), QString("ViewerData"));
    QDir(tmp.path()).mkpath("app/ViewerData");
    writeFile(path("app/ViewerData/pic.png"));
    viewer->autoSelectFirstFavFolder();
    QVERIFY(viewer->showBitmaps);
    QCOMPARE(coverNames(), QStringList({"pic.png"}));
    QDir(path("app/ViewerData")).removeRecursively();

    // Removing every favorite lasts.
    viewer->favoriteFolders.clear();
    viewer->favoriteFolderModes.clear();
    quitViewer();
    QCOMPARE(readAll(favorites), hex("01000000 00000000"));
    startViewer();
    QVERIFY(viewer->favoriteFolders.isEmpty());
    QCOMPARE(viewer->favoriteFoldersLsWdg->count(), 0);
    viewer->autoSelectFirstFavFolder();
    QVERIFY(viewer->showCXFiles);

    // An index whose raw data map is cut short: the images map before it is kept.
    quitViewer();
    const QString stored = "a_1_2011-05-04T13-22-11.cxi";
    const QByteArray damagedFavorites = hex("01000000 14000000 04000000 2F00 6100 01000000");
    const QByteArray damagedVisited =
        hex("01000000") + string("/a") + string(stored) + hex("01000000 0400");
    writeFile(favorites, damagedFavorites);
    writeFile(visited, damagedVisited);
    startViewer();
    QCOMPARE(viewer->favoriteFolders, QStringList({"/a"}));
    viewer->doubleClickedFolder(viewer->fileSystemModel->index(path("cx")));
    // The images folder's thumbnails, made on opening it, are stored when it is left.
    viewer->clickedFolder(viewer->fileSystemModel->index(path("images")));
    viewer->toggleShowBitmaps();
    QTRY_VERIFY(!viewer->thumbnails->isMakingThumbnails());
    quitViewer();
    QCOMPARE(readAll(favorites + ".damaged"), damagedFavorites);
    QCOMPARE(readAll(visited + ".damaged"), damagedVisited);
    QFile index(visited);
    QVERIFY(index.open(QIODevice::ReadOnly));
    QMap<QString, QString> images, rawMRI, cx;
    QVERIFY(readVisitedFolders(index, images, rawMRI, cx));
    QCOMPARE(images.keys(), QStringList({"/a", path("images")}));
    QCOMPARE(images.value("/a"), stored);
    QVERIFY(rawMRI.isEmpty() && cx.isEmpty());
    startViewer();
    QCOMPARE(viewer->favoriteFolders, QStringList({"/a", path("cx")}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
