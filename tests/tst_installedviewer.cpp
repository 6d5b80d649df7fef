#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "DataFolders.h"
#include "FolderBrowser.h"

#include <QFileSystemModel>
#include <QImage>
#include <QListWidget>
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
    const DataFolders folders = DataFolders::forProgramIn(path(programFolder));
    const QString beside = path(programFolder + "/CXViewerFolderData");
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(folders.viewerData, path(programFolder + "/ViewerData"));
    QCOMPARE(folders.folderData, dataBesideProgram ? beside : userData + "/CXViewerFolderData");
    QVERIFY(QFileInfo(folders.folderData).isDir());
    QCOMPARE(QFileInfo::exists(beside), dataBesideProgram);
}

void TestInstalledViewer::startsOnHome()
{
    CortivexViewer viewer;
    viewer.openDataFolders(path("usr/bin"));
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));

    // The default favorite's folder is missing: home, in that favorite's images mode.
    const QStringList defaultFavorite = {path("usr/bin/ViewerData")};
    FolderBrowser *folders = viewer.findChild<FolderBrowser *>();
    QCOMPARE(folders->favorites(), defaultFavorite);
    viewer.autoSelectFirstFavFolder();
    QCOMPARE(QDir::currentPath(), path("home"));
    QCOMPARE(viewer.browsingMode(), BrowsingMode::Images);
    const CoverStore *store = viewer.coverFlow()->coverStore();
    QCOMPARE(store->count(), 1);
    QCOMPARE(QFileInfo(store->fileName(0)).fileName(), QString("scan.png"));
    QTreeView *tree = folders->directoryTree();
    QCOMPARE(static_cast<QFileSystemModel *>(tree->model())->filePath(tree->currentIndex()),
             path("home"));
    QCOMPARE(folders->favorites(), defaultFavorite);

    // A missing favorite of the user's own still opens nothing.
    folders->addFavorite(path("gone"), BrowsingMode::CXData);
    folders->favoritesList()->setCurrentRow(0);
    QTest::keyClick(folders->favoritesList(), Qt::Key_Delete);
    QCOMPARE(folders->favorites(), QStringList({path("gone")}));
    viewer.autoSelectFirstFavFolder();
    QCOMPARE(QDir::currentPath(), path("home"));
    QCOMPARE(viewer.browsingMode(), BrowsingMode::Images);
}

QTEST_MAIN(TestInstalledViewer)
#include "tst_installedviewer.moc"
