#include "CortivexViewer.h"
#include "CoverStore.h"

#include <QFileSystemModel>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

// A viewer installed in a prefix: its data go to the user's folder, and without
// the sample folder of its default favorite it starts on the user's home.
class TestInstalledViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dataFolders_data();
    void dataFolders();
    void startsOnHome();

private:
    QString path(const QString &relative) const { return tmp.filePath(relative); }

    QTemporaryDir tmp;
};

void TestInstalledViewer::initTestCase()
{
    QVERIFY(tmp.isValid());
    qputenv("HOME", QFile::encodeName(path("home")));
    QStandardPaths::setTestModeEnabled(true);
    QDir root(tmp.path());
    for (const char *folder : {"home/sub", "usr/bin", "usr/share", "build/bin"})
        QVERIFY(root.mkpath(folder));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(path("home/scan.png")));
}

void TestInstalledViewer::dataFolders_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<bool>("dataBesideProgram");
    // Both folders can be written; only the prefix layout tells them apart.
    QTest::newRow("installed: bin beside share") << "usr/bin" << false;
    QTest::newRow("build tree: bin alone") << "build/bin" << true;
}

void TestInstalledViewer::dataFolders()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, dataBesideProgram);
    CortivexViewer viewer;
    viewer.initDataFolders(path(programFolder));
    const QString beside = path(programFolder + "/CXViewerFolderData");
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(viewer.viewerDataDir, path(programFolder + "/ViewerData"));
    QCOMPARE(viewer.folderDataDir, dataBesideProgram ? beside : userData + "/CXViewerFolderData");
    QVERIFY(QFileInfo(viewer.folderDataDir).isDir());
    QCOMPARE(QFileInfo::exists(beside), dataBesideProgram);
}

void TestInstalledViewer::startsOnHome()
{
    CortivexViewer viewer;
    viewer.initDataFolders(path("usr/bin"));
    viewer.loadFavoriteFoldersList();
    viewer.fillFavoriteFoldersLsWdg();
    viewer.loadVisitedFoldersToThumbnailFilesMaps();
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));

    // The default favorite's folder is missing: home, in that favorite's images mode.
    const QStringList defaultFavorite = {path("usr/bin/ViewerData")};
    QCOMPARE(viewer.favoriteFolders, defaultFavorite);
    viewer.autoSelectFirstFavFolder();
    QCOMPARE(viewer.currentFolderPath, path("home"));
    QCOMPARE(QDir::currentPath(), path("home"));
    QVERIFY(viewer.showBitmaps);
    QCOMPARE(viewer.coverStore->count(), 1);
    QCOMPARE(QFileInfo(viewer.coverStore->fileName(0)).fileName(), QString("scan.png"));
    QCOMPARE(viewer.fileSystemModel->filePath(viewer.dirTreeView->currentIndex()), path("home"));
    QCOMPARE(viewer.favoriteFolders, defaultFavorite);

    // A missing favorite of the user's own still opens nothing.
    viewer.favoriteFolders = {path("gone")};
    viewer.favoriteFolderModes = {3};
    viewer.fillFavoriteFoldersLsWdg();
    viewer.autoSelectFirstFavFolder();
    QCOMPARE(viewer.currentFolderPath, path("home"));
    QVERIFY(viewer.showBitmaps);
}

QTEST_MAIN(TestInstalledViewer)
#include "tst_installedviewer.moc"
