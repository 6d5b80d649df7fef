#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "FolderDataFiles.h"
#include "PropertyPanels.h"

#include <QBuffer>
#include <QDockWidget>
#include <QFileSystemModel>
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include "QtTreePropertyBrowser.h"

#include <QTreeWidget>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray utf16le(const QString &text)
{
    QByteArray b;
    for (QChar c : text)
        b += le32(c.unicode()).left(2);
    return b;
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

QStringList coverNames(CoverFlowBrowser *coverFlow)
{
    QStringList names;
    for (int i = 0; i < coverFlow->coverStore()->count(); ++i)
        names << QFileInfo(coverFlow->coverStore()->fileName(i)).fileName();
    return names;
}

} // namespace

class TestFolders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void favoritesFileBytes();
    void favoritesDamaged_data();
    void favoritesDamaged();
    void damagedFilesKept_data();
    void damagedFilesKept();
    void saveOnFullDisk();
    void firstStartAndRemovingAll();
    void visitedFoldersBytes();
    void visitedFoldersTruncated();
    void listingPerMode();
    void modeSwitchesReconnectSignals();
    void routingOfCXItems();
    void favoritesOpenInStoredMode();
    void treeFolderKeepsMode();
    void doubleClickAddsOnce();
    void draggingReordersFavorites();

private:
    CortivexViewer *startViewer();
    QString path(const QString &relative) const { return tmp.filePath(relative); }

    QTemporaryDir tmp;
    CortivexViewer *viewer = nullptr;
};

void TestFolders::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    root.mkpath("work");
    root.mkpath("images");
    root.mkpath("images/sub.png");
    root.mkpath("cx");
    root.mkpath("dicom");
    QDir::setCurrent(path("work"));
    for (const char *name : {"a.PNG", "B.jpg", "c.txt", "d.jpeg", "e.GIF", ".hidden.png"})
        writeFile(path(QString("images/") + name));
    QFile::link(path("images/a.PNG"), path("images/link.png"));
    for (const char *name : {"x.vmr", "Y.SRF", "z.smp", "w.vmp"})
        writeFile(path(QString("cx/") + name));
    for (const char *name : {"IM2.DCM", "im1.dcm", "notes.txt"})
        writeFile(path(QString("dicom/") + name));
}

// Builds a window the way the entry point does, with its data next to "app".
CortivexViewer *TestFolders::startViewer()
{
    QDir(tmp.path()).mkpath("app");
    auto *w = new CortivexViewer;
    w->initDataFolders(path("app"));
    w->loadFavoriteFoldersList();
    w->fillFavoriteFoldersLsWdg();
    w->loadVisitedFoldersToThumbnailFilesMaps();
    w->resize(1000, 700);
    w->show();
    return w;
}

void TestFolders::init()
{
    QDir(path("app/CXViewerFolderData")).removeRecursively();
    viewer = startViewer();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
}

void TestFolders::cleanup()
{
    delete viewer;
    viewer = nullptr;
    QDir::setCurrent(path("work"));
}

void TestFolders::favoritesFileBytes()
{
    // "/d/Ü脳𝄞": the last character takes a surrogate pair.
    viewer->favoriteFolders = {QString::fromUtf8("/d/Ü脳𝄞"), "/a"};
    viewer->favoriteFolderModes = {3, 1};
    viewer->saveFavoriteFoldersList();
    const QByteArray expected = hex("01000000 02000000"
                                    "0E000000 2F00 6400 2F00 DC00 3381 34D8 1EDD 03000000"
                                    "04000000 2F00 6100 01000000");
    QCOMPARE(readAll(path("app/CXViewerFolderData/FavoriteFolders.cxf")), expected);

    viewer->loadFavoriteFoldersList();
    QCOMPARE(viewer->favoriteFolders, QStringList({QString::fromUtf8("/d/Ü脳𝄞"), "/a"}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({3, 1}));
}

void TestFolders::favoritesDamaged_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<bool>("complete");
    const QByteArray entryA = hex("04000000 2F00 6100 01000000");
    const QByteArray entryB = hex("04000000 2F00 6200 02000000");
    QTest::newRow("whole") << hex("01000000 02000000") + entryA + entryB
                           << QStringList({"/a", "/b"}) << true;
    QTest::newRow("count beyond entries")
        << hex("01000000 14000000") + entryA + entryB << QStringList({"/a", "/b"}) << false;
    QTest::newRow("entry cut short")
        << hex("01000000 02000000") + entryA + entryB.left(7) << QStringList({"/a"}) << false;
    QTest::newRow("negative count") << hex("01000000 FFFFFFFF") + entryA << QStringList() << false;
    QTest::newRow("absurd count") << hex("01000000 FFFFFF7F") + entryA << QStringList({"/a"})
                                  << false;
    QTest::newRow("odd string length")
        << hex("01000000 01000000 03000000 2F00 61") << QStringList() << false;
    QTest::newRow("huge string length")
        << hex("01000000 01000000 FEFFFF7F 2F00 6100 01000000") << QStringList() << false;
    QTest::newRow("null string") << hex("01000000 01000000 FFFFFFFF 01000000")
                                 << QStringList({QString()}) << true;
    QTest::newRow("empty file") << QByteArray() << QStringList() << false;
}

void TestFolders::favoritesDamaged()
{
    QFETCH(QByteArray, data);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QStringList folders;
    QList<int> modes;
    QTEST(readFavoriteFolders(buffer, folders, modes), "complete");
    QTEST(folders, "folders");
    QCOMPARE(modes.size(), folders.size());
}

void TestFolders::damagedFilesKept_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("kind");
    const QByteArray entries = hex("04000000 2F00 6100 01000000 04000000 2F00 6200 02000000");
    QTest::newRow("favorites counting 20, holding 2")
        << "FavoriteFolders.cxf" << hex("01000000 14000000") + entries << "file";
    QTest::newRow("favorites garbage")
        << "FavoriteFolders.cxf" << QByteArray("not a list at all") << "file";
    QTest::newRow("favorites unreadable") << "FavoriteFolders.cxf" << entries << "unreadable";
    QTest::newRow("favorites as a FIFO") << "FavoriteFolders.cxf" << QByteArray() << "fifo";
    QTest::newRow("visited cut short")
        << "VisitedFolders.cxv" << hex("01000000 04000000 2F00 6100 02000000 6100 0100") << "file";
    QTest::newRow("visited garbage") << "VisitedFolders.cxv" << QByteArray(21, '\xEE') << "file";
    QTest::newRow("visited unreadable") << "VisitedFolders.cxv" << entries << "unreadable";
}

// A file the viewer cannot read whole is left alone until the user changes what
// it holds; then it is kept aside and the new contents written.
void TestFolders::damagedFilesKept()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, data);
    QFETCH(QString, kind);
    if (kind == "unreadable" && geteuid() == 0)
        QSKIP("file permissions do not bind the super-user");
    const QString file = path("app/CXViewerFolderData/" + name);
    const QString damaged = file + ".damaged";
    const bool favorites = name.startsWith("Favorite");
    delete viewer;
    viewer = nullptr;
    QFile::remove(file);
    if (kind == "fifo") {
        QVERIFY(mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
    } else {
        writeFile(file, data);
        if (kind == "unreadable")
            QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
    }

    // Started and quit without a change: nothing is written.
    viewer = startViewer();
    const QStringList readFolders = viewer->favoriteFolders;
    delete viewer;
    viewer = nullptr;
    QVERIFY(!QFile::exists(damaged));
    if (kind == "fifo")
        QVERIFY(QFileInfo(file).isFile() == false && QFileInfo::exists(file));
    else
        QVERIFY(QFileInfo(file).size() == data.size());
    if (kind == "file")
        QCOMPARE(readAll(file), data);

    // A change replaces the file and keeps the damaged one beside it.
    viewer = startViewer();
    QCOMPARE(viewer->favoriteFolders, readFolders);
    if (favorites) {
        viewer->doubleClickedFolder(viewer->fileSystemModel->index(path("cx")));
        delete viewer;
        viewer = nullptr;
    } else {
        viewer->cxFoldersToThumbnailFiles.insert("/x", "x_3.cxi");
        viewer->saveVisitedFoldersToThumbnailFilesMaps();
    }
    QVERIFY(QFileInfo::exists(damaged));
    if (kind == "file")
        QCOMPARE(readAll(damaged), data);
    QFile::setPermissions(damaged, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    if (favorites) {
        QStringList folders;
        QList<int> modes;
        QVERIFY(readFavoriteFolders(written, folders, modes));
        QCOMPARE(folders, readFolders + QStringList({path("cx")}));
    } else {
        QDataStream in(&written);
        in.setByteOrder(QDataStream::LittleEndian);
        QMap<QString, QString> images, raw, cx;
        QVERIFY(readStringMap(in, images) && readStringMap(in, raw) && readStringMap(in, cx));
        QCOMPARE(cx.value("/x"), QString("x_3.cxi"));
    }
    QFile::remove(file);
    QFile::remove(damaged);
}

// A save that runs out of space keeps the old file whole and says so.
void TestFolders::saveOnFullDisk()
{
    if (geteuid() != 0)
        QSKIP("mounting a small file system needs the super-user");
    QTemporaryDir mountPoint;
    QVERIFY(mountPoint.isValid());
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint.path()}) !=
        0)
        QSKIP("no tmpfs could be mounted here");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });

    const QString file = mountPoint.filePath("FavoriteFolders.cxf");
    const QByteArray good(12 * 1024, 'g');
    QVERIFY(saveFileAtomically(file, [&](QIODevice &d) { d.write(good); }));
    // Fill what is left, then try a save larger than the free space and one of a
    // few bytes with no space at all.
    QFile filler(mountPoint.filePath("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    for (qsizetype size : {qsizetype(40 * 1024), qsizetype(16)}) {
        QVERIFY(!saveFileAtomically(file, [&](QIODevice &d) { d.write(QByteArray(size, 'n')); }));
        QCOMPARE(readAll(file), good);
    }
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files).size(), 2);
}

void TestFolders::firstStartAndRemovingAll()
{
    // No files yet: the sample folder is the one favorite, in images mode.
    QCOMPARE(viewer->favoriteFolders, QStringList({path("app/ViewerData")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({1}));
    QCOMPARE(viewer->favoriteFoldersLsWdg->item(0)->text(), QString("ViewerData"));
    QDir(tmp.path()).mkpath("app/ViewerData");
    writeFile(path("app/ViewerData/pic.png"));
    viewer->autoSelectFirstFavFolder();
    QVERIFY(viewer->showBitmaps);
    QCOMPARE(coverNames(viewer->coverFlowBrowser), QStringList({"pic.png"}));
    delete viewer;
    viewer = nullptr;
    const QString sample = path("app/ViewerData");
    QCOMPARE(readAll(path("app/CXViewerFolderData/FavoriteFolders.cxf")),
             hex("01000000 01000000") + le32(sample.size() * 2) + utf16le(sample) +
                 hex("01000000"));

    // Removing every favorite lasts across a restart.
    viewer = startViewer();
    viewer->favoriteFolders.clear();
    viewer->favoriteFolderModes.clear();
    delete viewer;
    QCOMPARE(readAll(path("app/CXViewerFolderData/FavoriteFolders.cxf")), hex("01000000 00000000"));
    viewer = startViewer();
    QVERIFY(viewer->favoriteFolders.isEmpty());
    QCOMPARE(viewer->favoriteFoldersLsWdg->count(), 0);
    viewer->autoSelectFirstFavFolder();
    QVERIFY(viewer->showCXFiles);
    QDir(path("app/ViewerData")).removeRecursively();
}

void TestFolders::visitedFoldersBytes()
{
    viewer->imageFoldersToThumbnailFiles = {{"/a", "a"}, {"/b", "bb"}};
    viewer->rawMRIFoldersToThumbnailFiles.clear();
    viewer->cxFoldersToThumbnailFiles = {{"/a", "c"}};
    viewer->saveVisitedFoldersToThumbnailFilesMaps();
    // Each map from its largest key to its smallest.
    const QByteArray expected = hex("02000000"
                                    "04000000 2F00 6200 04000000 6200 6200"
                                    "04000000 2F00 6100 02000000 6100"
                                    "00000000"
                                    "01000000 04000000 2F00 6100 02000000 6300");
    QCOMPARE(readAll(path("app/CXViewerFolderData/VisitedFolders.cxv")), expected);

    viewer->loadVisitedFoldersToThumbnailFilesMaps();
    QCOMPARE(viewer->imageFoldersToThumbnailFiles.value("/b"), QString("bb"));
    QCOMPARE(viewer->cxFoldersToThumbnailFiles.value("/a"), QString("c"));
    QVERIFY(viewer->rawMRIFoldersToThumbnailFiles.isEmpty());

    // Entries in ascending order read just as well.
    writeFile(path("app/CXViewerFolderData/VisitedFolders.cxv"),
              hex("02000000 04000000 2F00 6100 02000000 6100 04000000 2F00 6200 02000000 6200"
                  "00000000 00000000"));
    viewer->loadVisitedFoldersToThumbnailFilesMaps();
    QCOMPARE(viewer->imageFoldersToThumbnailFiles.size(), 2);
}

void TestFolders::visitedFoldersTruncated()
{
    const QByteArray full = hex("01000000 04000000 2F00 6100 02000000 6100"
                                "01000000 04000000 2F00 6200 02000000 6200"
                                "01000000 04000000 2F00 6300 02000000 6300");
    const int firstEnd = 18, secondEnd = 36;
    for (int n = 0; n <= full.size(); ++n) {
        writeFile(path("app/CXViewerFolderData/VisitedFolders.cxv"), full.left(n));
        viewer->loadVisitedFoldersToThumbnailFilesMaps();
        QCOMPARE(viewer->imageFoldersToThumbnailFiles.size(), n >= firstEnd ? 1 : 0);
        QCOMPARE(viewer->rawMRIFoldersToThumbnailFiles.size(), n >= secondEnd ? 1 : 0);
        QCOMPARE(viewer->cxFoldersToThumbnailFiles.size(), n == full.size() ? 1 : 0);
    }
}

void TestFolders::listingPerMode()
{
    viewer->currentDir = QDir(path("images"));
    viewer->switchToShowBitmaps();
    QCOMPARE(coverNames(viewer->coverFlowBrowser),
             QStringList({"a.PNG", "B.jpg", "d.jpeg", "e.GIF"}));
    QCOMPARE(viewer->coverStore->imageWidth(3), -1);
    viewer->coverStore->setImageSize(3, 7, 8, 1);
    QCOMPARE(viewer->coverStore->imageWidth(3), 7);
    QVERIFY(!viewer->coverFlowBrowser->drawCoverFrames);
    QCOMPARE(viewer->viewStack->currentIndex(), 0);
    QVERIFY(!viewer->availableMapsDock->isVisible());

    viewer->currentDir = QDir(path("cx"));
    viewer->switchToShowCXFiles();
    QCOMPARE(coverNames(viewer->coverFlowBrowser), QStringList({"x.vmr", "Y.SRF"}));
    viewer->coverStore->setImageSize(1, 7, 8, 1);
    QCOMPARE(viewer->coverStore->imageWidth(1), -1);
    QVERIFY(viewer->coverFlowBrowser->drawCoverFrames);
    QVERIFY(viewer->availableMapsDock->isVisible());
    QCOMPARE(viewer->propertiesDock->widget(), viewer->propertyPanels->cxPropertiesBrowser());

    viewer->currentDir = QDir(path("dicom"));
    viewer->switchToShowRawMRIData();
    QCOMPARE(coverNames(viewer->coverFlowBrowser), QStringList({"im1.dcm", "IM2.DCM"}));
    QCOMPARE(viewer->viewStack->currentIndex(), 3);
    QCOMPARE(viewer->propertiesDock->widget(), viewer->propertyPanels->rawMRIPropertiesBrowser());
    QVERIFY(viewer->showRawMRIDataAct->isChecked() && !viewer->showCXFilesAct->isChecked());

    // An empty or vanished folder gives no covers and no inspection request.
    QSignalSpy inspect(viewer->coverFlowBrowser, &CoverFlowBrowser::rawMRIFileForInspectionChanged);
    viewer->currentDir = QDir(path("missing"));
    viewer->switchToShowRawMRIData();
    QVERIFY(viewer->coverStore->isEmpty());
    QCOMPARE(inspect.count(), 0);
}

void TestFolders::modeSwitchesReconnectSignals()
{
    const QString file = path("images/a.PNG");
    CoverFlowBrowser *cf = viewer->coverFlowBrowser;
    PropertyPanels *panels = viewer->propertyPanels;
    // The file name each panel shows.
    const auto name = [](QtTreePropertyBrowser *browser) {
        return browser->treeWidget()->findItems("Name", Qt::MatchRecursive).value(0)->text(1);
    };
    viewer->currentDir = QDir(path("images"));
    viewer->toggleShowBitmaps();
    emit cf->currentCXItemChanged(0, file);
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(name(panels->cxPropertiesBrowser()), QString());
    QCOMPARE(name(panels->rawMRIPropertiesBrowser()), QString());
    emit cf->currentItemChanged(0, file, 10, 20, 1);
    QCOMPARE(name(panels->imagePropertiesBrowser()), QString("a.PNG"));

    viewer->toggleShowRawMRIData();
    emit cf->currentItemChanged(0, path("images/B.jpg"), 1, 2, 1);
    QCOMPARE(name(panels->imagePropertiesBrowser()), QString());
    emit cf->currentRawMRIItemChanged(0, file);
    QCOMPARE(name(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));

    viewer->toggleShowCXFiles();
    emit cf->currentRawMRIItemChanged(0, path("images/B.jpg"));
    QCOMPARE(name(panels->rawMRIPropertiesBrowser()), QString("a.PNG"));
    emit cf->currentCXItemChanged(0, file);
    QCOMPARE(name(panels->cxPropertiesBrowser()), QString("a.PNG"));
    emit cf->CXFileForInspectionChanged(0, path("cx/Y.SRF"));
    QCOMPARE(viewer->viewStack->currentIndex(), 1);

    // Toggling the active mode lists the folder again.
    viewer->currentDir = QDir(path("cx"));
    viewer->toggleShowCXFiles();
    QCOMPARE(coverNames(cf), QStringList({"x.vmr", "Y.SRF"}));
    QVERIFY(viewer->showCXFilesAct->isChecked());
}

void TestFolders::routingOfCXItems()
{
    viewer->newMeshOrVolumeForInspection(0, "/data/cortex.SRF");
    QCOMPARE(viewer->viewStack->currentIndex(), 1);
    viewer->newMeshOrVolumeForInspection(0, "/data/x.vmr");
    QCOMPARE(viewer->viewStack->currentIndex(), 2);
    viewer->newMeshOrVolumeForInspection(0, "/data/srf");
    QCOMPARE(viewer->viewStack->currentIndex(), 2);
}

void TestFolders::favoritesOpenInStoredMode()
{
    viewer->favoriteFolders = {path("images"), path("cx"), path("dicom"), path("images"),
                               path("gone")};
    viewer->favoriteFolderModes = {1, 0, 2, 7, 1};
    viewer->fillFavoriteFoldersLsWdg();
    QListWidget *list = viewer->favoriteFoldersLsWdg;
    const auto open = [&](int row) {
        list->setCurrentRow(row);
        viewer->clickedFavoriteFolder(list->item(row));
    };
    open(0);
    QVERIFY(viewer->showBitmaps);
    QVERIFY(viewer->thumbnailTimer->isActive());
    QCOMPARE(viewer->currentFolderPath, path("images"));
    QCOMPARE(QDir::currentPath(), path("images"));
    QCOMPARE(viewer->fileSystemModel->filePath(viewer->dirTreeView->currentIndex()),
             path("images"));
    open(1);
    QVERIFY(viewer->showCXFiles);
    QVERIFY(!viewer->thumbnailTimer->isActive());
    QCOMPARE(coverNames(viewer->coverFlowBrowser), QStringList({"x.vmr", "Y.SRF"}));
    open(2);
    QVERIFY(viewer->showRawMRIData);
    open(3);
    QVERIFY(viewer->showCXFiles);
    QCOMPARE(viewer->currentFolderPath, path("images"));
    // A vanished favorite changes nothing.
    open(4);
    QCOMPARE(viewer->currentFolderPath, path("images"));
    QVERIFY(viewer->showCXFiles);
}

void TestFolders::treeFolderKeepsMode()
{
    viewer->currentDir = QDir(path("dicom"));
    viewer->toggleShowRawMRIData();
    viewer->clickedFolder(viewer->fileSystemModel->index(path("cx")));
    QVERIFY(viewer->showRawMRIData);
    QCOMPARE(viewer->currentFolderPath, path("cx"));
    QVERIFY(viewer->coverStore->isEmpty());
    viewer->clickedFolder(viewer->fileSystemModel->index(path("dicom")));
    QCOMPARE(coverNames(viewer->coverFlowBrowser), QStringList({"im1.dcm", "IM2.DCM"}));
}

void TestFolders::doubleClickAddsOnce()
{
    const int before = viewer->favoriteFolders.size();
    viewer->currentDir = QDir(path("dicom"));
    viewer->toggleShowRawMRIData();
    viewer->doubleClickedFolder(viewer->fileSystemModel->index(path("cx")));
    QCOMPARE(viewer->favoriteFolders.size(), before + 1);
    QCOMPARE(viewer->favoriteFolders.last(), path("cx"));
    QCOMPARE(viewer->favoriteFolderModes.last(), 2);
    QCOMPARE(viewer->favoriteFoldersLsWdg->count(), before + 1);
    viewer->toggleShowBitmaps();
    viewer->doubleClickedFolder(viewer->fileSystemModel->index(path("cx")));
    QCOMPARE(viewer->favoriteFolders.size(), before + 1);
}

void TestFolders::draggingReordersFavorites()
{
    viewer->favoriteFolders = {path("images"), path("cx"), path("dicom")};
    viewer->favoriteFolderModes = {1, 3, 2};
    viewer->fillFavoriteFoldersLsWdg();
    QListWidget *list = viewer->favoriteFoldersLsWdg;
    // The drop of an internal move ends in this call.
    QVERIFY(list->model()->moveRow(QModelIndex(), 0, QModelIndex(), 3));
    QCOMPARE(list->item(2)->text(), QString("images"));
    QCOMPARE(viewer->favoriteFolders, QStringList({path("cx"), path("dicom"), path("images")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({3, 2, 1}));
    QVERIFY(list->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    QCOMPARE(viewer->favoriteFolders, QStringList({path("images"), path("cx"), path("dicom")}));

    list->setCurrentRow(2);
    viewer->clickedFavoriteFolder(list->item(2));
    QVERIFY(viewer->showRawMRIData);

    // The new order is what is saved.
    QVERIFY(list->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    delete viewer;
    viewer = startViewer();
    QCOMPARE(viewer->favoriteFolders, QStringList({path("dicom"), path("images"), path("cx")}));
    QCOMPARE(viewer->favoriteFolderModes, QList<int>({2, 1, 3}));
}

QTEST_MAIN(TestFolders)
#include "tst_folders.moc"
