#include "CXSCore.h"
#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "DicomFixture.h"
#include "HeaderTexts.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantProperty.h"
#include "SrfFixture.h"
#include "SurfaceMesh.h"
#include "VmrFixture.h"

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

QStringList propertyNames(const QList<QtVariantProperty *> &props)
{
    QStringList names;
    for (QtVariantProperty *p : props)
        names << p->propertyName();
    return names;
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
    void propertyPanels();
    void headerPanels();
    void srfType_data();
    void srfType();
    void sizeTexts_data();
    void sizeTexts();
    void fullScreenKeys();
    void fullScreenRestoresVisibleDocksOnly();
    void plainFResetsListFonts();
    void favoritesListKeys();
    void shiftKeysStepCoverFlow();

private:
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
    QCOMPARE(viewer->propertiesDock->widget(), viewer->cxPropertiesBrowser);
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

void TestMainWindow::propertyPanels()
{
    struct Expected
    {
        QtTreePropertyBrowser *browser;
        QStringList groups;
        QList<QStringList> members;
    };
    const QStringList file = {"Name", "Folder", "Size"};
    const QStringList dicom = {"No. of rows",
                               "No. of columns",
                               "Pixel spacing",
                               "Slice thickness",
                               "Spacing bw slices",
                               "Bits allocated",
                               "Repetition time",
                               "Series number",
                               "Acquisition number",
                               "Instance number",
                               "Patient position",
                               "Image position patient",
                               "Image orientation patient",
                               "Image type",
                               "Modality",
                               "Manufacturer",
                               "Manufacturers model name",
                               "Magnetic field strength",
                               "Institution name",
                               "Study description",
                               "Series description",
                               "Patients name",
                               "Byte order"};
    const QList<Expected> expected = {
        {viewer->imagePropertiesBrowser,
         {"File Properties", "Image Properties"},
         {file, {"Width:", "Height:"}}},
        {viewer->cxPropertiesBrowser,
         {"File Properties", "VMR Info / Talairach Coords", "SRF Header"},
         {file,
          {"Dims X/Y/Z", "X", "Y", "Z"},
          {"Type", "No. of vertices", "Mean no. of neighbors", "No. of triangles", "No. of edges",
           "Mean edge length"}}},
        {viewer->rawMRIPropertiesBrowser, {"File Properties", "DICOM Header"}, {file, dicom}},
    };
    for (const Expected &e : expected) {
        const QList<QtBrowserItem *> tops = e.browser->topLevelItems();
        QCOMPARE(tops.size(), e.groups.size());
        for (int g = 0; g < tops.size(); ++g) {
            QCOMPARE(tops[g]->property()->propertyName(), e.groups[g]);
            QCOMPARE(propertyNames(tops[g]->property()->subProperties()), e.members[g]);
            for (QtVariantProperty *p : tops[g]->property()->subProperties())
                QCOMPARE(p->valueText(), QString());
        }
        QVERIFY(!e.browser->isHeaderVisible());
    }
    QVERIFY(!viewer->cxPropertiesBrowser->isExpanded(viewer->vmrGroupItem));
    QVERIFY(!viewer->cxPropertiesBrowser->isExpanded(viewer->srfGroupItem));
    // Each browser has its own file properties.
    QVERIFY(viewer->imageFileNameProp != viewer->cxFileNameProp);
    QVERIFY(viewer->cxFileNameProp != viewer->rawMRIFileNameProp);

    // A renamed property shows its new name in the tree.
    viewer->vmrXProp->setPropertyName("TAL X");
    QCOMPARE(
        viewer->cxPropertiesBrowser->treeWidget()->findItems("TAL X", Qt::MatchRecursive).size(),
        1);
}

void TestMainWindow::headerPanels()
{
    const auto write = [this](const QString &name, const QByteArray &data) {
        QFile file(tmp.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(data);
        return file.fileName();
    };
    auto *core = qobject_cast<CXSCore *>(viewer->cxsCore);
    QVERIFY(core);

    VmrFixture volume;
    volume.dimX = 6;
    volume.version = 3;
    volume.talairach = 1;
    QVERIFY(core->loadVMR(write("anat.vmr", volume.bytes())));
    viewer->updateHeaderOfLoadedVMR();
    QCOMPARE(viewer->vmrDimsProp->valueText(), QString("3 / 6 / 4"));
    QCOMPARE(viewer->vmrXProp->propertyName(), QString("TAL X"));
    QCOMPARE(viewer->vmrZProp->propertyName(), QString("TAL Z"));
    QVERIFY(viewer->cxPropertiesBrowser->isExpanded(viewer->vmrGroupItem));
    QVERIFY(!viewer->cxPropertiesBrowser->isExpanded(viewer->srfGroupItem));

    QVERIFY(core->loadMesh(write("octa.srf", SrfFixture::octahedron().bytes())));
    viewer->updateHeaderOfLoadedSRF();
    const QStringList srf = {"Reconstructed", "6", "4", "8", "12", "1.41421"};
    QtVariantProperty *const srfProps[] = {
        viewer->srfTypeProp,          viewer->srfNrOfVerticesProp, viewer->srfMeanNrOfNeighborsProp,
        viewer->srfNrOfTrianglesProp, viewer->srfNrOfEdgesProp,    viewer->srfMeanEdgeLengthProp};
    for (int i = 0; i < srf.size(); ++i)
        QCOMPARE(srfProps[i]->valueText(), srf[i]);
    QVERIFY(!viewer->cxPropertiesBrowser->isExpanded(viewer->vmrGroupItem));
    QVERIFY(viewer->cxPropertiesBrowser->isExpanded(viewer->srfGroupItem));

    viewer->updateHeaderOfLoadedDICOM();
    QCOMPARE(viewer->dicomHeaderProps[0]->valueText(), QString());
    DicomFixture image(DicomFixture::ExplicitBigEndian);
    image.text(0x0018, 0x0050, "DS", "1.25")
        .text(0x0020, 0x0011, "IS", "7")
        .text(0x0010, 0x0010, "PN", "Doe^Jane")
        .text(0x0028, 0x0030, "DS", "0.9375\\0.5")
        .unsignedShort(0x0028, 0x0010, 2)
        .unsignedShort(0x0028, 0x0011, 1)
        .unsignedShort(0x0028, 0x0100, 16)
        .pixels({100, 200});
    QVERIFY(core->loadDICOM(write("slice.dcm", image.file())));
    viewer->updateHeaderOfLoadedDICOM();
    const QStringList labels = dicomHeaderLabels();
    const auto shown = [&](const char *label) {
        return viewer->dicomHeaderProps[labels.indexOf(label)]->valueText();
    };
    QCOMPARE(shown("No. of rows"), QString("2"));
    QCOMPARE(shown("No. of columns"), QString("1"));
    QCOMPARE(shown("Pixel spacing"), QString("0.9375\\0.5"));
    QCOMPARE(shown("Slice thickness"), QString("1.25"));
    QCOMPARE(shown("Series number"), QString("7"));
    QCOMPARE(shown("Acquisition number"), QString("-1"));
    QCOMPARE(shown("Patients name"), QString("Doe^Jane"));
    QCOMPARE(shown("Byte order"), QString("Big Endian"));
}

void TestMainWindow::srfType_data()
{
    QTest::addColumn<int>("reservedValue");
    QTest::addColumn<int>("triangles");
    QTest::addColumn<QString>("type");
    QTest::newRow("reconstructed") << 0 << 1000 << "Reconstructed";
    QTest::newRow("icosahedron count") << 0 << 81920 << "Sphere";
    QTest::newRow("extended wins") << 1 << 81920 << "Reconstructed with extended set of neighbors";
    QTest::newRow("sphere") << 2 << 10 << "Sphere";
    QTest::newRow("other") << 5 << 20480 << "Sphere";
    QTest::newRow("none") << 5 << 20481 << "";
}

void TestMainWindow::srfType()
{
    QFETCH(int, reservedValue);
    QFETCH(int, triangles);
    CXSCore core;
    SurfaceMesh mesh(&core);
    mesh.reservedValue = reservedValue;
    mesh.nrOfTriangles = triangles;
    QTEST(srfHeaderValues(mesh).first(), "type");
}

void TestMainWindow::sizeTexts_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 0 << "0 bytes";
    QTest::newRow("1024") << 1024 << "1024 bytes";
    QTest::newRow("1025") << 1025 << "1.00 KB";
    QTest::newRow("1536") << 1536 << "1.50 KB";
    QTest::newRow("1048576") << 1048576 << "1024.00 KB";
    QTest::newRow("1048577") << 1048577 << "1.00 MB";
    QTest::newRow("5.25 MB") << 5505024 << "5.25 MB";
}

void TestMainWindow::sizeTexts()
{
    QFETCH(int, size);
    QFETCH(QString, text);
    const QString name = tmp.filePath(QString("data/file%1.png").arg(size));
    QDir(tmp.path()).mkpath("data");
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    file.close();

    viewer->updateCXFileProperties(3, name);
    QCOMPARE(viewer->cxSizeProp->valueText(), text);
    QCOMPARE(viewer->cxFileNameProp->valueText(), QString("file%1.png").arg(size));
    QCOMPARE(viewer->cxFolderProp->valueText(), tmp.filePath("data"));
    viewer->updateRawMRIFileProperties(0, name);
    QCOMPARE(viewer->rawMRISizeProp->valueText(), text);
    viewer->updateImageFileProperties(0, name, 640, -1, 6);
    QCOMPARE(viewer->imageSizeProp->valueText(), text);
    QCOMPARE(viewer->imageWidthProp->valueText(), QString("640"));
    QCOMPARE(viewer->imageHeightProp->valueText(), QString());

    viewer->updateImageFileProperties(-1, "", 0, 0, 1);
    QCOMPARE(viewer->imageFileNameProp->valueText(), QString());
    QCOMPARE(viewer->imageSizeProp->valueText(), QString());
    QCOMPARE(viewer->imageWidthProp->valueText(), QString());
    viewer->updateCXFileProperties(0, tmp.filePath("missing.vmr"));
    QCOMPARE(viewer->cxSizeProp->valueText(), QString("0 bytes"));
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
    QCOMPARE(viewer->availableMapsLsWdg->styleSheet(), expected);
    QCOMPARE(viewer->availableSubMapsLsWdg->styleSheet(), expected);

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
    KeyRecorder recorder;
    viewer->coverFlowBrowser->installEventFilter(&recorder);
    viewer->favoriteFoldersLsWdg->setFocus();
    QVERIFY(QTest::qWaitFor([this] { return viewer->favoriteFoldersLsWdg->hasFocus(); }));
    const int before = viewer->favoriteFoldersLsWdg->currentRow();
    QTest::keyClick(viewer->favoriteFoldersLsWdg, Qt::Key_Right, Qt::ShiftModifier);
    // Handed straight to the cover flow's key handler, not through the event system.
    QVERIFY(recorder.keys.isEmpty());
    QCOMPARE(viewer->favoriteFoldersLsWdg->currentRow(), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
