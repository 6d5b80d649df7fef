#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DataFolders.h"
#include "DicomFixture.h"
#include "FolderBrowser.h"
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

QByteArray int32(qint32 value)
{
    QByteArray bytes(4, 0);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A data-stream string: byte count, then UTF-16 little-endian.
QByteArray string(const QString &text)
{
    QByteArray bytes = int32(qint32(text.size() * 2));
    for (QChar c : text)
        bytes += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    return bytes;
}

// A favorites file: version 1, then each folder with the mode number stored for it.
QByteArray favoritesFile(const QList<QPair<QString, int>> &favorites)
{
    QByteArray bytes = int32(1) + int32(qint32(favorites.size()));
    for (const auto &[folder, mode] : favorites)
        bytes += string(folder) + int32(mode);
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
    // Starts anew on a favorites file of these folders and mode numbers (none: as it is).
    void restartWithFavorites(const QList<QPair<QString, int>> &favorites);
    void openFolder(const QString &folder) { viewer->openPaths({path(folder)}); }
    // A click on the folder in the directory tree.
    void clickInTree(const QString &folder);
    QStringList coverNames() const;
    QString path(const QString &relative) const { return tmp.filePath(relative); }

    // The window's parts, found as the user meets them.
    template <typename T> T *part() const { return viewer->findChild<T *>(); }
    FolderBrowser *folders() const { return part<FolderBrowser>(); }
    CoverStore *covers() const { return viewer->coverFlow()->coverStore(); }
    QWidget *shownView() const { return part<QStackedWidget>()->currentWidget(); }
    QDockWidget *dock(const QString &title) const;
    QAction *action(const QString &text) const;

    QTemporaryDir tmp;
    CortivexViewer *viewer = nullptr;
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    for (const char *folder : {"work", "app", "images/sub.png", "cx", "dicom", "shown/images",
                               "shown/dicom", "shown/cx"})
        root.mkpath(folder);
    QDir::setCurrent(path("work"));
    for (const char *file :
         {"images/a.PNG", "images/B.jpg", "images/c.txt", "images/d.jpeg", "images/e.GIF",
          "images/.hidden.png", "cx/x.vmr", "cx/Y.SRF", "cx/z.smp", "cx/w.vmp", "dicom/IM2.DCM",
          "dicom/im1.dcm", "dicom/notes.txt"})
        writeFile(path(file));
    QFile::link(path("images/a.PNG"), path("images/link.png"));
    // Scanners' files without an ending: listed when bytes 128..131 say DICM.
    const QByteArray marked = QByteArray(128, '\0') + "DICM";
    writeFile(path("dicom/IM0003"), marked);
    writeFile(path("dicom/README"), QByteArray(128, ' ') + "DICX");
    writeFile(path("dicom/1.2.3"), marked);

    // Files the views show, two per mode.
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (const char *name : {"shown/images/p1.png", "shown/images/p2.png"})
        QVERIFY(picture.save(path(name)));
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
    viewer->openDataFolders(path("app"));
    viewer->resize(1200, 750);
    viewer->show();
}

void TestMainWindow::restartWithFavorites(const QList<QPair<QString, int>> &favorites)
{
    quitViewer();
    if (!favorites.isEmpty())
        writeFile(path("app/CXViewerFolderData/FavoriteFolders.cxf"), favoritesFile(favorites));
    startViewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void TestMainWindow::init()
{
    QDir(path("app/CXViewerFolderData")).removeRecursively();
    restartWithFavorites({});
}

void TestMainWindow::cleanup()
{
    quitViewer();
    QDir::setCurrent(path("work"));
}

void TestMainWindow::clickInTree(const QString &folder)
{
    QTreeView *tree = folders()->directoryTree();
    emit tree->clicked(static_cast<QFileSystemModel *>(tree->model())->index(path(folder)));
}

QStringList TestMainWindow::coverNames() const
{
    QStringList names;
    for (int i = 0; i < covers()->count(); ++i)
        names << QFileInfo(covers()->fileName(i)).fileName();
    return names;
}

QDockWidget *TestMainWindow::dock(const QString &title) const
{
    for (QDockWidget *dock : viewer->findChildren<QDockWidget *>())
        if (dock->windowTitle() == title)
            return dock;
    return nullptr;
}

QAction *TestMainWindow::action(const QString &text) const
{
    for (QAction *action : part<QToolBar>()->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void TestMainWindow::construction()
{
    QCOMPARE(viewer->windowTitle(), QString("Cortivex Viewer"));
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);

    // Toolbar order and texts.
    QToolBar *toolBar = part<QToolBar>();
    QStringList texts;
    for (QAction *a : toolBar->actions())
        if (!a->isSeparator() && !a->text().isEmpty())
            texts << a->text();
    QCOMPARE(texts, QStringList({"CX Data", "MRI Data", "Images", "Load in CX", "Full Screen"}));
    QVERIFY(!action("Load in CX")->isCheckable() && !toolBar->isMovable() &&
            !toolBar->isFloatable());
    QVERIFY(!action("CX Data")->icon().isNull());
    QVERIFY(action("CX Data")->isChecked() && !action("Images")->isChecked());

    // Splitter with the cover flow above the four views.
    auto *splitter = viewer->findChild<QSplitter *>("mainWindowSplitter");
    QCOMPARE(splitter->widget(0), viewer->coverFlow());
    QCOMPARE(splitter->widget(1), part<QStackedWidget>());
    QCOMPARE(part<QStackedWidget>()->currentIndex(), 1); // CX data mode shows the mesh view

    // Docks: favorites and tree on the left, properties and (in CX data mode) maps on the right.
    QCOMPARE(viewer->dockWidgetArea(dock("Favorite Folders")), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(dock("Directory Tree")), Qt::LeftDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(dock("Properties")), Qt::RightDockWidgetArea);
    QCOMPARE(viewer->dockWidgetArea(dock("Available Maps")), Qt::RightDockWidgetArea);
    QCOMPARE(dock("Favorite Folders")->widget(), folders()->favoritesList());
    QCOMPARE(dock("Directory Tree")->widget(), folders()->directoryTree());
    QVERIFY(viewer->styleSheet().startsWith("QListView { background-color: #272727;"));
    QTreeView *tree = folders()->directoryTree();
    QVERIFY(tree->isHeaderHidden());
    QVERIFY(tree->isColumnHidden(1) && tree->isColumnHidden(3));

    // In a macOS bundle the data sit next to the bundle.
    QDir(tmp.path()).mkpath("Viewer.app/Contents/MacOS");
    QCOMPARE(DataFolders::forProgramIn(path("Viewer.app/Contents/MacOS")).base, tmp.path());
    QVERIFY(QFileInfo(path("CXViewerFolderData")).isDir());

    // When the folder cannot be made there, the user's data folder takes it.
    QDir(tmp.path()).mkpath("readonly");
    writeFile(path("readonly/CXViewerFolderData"));
    const DataFolders folders = DataFolders::forProgramIn(path("readonly"));
    QCOMPARE(folders.viewerData, path("readonly/ViewerData"));
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(folders.folderData, userData + "/CXViewerFolderData");
    QVERIFY(QFileInfo(folders.folderData).isDir());
}

// Plain F sets the lists' font size from the application's; in the favorites
// Delete and Backspace remove the current one and Return opens it; Shift and a
// step key in either list step the strip.
void TestMainWindow::listKeys()
{
    restartWithFavorites({{path("images"), 1}, {path("cx"), 3}, {path("dicom"), 2}});
    QListWidget *list = folders()->favoritesList();
    QTreeView *tree = folders()->directoryTree();
    MapsPanel *maps = part<MapsPanel>();
    KeyRecorder recorder;
    tree->installEventFilter(&recorder);
    viewer->coverFlow()->installEventFilter(&recorder);
    QVERIFY(focus(tree));
    QApplication::setFont(QFont("DejaVu Sans", 13));
    QTest::keyClick(tree, Qt::Key_F);
    for (QWidget *widget : QList<QWidget *>{list, tree, maps->mapFileList(), maps->subMapList()})
        QCOMPARE(widget->styleSheet(), QString("font-size: 13pt;"));
    // A pixel-sized font has no point size: the default takes its place.
    QFont pixelFont("DejaVu Sans");
    pixelFont.setPixelSize(12);
    QApplication::setFont(pixelFont);
    QTest::keyClick(tree, Qt::Key_F);
    QCOMPARE(tree->styleSheet(), QString("font-size: 8.25pt;"));
    QVERIFY(recorder.keys.isEmpty());

    QCOMPARE(list->item(1)->toolTip(), path("cx"));
    QVERIFY(focus(list));
    list->setCurrentRow(-1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(folders()->favorites().size(), 3);
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(folders()->favorites(), QStringList({path("images"), path("dicom")}));
    QCOMPARE(folders()->favoriteMode(1), BrowsingMode::RawMRI);
    QCOMPARE(list->count(), 2);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(folders()->favorites(), QStringList({path("dicom")}));
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(QDir::currentPath(), path("dicom"));
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);

    openFolder("images");
    for (QWidget *widget : QList<QWidget *>{list, tree}) {
        QVERIFY(focus(widget));
        const int before = viewer->coverFlow()->selectedIndex;
        QTest::keyClick(widget, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(viewer->coverFlow()->selectedIndex, before + 1);
    }
    // Handled by the window, and handed straight to the strip's key handler.
    QVERIFY(!recorder.keys.contains(Qt::Key_Right));
}

// What the strip and the views ask of the window reaches it. Ctrl+F enters and leaves full screen;
// Escape leaves it, and passes on outside it. Leaving shows again what was visible before, and
// nothing else.
void TestMainWindow::requestsReachTheWindow()
{
    CoverFlowBrowser *cf = viewer->coverFlow();
    QToolBar *toolBar = part<QToolBar>();
    const QList<QWidget *> restored = {toolBar, dock("Directory Tree"), dock("Properties"),
                                       dock("Available Maps")};
    KeyRecorder recorder;
    cf->installEventFilter(&recorder);
    QVERIFY(focus(cf));
    dock("Favorite Folders")->close();

    QTest::keyClick(cf, Qt::Key_Escape);
    QCOMPARE(recorder.keys, QList<int>({Qt::Key_Escape}));
    QVERIFY(toolBar->isVisible());
    QTest::keyClick(cf, Qt::Key_F, Qt::ControlModifier);
    for (QWidget *widget : restored)
        QVERIFY(!widget->isVisible());
    QTRY_VERIFY(viewer->isFullScreen());

    QTest::keyClick(cf, Qt::Key_F, Qt::ControlModifier);
    for (QWidget *widget : restored)
        QVERIFY(widget->isVisible());
    QVERIFY(!dock("Favorite Folders")->isVisible());
    QTRY_VERIFY(!viewer->isFullScreen());

    QTest::keyClick(cf, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!toolBar->isVisible());
    recorder.keys.clear();
    QTest::keyClick(cf, Qt::Key_Escape);
    QVERIFY(toolBar->isVisible());
    QVERIFY(recorder.keys.isEmpty());
    QTRY_VERIFY(!viewer->isFullScreen());

    openFolder("images");
    auto *splitter = viewer->findChild<QSplitter *>("mainWindowSplitter");
    const QList<int> before = splitter->sizes();
    emit cf->stripResizeRequested(15);
    QCOMPARE(splitter->sizes(), QList<int>({before[0] + 15, before[1] - 15}));
    emit cf->stripCollapseRequested();
    QCOMPARE(splitter->sizes(), QList<int>({0, before[0] + before[1]}));
    emit cf->inputKindChanged(2);
    QCOMPARE(viewer->inputKind(), 2);
    emit part<VolumeOGLViewer>()->inputKindChanged(1);
    QCOMPARE(viewer->inputKind(), 1);
    emit cf->fullScreenRequested();
    QVERIFY(!toolBar->isVisible());
    emit cf->fullScreenRequested();
    QVERIFY(toolBar->isVisible());

    // A measured image reaches the store and the images panel.
    emit part<ImageOGLViewer>()->imageMeasured(1, 640, 480, 6);
    QCOMPARE(covers()->imageWidth(1), 640);
    QCOMPARE(covers()->imageHeight(1), 480);
    QCOMPARE(covers()->imageOrientation(1), 6);
    QCOMPARE(shown(part<PropertyPanels>()->imagePropertiesBrowser(), "Width:"), QString("640"));

    // Keys and swipes of the views step the strip.
    emit part<VolumeOGLViewer>()->coverFlowKeyPressed(Qt::Key_Right);
    QCOMPARE(cf->selectedIndex, 1);
    emit part<MeshOGLViewer>()->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 0);
    emit part<RawMRIDataOGLViewer>()->coverFlowSwiped(false);
    QCOMPARE(cf->selectedIndex, 3);

    // Touch asks for larger list fonts.
    emit part<MeshOGLViewer>()->touchFontSizeRequested(11);
    QCOMPARE(folders()->favoritesList()->styleSheet(), QString("font-size: 11pt;"));
}

// The maps panel lists the map files of the item inspected last; its clicks go
// to the view that filled it, which says why a map file cannot be shown.
void TestMainWindow::mapListsFollowTheView()
{
    QDir(tmp.path()).mkpath("maps");
    writeFile(path("maps/a.srf"), SrfFixture::octahedron().bytes());
    SmpFixture smp;
    smp.maps = {SmpFixture::Map()};
    writeFile(path("maps/fits.smp"), smp.bytes());
    smp.nrOfVertices = 3;
    writeFile(path("maps/other.smp"), smp.bytes());
    VmrFixture volume;
    volume.dimX = volume.dimY = volume.dimZ = 40;
    writeFile(path("maps/v.vmr"), volume.bytes());
    VmpFixture vmp;
    vmp.maps[0].name = "faces";
    writeFile(path("maps/m.vmp"), vmp.current());

    openFolder("maps");
    QListWidget *files = part<MapsPanel>()->mapFileList();
    QListWidget *maps = part<MapsPanel>()->subMapList();
    const auto click = [](QListWidget *list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    // The mesh first: only the SMP made for its six vertices.
    QCOMPARE(shownView(), part<MeshOGLViewer>());
    QTRY_COMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("fits.smp"));
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("t map"));

    // The volume next: its VMP, and the clicks reach the volume view only.
    CoverFlowBrowser *cf = viewer->coverFlow();
    cf->setCurrentCoverIndex(1);
    cf->emitCurrentItemChangedForInspection();
    VolumeOGLViewer *volumeView = part<VolumeOGLViewer>();
    QCOMPARE(shownView(), volumeView);
    QTRY_COMPARE(files->count(), 1);
    QCOMPARE(files->item(0)->text(), QString("m.vmp"));
    QCOMPARE(maps->count(), 0);
    click(files, 0);
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("faces"));

    // A map file that cannot be read says why over the volume, which stays in sight;
    // one that can be read takes the line away.
    writeFile(path("maps/bad.vmp"), "not a map");
    cf->emitCurrentItemChangedForInspection();
    QTRY_COMPARE(files->count(), 2);
    QCOMPARE(files->item(0)->text(), QString("bad.vmp"));
    click(files, 0);
    QCOMPARE(volumeView->failureNote(),
             QString("bad.vmp: VMP version 28526 is not supported (versions 1 to 4 of the "
                     "older format are)"));
    QVERIFY(volumeView->volume() && !volumeView->shownImage().isNull());
    QVERIFY(part<MeshOGLViewer>()->failureNote().isEmpty());
    click(files, 1);
    QCOMPARE(volumeView->failureNote(), QString());
    QFile::remove(tmp.filePath("maps/bad.vmp"));
}

// Each mode lists its own files, shows its view and panel; a folder clicked in
// the tree is listed in the current mode.
void TestMainWindow::listingPerMode()
{
    openFolder("images");
    QCOMPARE(coverNames(), QStringList({"a.PNG", "B.jpg", "d.jpeg", "e.GIF"}));
    QVERIFY(!viewer->coverFlow()->drawCoverFrames);
    QCOMPARE(part<QStackedWidget>()->currentIndex(), 0);
    QVERIFY(!dock("Available Maps")->isVisible());

    openFolder("cx");
    QCOMPARE(coverNames(), QStringList({"x.vmr", "Y.SRF"}));
    QVERIFY(viewer->coverFlow()->drawCoverFrames);
    QVERIFY(dock("Available Maps")->isVisible());

    openFolder("dicom");
    QCOMPARE(coverNames(), QStringList({"IM0003", "im1.dcm", "IM2.DCM"}));
    QCOMPARE(part<QStackedWidget>()->currentIndex(), 3);
    QVERIFY(action("MRI Data")->isChecked() && !action("CX Data")->isChecked());

    clickInTree("cx");
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);
    QCOMPARE(QDir::currentPath(), path("cx"));
    QVERIFY(covers()->isEmpty());
    clickInTree("dicom");
    QCOMPARE(coverNames(), QStringList({"IM0003", "im1.dcm", "IM2.DCM"}));

    // An empty or vanished folder gives no covers and no inspection request.
    QSignalSpy inspect(viewer->coverFlow(), &CoverFlowBrowser::rawMRIFileForInspectionChanged);
    QDir(tmp.path()).mkpath("vanishing");
    clickInTree("vanishing");
    QVERIFY(covers()->isEmpty());
    QVERIFY(QDir(path("vanishing")).removeRecursively());
    viewer->setBrowsingMode(BrowsingMode::RawMRI);
    QVERIFY(covers()->isEmpty());
    QCOMPARE(inspect.count(), 0);
}

// Only the active mode's signals reach the panels and views; CX files go to the
// mesh view or the volume view by their extension.
void TestMainWindow::modeSwitchesReconnectSignals()
{
    const QString file = path("images/a.PNG");
    CoverFlowBrowser *cf = viewer->coverFlow();
    PropertyPanels *panels = part<PropertyPanels>();
    openFolder("images");
    emit cf->currentCXItemChanged(0, file);
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(shown(panels->cxPropertiesBrowser()), QString());
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString());
    emit cf->currentItemChanged(0, file, 10, 20, 1);
    QCOMPARE(shown(panels->imagePropertiesBrowser()), QString("a.PNG"));

    action("MRI Data")->trigger();
    emit cf->currentItemChanged(0, path("images/B.jpg"), 1, 2, 1);
    QCOMPARE(shown(panels->imagePropertiesBrowser()), QString());
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));

    action("CX Data")->trigger();
    emit cf->currentRawMRIItemChanged(0, path("images/B.jpg"));
    QCOMPARE(shown(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));
    emit cf->currentCXItemChanged(0, file);
    QCOMPARE(shown(panels->cxPropertiesBrowser()), QString("a.PNG"));
    QStackedWidget *stack = part<QStackedWidget>();
    emit cf->CXFileForInspectionChanged(0, path("cx/x.vmr"));
    QCOMPARE(stack->currentIndex(), 2);
    // By the ending, not the last letters of the name.
    emit cf->CXFileForInspectionChanged(0, "/data/srf");
    QCOMPARE(stack->currentIndex(), 2);

    // Clicking the active mode's button lists the folder again.
    openFolder("cx");
    writeFile(path("cx/new.vmr"));
    action("CX Data")->trigger();
    QCOMPARE(coverNames(), QStringList({"new.vmr", "x.vmr", "Y.SRF"}));
    QVERIFY(action("CX Data")->isChecked());
    QFile::remove(path("cx/new.vmr"));
}

void TestMainWindow::shownFilesPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("group");
    QTest::newRow("images") << 1 << QString("shown/images") << QString("Image Properties");
    QTest::newRow("raw MRI data") << 2 << QString("shown/dicom") << QString("DICOM Header");
    QTest::newRow("CX data") << 3 << QString("shown/cx") << QString("VMR Info / Talairach Coords");
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
    openFolder(folder);
    QCOMPARE(viewer->browsingMode(), browsingModeOfNumber(mode));
    auto *browser = qobject_cast<QtTreePropertyBrowser *>(dock("Properties")->widget());
    QVERIFY(browser);
    CoverFlowBrowser *cf = viewer->coverFlow();
    QVERIFY(focus(cf));
    // Each cover slides in, in one frame, before the next step, so that every view is drawn.
    cf->animationStep = 50;
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Plus,
                        Qt::Key_Minus}) {
        const int before = cf->selectedIndex;
        QTest::keyClick(cf, key);
        QVERIFY(cf->selectedIndex != before);
        QCOMPARE(shown(browser), coverNames().value(cf->selectedIndex));
        QCOMPARE(shown(browser, "Folder"), path(folder));
        QTRY_VERIFY(!cf->animating);
    }

    // What the views of the mode hold: pictures, textures, buffers, documents.
    VolumeOGLViewer *volumeView = part<VolumeOGLViewer>();
    MeshOGLViewer *meshView = part<MeshOGLViewer>();
    const auto held = [&] {
        QStringList found;
        for (PlaneView *view :
             QList<PlaneView *>{part<ImageOGLViewer>(), part<RawMRIDataOGLViewer>(), volumeView}) {
            if (!view->shownImage().isNull())
                found << view->metaObject()->className() + QString(" image");
            if (view->hasTexture())
                found << view->metaObject()->className() + QString(" texture");
        }
        if (meshView->hasBuffers())
            found << "mesh buffers";
        if (volumeView->volume())
            found << "volume";
        if (meshView->mesh())
            found << "mesh";
        return found;
    };
    // The volume shown last; the mesh view let go of its mesh then.
    const QList<QStringList> ofMode = {
        {"ImageOGLViewer image", "ImageOGLViewer texture"},
        {"RawMRIDataOGLViewer image", "RawMRIDataOGLViewer texture"},
        {"VolumeOGLViewer image", "VolumeOGLViewer texture", "volume"}};
    QTRY_COMPARE(held(), ofMode[mode - 1]);
    // Labels and values side by side, each cut short with its whole text on hovering.
    QTreeWidget *tree = browser->treeWidget();
    QTRY_VERIFY(tree->viewport()->width() > 100);
    const QRect viewport = tree->viewport()->rect();
    const QHeaderView *header = tree->header();
    const QRect labels(header->sectionViewportPosition(0), 0, header->sectionSize(0), 1);
    const QRect values(header->sectionViewportPosition(1), 0, header->sectionSize(1), 1);
    QCOMPARE_GE(viewport.intersected(values).width(), viewport.width() / 3);
    QVERIFY(viewport.contains(labels.topRight()) && labels.width() > viewport.width() / 4);
    QVERIFY(!tree->horizontalScrollBar()->isVisible());
    const QTreeWidgetItem *groupItem = tree->findItems(group, Qt::MatchExactly).value(0);
    QVERIFY(groupItem && groupItem->isExpanded());
    for (int i = 0; i < groupItem->childCount(); ++i) {
        const QTreeWidgetItem *item = groupItem->child(i);
        QCOMPARE(item->toolTip(0), item->text(0));
        QCOMPARE(item->toolTip(1), item->text(1));
    }

    viewer->setBrowsingMode(browsingModeOfNumber(mode % 3 + 1));
    QCOMPARE(held(), QStringList());
}

// Favorites open in the mode stored with them; a drag reorders them, a double
// click in the tree adds a folder once, and the list is saved as it stands.
void TestMainWindow::favorites()
{
    restartWithFavorites(
        {{path("images"), 1}, {path("cx"), 0}, {path("dicom"), 2}, {path("images"), 7}});
    QListWidget *list = folders()->favoritesList();
    const auto open = [&](int row) {
        list->setCurrentRow(row);
        emit list->itemClicked(list->item(row));
    };
    FolderThumbnails *thumbnails = part<FolderThumbnails>();
    open(0);
    QCOMPARE(viewer->browsingMode(), BrowsingMode::Images);
    QVERIFY(thumbnails->isMakingThumbnails());
    QCOMPARE(QDir::currentPath(), path("images"));
    open(1);
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);
    // Files that cannot be read are tried once.
    QTRY_VERIFY(!thumbnails->isMakingThumbnails());
    open(2);
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);
    open(3);
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);
    QCOMPARE(QDir::currentPath(), path("images"));

    restartWithFavorites({{path("images"), 1}, {path("cx"), 3}, {path("dicom"), 2}});
    list = folders()->favoritesList();
    // The drop of an internal move ends in this call.
    QVERIFY(list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
    QCOMPARE(list->item(2)->text(), QString("images"));
    QCOMPARE(folders()->favorites(), QStringList({path("cx"), path("dicom"), path("images")}));
    QCOMPARE(folders()->favoriteMode(0), BrowsingMode::CXData);
    QCOMPARE(folders()->favoriteMode(2), BrowsingMode::Images);
    QVERIFY(list->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    QCOMPARE(folders()->favorites(), QStringList({path("images"), path("cx"), path("dicom")}));
    open(2);
    QCOMPARE(viewer->browsingMode(), BrowsingMode::RawMRI);

    QTreeView *tree = folders()->directoryTree();
    auto *model = static_cast<QFileSystemModel *>(tree->model());
    for (int i = 0; i < 2; ++i)
        emit tree->doubleClicked(model->index(path("work")));
    QCOMPARE(list->count(), 4);
    QCOMPARE(folders()->favorites().last(), path("work"));
    QCOMPARE(folders()->favoriteMode(3), BrowsingMode::RawMRI);

    quitViewer();
    const QByteArray saved = favoritesFile(
        {{path("images"), 1}, {path("cx"), 3}, {path("dicom"), 2}, {path("work"), 2}});
    QCOMPARE(readAll(path("app/CXViewerFolderData/FavoriteFolders.cxf")), saved);
    startViewer();
    QCOMPARE(folders()->favorites(),
             QStringList({path("images"), path("cx"), path("dicom"), path("work")}));
}

// The favorites and the visited folders last across restarts; damaged files are
// read as far as they go, and kept aside once their contents change.
void TestMainWindow::savedFiles()
{
    const QString favorites = path("app/CXViewerFolderData/FavoriteFolders.cxf");
    const QString visited = path("app/CXViewerFolderData/VisitedFolders.cxv");
    // No files yet: the sample folder is the one favorite, in images mode.
    QCOMPARE(folders()->favorites(), QStringList({path("app/ViewerData")}));
    QCOMPARE(folders()->favoriteMode(0), BrowsingMode::Images);
    QDir(tmp.path()).mkpath("app/ViewerData");
    writeFile(path("app/ViewerData/pic.png"));
    viewer->autoSelectFirstFavFolder();
    QCOMPARE(viewer->browsingMode(), BrowsingMode::Images);
    QCOMPARE(coverNames(), QStringList({"pic.png"}));
    QDir(path("app/ViewerData")).removeRecursively();

    // Removing every favorite lasts.
    QListWidget *list = folders()->favoritesList();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Delete);
    quitViewer();
    QCOMPARE(readAll(favorites), hex("01000000 00000000"));
    startViewer();
    QVERIFY(folders()->favorites().isEmpty());
    viewer->autoSelectFirstFavFolder();
    QCOMPARE(viewer->browsingMode(), BrowsingMode::CXData);

    // An index whose raw data map is cut short: the images map before it is kept.
    quitViewer();
    const QString stored = "a_1_2011-05-04T13-22-11.cxi";
    const QByteArray damagedFavorites = hex("01000000 14000000 04000000 2F00 6100 01000000");
    const QByteArray damagedVisited =
        hex("01000000") + string("/a") + string(stored) + hex("01000000 0400");
    writeFile(favorites, damagedFavorites);
    writeFile(visited, damagedVisited);
    startViewer();
    QCOMPARE(folders()->favorites(), QStringList({"/a"}));
    emit folders()->directoryTree()->doubleClicked(
        static_cast<QFileSystemModel *>(folders()->directoryTree()->model())->index(path("cx")));
    // The images folder's thumbnails, made on opening it, are stored when it is left.
    openFolder("images");
    QTRY_VERIFY(!part<FolderThumbnails>()->isMakingThumbnails());
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
    QCOMPARE(folders()->favorites(), QStringList({"/a", path("cx")}));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
