// Reading a map in the window: the cluster table of the map shown, following
// its threshold, signs and cluster size, a row taking the cross to its peak;
// the values at the cross; an atlas naming regions; the table saved as TSV.

#include "AffineTransform.h"
#include "BlobMap.h"
#include "ClusterTable.h"
#include "ClustersPanel.h"
#include "CortivexViewer.h"
#include "Documents.h"
#include "MapsPanel.h"
#include "NiftiFixture.h"
#include "PropertyPanels.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantProperty.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeDoc.h"
#include "VolumeOGLViewer.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

namespace {

using Point = AffineTransform::Point;
using Voxel = std::array<int, 3>;

const int cells = BlobMap::cells;

// The atlas: 20 voxels a side of 10 mm from -51 mm, label 1 + i % 4 + 4 (j % 4)
// + 16 (k % 4) at voxel (i, j, k), named "Region" and the label.
int regionAt(const Point &p)
{
    int v[3];
    for (int a = 0; a < 3; ++a)
        v[a] = int(std::floor((p[a] + 51) / 10 + 0.5));
    return 1 + v[0] % 4 + 4 * (v[1] % 4) + 16 * (v[2] % 4);
}

void write(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(name));
}

QString cellText(QTableView *view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

// Rows of the table shown: voxels, peak and peak voxel.
QStringList rows(ClustersPanel *panel)
{
    QStringList shown;
    QTableView *view = panel->tableView();
    for (int r = 0; r < view->model()->rowCount(); ++r)
        shown << cellText(view, r, 0) + " " + cellText(view, r, 2) + " (" + cellText(view, r, 3) +
                     ")";
    return shown;
}

// Labels and values of a group of the properties panel.
QStringList values(QtBrowserItem *group)
{
    QStringList shown;
    for (QtVariantProperty *p : group->property()->subProperties())
        shown << p->propertyName() + "=" + p->valueText();
    return shown;
}

} // namespace

class TestReadings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clustersAndValues_data();
    void clustersAndValues();

private:
    QTemporaryDir tmp;
};

// A Talairach VMR of 48 voxels a side with a VMP of resolution 3 over it, and
// a NIfTI anatomy with a NIfTI z map on the same grid of 3-mm voxels; an atlas.
void TestReadings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    for (const char *folder : {"app", "vmr", "nifti"})
        root.mkpath(folder);

    VmrFixture vmr;
    vmr.dimX = vmr.dimY = vmr.dimZ = 48;
    vmr.offsetX = vmr.offsetY = vmr.offsetZ = 0;
    vmr.referenceSpace = 3;
    vmr.talairach = 1;
    std::fill(std::begin(vmr.voxelSize), std::end(vmr.voxelSize), 1.0f);
    write(tmp.filePath("vmr/head.vmr"), vmr.bytes());
    VmpFixture vmp;
    for (int axis = 0; axis < 3; ++axis) {
        vmp.box[2 * axis] = 0;
        vmp.box[2 * axis + 1] = 3 * cells;
    }
    vmp.resolution = 3;
    VmpFixture::Map &map = vmp.maps[0];
    map.name = "blobs";
    map.threshMin = 3;
    map.showPosNeg = 3;
    map.clusterCheckEnabled = 0;
    map.clusterSize = 0;
    map.mapOption = 1;
    map.useMapColors = 0;
    map.mapAlpha = 1;
    for (double v : BlobMap::values())
        map.data << float(v);
    write(tmp.filePath("vmr/blobs.vmp"), vmp.current());

    NiftiFixture anatomy;
    anatomy.dims = {cells, cells, cells};
    anatomy.datatype = 4;
    anatomy.sform = {{{3, 0, 0, -30}, {0, 3, 0, -30}, {0, 0, 3, -30}}};
    anatomy.sformCode = 4;
    for (int k = 0; k < cells; ++k)
        for (int j = 0; j < cells; ++j)
            for (int i = 0; i < cells; ++i)
                anatomy.values.push_back(10 + i + 2 * j + 3 * k);
    write(tmp.filePath("nifti/anat.nii"), anatomy.bytes());
    NiftiFixture zmap = anatomy;
    zmap.datatype = 16;
    zmap.intent = 5;
    zmap.values = BlobMap::values();
    write(tmp.filePath("nifti/zmap.nii"), zmap.bytes());

    const QByteArray atlas = RegionsAtlas::image().bytes();
    write(tmp.filePath("regions.nii"), atlas);
    write(tmp.filePath("regions.nii.txt"), RegionsAtlas::names());
    write(tmp.filePath("nolabels.nii"), atlas);
}

void TestReadings::clustersAndValues_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("mapFile");
    QTest::addColumn<QString>("mapName");
    // The world position of the positive peak, the anatomy there.
    QTest::addColumn<Point>("peakWorld");
    QTest::addColumn<QString>("anatomy");
    // A cluster size (voxels of the volume) that leaves the positive blob
    // only: 513 and 189 mm³.
    QTest::addColumn<int>("clusterSize");

    // Cell (i, j, k) at the VMR's voxel 3 (i, j, k), Talairach (128 - z, 128 - x, 128 - y).
    const int x = 12, y = 15, z = 18;
    const QString byte = QString::number(uchar(char((x + 48 * y + 48 * 48 * z) * 7 + 3)));
    QTest::newRow("VMR and VMP") << "vmr"
                                 << "blobs.vmp"
                                 << "blobs" << Point{128.0 - z, 128.0 - x, 128.0 - y} << byte
                                 << 300;
    QTest::newRow("NIfTI volume and map")
        << "nifti"
        << "zmap.nii"
        << "Volume 1" << Point{-18, -15, -12} << QString::number(10 + 4 + 10 + 18) << 10;
}

void TestReadings::clustersAndValues()
{
    QFETCH(QString, folder);
    QFETCH(QString, mapFile);
    QFETCH(QString, mapName);
    QFETCH(Point, peakWorld);
    QFETCH(QString, anatomy);
    QFETCH(int, clusterSize);

    CortivexViewer viewer;
    viewer.openDataFolders(tmp.filePath("app"));
    viewer.resize(1200, 750);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.openPaths({tmp.filePath(folder)});

    auto *volumeView = viewer.findChild<VolumeOGLViewer *>();
    auto *maps = viewer.findChild<MapsPanel *>();
    auto *clusters = viewer.findChild<ClustersPanel *>();
    auto *panels = viewer.findChild<PropertyPanels *>();
    QDockWidget *dock = nullptr;
    for (QDockWidget *d : viewer.findChildren<QDockWidget *>())
        if (d->windowTitle() == "Clusters")
            dock = d;
    QVERIFY(dock && dock->isVisible() && dock->widget() == clusters);
    QTRY_VERIFY(volumeView->volume());
    QTRY_COMPARE(clusters->status(), QString("No map shown"));

    // The map chosen, shown from threshold 3 with both signs.
    QListWidget *files = maps->mapFileList();
    QTRY_VERIFY(!files->findItems(mapFile, Qt::MatchExactly).isEmpty());
    QListWidgetItem *item = files->findItems(mapFile, Qt::MatchExactly).first();
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(item).center());
    auto *threshold = maps->findChild<QDoubleSpinBox *>();
    threshold->setValue(3.0);
    const QStringList both = {"19 8 (4, 5, 6)", "7 -6 (11, 10, 9)"};
    QTRY_COMPARE(rows(clusters), both);
    QCOMPARE(clusters->status(), QString("2 clusters"));

    // Each change of the controls lists anew.
    QCheckBox *negatives = nullptr, *filter = nullptr;
    for (QCheckBox *box : maps->findChildren<QCheckBox *>()) {
        if (box->text() == "Show negative values")
            negatives = box;
        if (box->text() == "Cluster size:")
            filter = box;
    }
    negatives->click();
    QTRY_COMPARE(rows(clusters), QStringList({"19 8 (4, 5, 6)"}));
    negatives->click();
    QTRY_COMPARE(rows(clusters), both);
    threshold->setValue(7.0);
    QTRY_COMPARE(rows(clusters), QStringList({"1 8 (4, 5, 6)"}));
    threshold->setValue(3.0);
    QTRY_COMPARE(rows(clusters), both);
    maps->findChild<QSpinBox *>()->setValue(clusterSize);
    filter->click();
    QTRY_COMPARE(rows(clusters), QStringList({"19 8 (4, 5, 6)"}));
    filter->click();
    QTRY_COMPARE(rows(clusters), both);
    const std::shared_ptr<const ClusterTable> table = clusters->clusterTable();
    for (int a = 0; a < 3; ++a)
        QCOMPARE(table->clusters()[0].peakWorld[a], peakWorld[a]);

    // A click on a row takes the cross to the peak; the panel shows the
    // values there.
    QTableView *view = clusters->tableView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(0, 1)).center());
    AffineTransform toWorld;
    QVERIFY(volumeView->volume()->volume().worldTransform(toWorld));
    const Voxel cross = volumeView->cross().position();
    const Point at = toWorld.map({double(cross[0]), double(cross[1]), double(cross[2])});
    for (int a = 0; a < 3; ++a)
        QVERIFY2(std::abs(at[a] - peakWorld[a]) < 1e-6, qPrintable(QString::number(at[a])));
    QCOMPARE(values(panels->crossValuesGroupItem()),
             QStringList({"Anatomy=" + anatomy, mapName + "=8", "Atlas region="}));
    // In sight at the window's first size, without scrolling.
    QTreeWidget *tree = panels->cxPropertiesBrowser()->treeWidget();
    const QTreeWidgetItem *last = tree->findItems("Atlas region", Qt::MatchRecursive).value(0);
    QVERIFY(last && tree->viewport()->rect().contains(tree->visualItemRect(last)));

    // An atlas chosen names the peaks and the region at the cross; one
    // without its names says why and leaves the atlas chosen as it was.
    const auto chooseAtlas = [&](const QString &name) {
        maps->atlasButton()->click();
        auto *dialog = maps->findChild<QFileDialog *>("AtlasFileDialog");
        QVERIFY(dialog && dialog->isVisible());
        dialog->selectFile(tmp.filePath(name));
        static_cast<QDialog *>(dialog)->accept();
    };
    chooseAtlas("regions.nii");
    QCOMPARE(maps->atlasText(), QString("regions.nii"));
    const QString region = QString("Region %1").arg(regionAt(peakWorld));
    QTRY_COMPARE(cellText(view, 0, 6), region);
    QVERIFY(!view->isColumnHidden(6));
    QCOMPARE(values(panels->crossValuesGroupItem()).last(), "Atlas region=" + region);
    chooseAtlas("nolabels.nii");
    QCOMPARE(maps->atlasText(), QString("nolabels.nii has no label names beside it "
                                        "(nolabels.nii.txt)"));
    QCOMPARE(values(panels->crossValuesGroupItem()).last(), "Atlas region=" + region);

    // "Save..." writes the table, never over a file it was read from.
    QString why;
    const QString folderPath = tmp.filePath(folder) + "/";
    for (const QString &input :
         {folderPath + mapFile, folderPath + mapName, tmp.filePath("regions.nii.txt"),
          volumeView->volume()->fileName()}) {
        if (!QFileInfo::exists(input))
            continue;
        QVERIFY(!clusters->saveTable(input, why));
        QVERIFY2(why.endsWith("which the table is read from"), qPrintable(why));
    }
    QVERIFY(!clusters->saveTable(folderPath, why));
    QVERIFY2(why.endsWith(" is not a regular file"), qPrintable(why));
    clusters->saveButton()->click();
    auto *dialog = clusters->findChild<QFileDialog *>("ClustersFileDialog");
    QVERIFY(dialog && dialog->isVisible());
    const QString saved = folderPath + "table.tsv";
    dialog->selectFile(saved);
    static_cast<QDialog *>(dialog)->accept();
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray tsv = file.readAll();
    QCOMPARE(tsv, clusters->clusterTable()->toTsv());
    ClusterTable back;
    QVERIFY(back.readTsv(tsv));
    QCOMPARE(back.clusters().size(), size_t(2));
    QCOMPARE(back.clusters()[0].peakLabel, region);
    QCOMPARE(clusters->status(), QString("Saved as table.tsv"));

    // Outside CX data mode there is no table.
    viewer.setBrowsingMode(BrowsingMode::Images);
    QVERIFY(!dock->isVisible());
}

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
