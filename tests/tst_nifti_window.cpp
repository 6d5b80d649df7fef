#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "MapsPanel.h"
#include "PropertyPanels.h"
#include "QtBrowserItem.h"
#include "QtVariantProperty.h"
#include "ShowFile.h"
#include "VolumeComposer.h"
#include "VolumeOGLViewer.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

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

QStringList offeredMaps(const QListWidget *files)
{
    QStringList names;
    for (int i = 0; i < files->count(); ++i)
        names << files->item(i)->text();
    return names;
}

// The largest difference of a colour channel between two pictures of one size.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

class TestNiftiWindow : public QObject
{
    Q_OBJECT

private slots:
    void folderOfNiftiFiles();
    void folderOfDicomSeries();

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

// A scanner's folder in CX data mode: a cover per series that is a volume,
// named by its number, description and slice count, after the files; chosen,
// it shows as dcm2niix's NIfTI file of it does, with its notes and the
// statistics over it offered.
void TestNiftiWindow::folderOfDicomSeries()
{
    QStandardPaths::setTestModeEnabled(true);
    QDir root(tmp.path());
    root.mkpath("scan");
    const QString fixtures = CXV_DICOM_SERIES "/";
    for (const QFileInfo &file : QDir(fixtures + "series").entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), tmp.filePath("scan/" + file.fileName())));
    QVERIFY(QFile::copy(fixtures + "nifti/stats.nii", tmp.filePath("scan/stats.nii")));
    QDir::setCurrent(tmp.filePath("scan"));

    // The working directory is listed in CX data mode.
    CortivexViewer viewer;
    viewer.resize(1200, 750);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    CoverFlowBrowser *strip = viewer.coverFlow();
    const CoverStore *store = strip->coverStore();
    const auto covers = [store] {
        QStringList names;
        for (int i = 0; i < store->count(); ++i)
            names << QFileInfo(store->fileName(i)).fileName();
        return names;
    };
    QTRY_COMPARE(covers(),
                 QStringList({"stats.nii", "5 T1_oblique (12).series", "7 T1_missing (11).series",
                              "9 mixed [1] (4).series", "9 mixed [2] (3).series",
                              "13 tilted (12).series", "15 enhanced (12).series"}));

    auto *volumeView = viewer.findChild<VolumeOGLViewer *>();
    auto *panels = viewer.findChild<PropertyPanels *>();
    QListWidget *files = viewer.findChild<MapsPanel *>()->mapFileList();
    const auto inspect = [&](int cover) {
        strip->setCurrentCoverIndex(cover);
        strip->emitCurrentItemChangedForInspection();
        QTRY_VERIFY(volumeView->volume() &&
                    volumeView->volume()->fileName() == store->fileName(cover));
    };
    const auto panelRow = [panels](int row) {
        const auto rows = panels->niftiGroupItem()->property()->subProperties();
        return rows.value(row) ? rows[row]->valueText() : QString();
    };
    inspect(1);
    const auto nifti = readAs<VolumeDocument>(fixtures + "nifti/s5.nii");
    QVERIFY(nifti);
    VolumeComposer composer;
    const QImage expected = composer.compose(*nifti, nifti->initialCross(), {true, true, false});
    QVERIFY(largestDifference(volumeView->shownImage(), expected) <= 1);
    QCOMPARE(panelRow(0), QString("20 × 16 × 12"));
    QCOMPARE(panelRow(3), QString("DICOM series"));
    QCOMPARE(panelRow(9), QString());
    QTRY_COMPARE(offeredMaps(files), QStringList({"stats.nii"}));

    inspect(2);
    QCOMPARE(panelRow(9), QString("1 slice is missing. Resampled to even spacing."));
    QCOMPARE(volumeView->failureNote(), QString());
}

QTEST_MAIN(TestNiftiWindow)
#include "tst_nifti_window.moc"
