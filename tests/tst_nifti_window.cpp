#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "MapsPanel.h"
#include "VolumeOGLViewer.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Pixels of the shown slices in the map colours: red to yellow, and blue to green.
QPair<int, int> mapPixels(const QImage &image)
{
    int positive = 0, negative = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) == 255 && qGreen(c) >= 75 && qBlue(c) == 0)
                ++positive;
            else if (qRed(c) == 0 && qGreen(c) >= 75 && qBlue(c) > 0 && qBlue(c) < 255)
                ++negative;
        }
    return {positive, negative};
}

} // namespace

class TestNiftiWindow : public QObject
{
    Q_OBJECT

private slots:
    void folderOfNiftiFiles();

private:
    QTemporaryDir tmp;
};

// A NIfTI template beside maps: listed and shown as a volume, its statistics
// offered and overlaid with the map controls working.
void TestNiftiWindow::folderOfNiftiFiles()
{
    QStandardPaths::setTestModeEnabled(true);
    QDir root(tmp.path());
    root.mkpath("app");
    root.mkpath("nifti");
    const QString fixtures = CXV_NIFTI_FIXTURES "/";
    QFile::copy(fixtures + "ras_uint8.nii.gz", tmp.filePath("nifti/Brain.NII.GZ"));
    for (const char *name :
         {"zmap_float32.nii.gz", "twomaps_float32.nii", "far_float32.nii", "mask_uint8.nii"})
        QFile::copy(fixtures + name, tmp.filePath(QString("nifti/") + name));
    QDir::setCurrent(tmp.filePath("nifti"));

    CortivexViewer viewer;
    viewer.openDataFolders(tmp.filePath("app"));
    viewer.resize(1200, 750);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.openPaths({tmp.filePath("nifti")});

    const CoverStore *store = viewer.coverFlow()->coverStore();
    QStringList covers;
    for (int i = 0; i < store->count(); ++i)
        covers << QFileInfo(store->fileName(i)).fileName();
    QCOMPARE(covers, QStringList({"Brain.NII.GZ", "far_float32.nii", "mask_uint8.nii",
                                  "twomaps_float32.nii", "zmap_float32.nii.gz"}));
    auto *volumeView = viewer.findChild<VolumeOGLViewer *>();
    QCOMPARE(viewer.findChild<QStackedWidget *>()->currentWidget(), volumeView);
    auto *mapsPanel = viewer.findChild<MapsPanel *>();
    QListWidget *files = mapsPanel->mapFileList();
    QListWidget *maps = mapsPanel->subMapList();
    const auto offered = [files] {
        QStringList names;
        for (int i = 0; i < files->count(); ++i)
            names << files->item(i)->text();
        return names;
    };
    QTRY_COMPARE(offered(), QStringList({"twomaps_float32.nii", "zmap_float32.nii.gz"}));
    QVERIFY(!volumeView->shownImage().isNull());
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                      files->visualItemRect(files->item(1)).center());
    QCOMPARE(maps->count(), 1);
    QCOMPARE(maps->item(0)->text(), QString("Volume 1"));

    auto *threshold = mapsPanel->findChild<QDoubleSpinBox *>();
    threshold->setValue(1.0);
    const QPair<int, int> both = mapPixels(volumeView->shownImage());
    QVERIFY2(both.first >= 5 && both.second >= 5,
             qPrintable(QString("%1 %2").arg(both.first).arg(both.second)));

    auto *negatives = mapsPanel->findChildren<QCheckBox *>().at(1);
    QCOMPARE(negatives->text(), QString("Show negative values"));
    negatives->click();
    QCOMPARE(mapPixels(volumeView->shownImage()), qMakePair(both.first, 0));
    negatives->click();

    // Blobs of some dozens of voxels pass a cluster filter of 10 but not of 1000.
    auto *clusterSize = mapsPanel->findChild<QSpinBox *>();
    auto *clusterFilter = mapsPanel->findChildren<QCheckBox *>().at(2);
    clusterSize->setValue(10);
    clusterFilter->click();
    QCOMPARE(mapPixels(volumeView->shownImage()), both);
    clusterSize->setValue(1000);
    QCOMPARE(mapPixels(volumeView->shownImage()), qMakePair(0, 0));
    clusterFilter->click();

    // From the command line, a statistics file after its volume is chosen as its map,
    // and a volume after a volume is shown in its place.
    viewer.openPaths({"Brain.NII.GZ", "zmap_float32.nii.gz"});
    QVERIFY(files->currentItem());
    QCOMPARE(files->currentItem()->text(), QString("zmap_float32.nii.gz"));
    QCOMPARE(maps->count(), 1);
    viewer.openPaths({"Brain.NII.GZ", "mask_uint8.nii"});
    QCOMPARE(QFileInfo(store->fileName(viewer.coverFlow()->getSelectedImageIndex())).fileName(),
             QString("mask_uint8.nii"));
}

QTEST_MAIN(TestNiftiWindow)
#include "tst_nifti_window.moc"
