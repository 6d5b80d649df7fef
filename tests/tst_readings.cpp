// Data read in the window: the cluster table of the map shown, following its
// threshold, signs and cluster size, a row taking the cross to its peak; the
// values at the cross; an atlas naming regions; the table saved as TSV. NIfTI
// files, a scanner's DICOM series, FreeSurfer and GIfTI surfaces with their maps.

#include "AffineTransform.h"
#include "BlobMap.h"
#include "ClusterTable.h"
#include "ClustersPanel.h"
#include "CortivexViewer.h"
#include "CoverFlowBrowser.h"
#include "CoverStore.h"
#include "Documents.h"
#include "FixtureStream.h"
#include "FreeSurferFiles.h"
#include "MapsPanel.h"
#include "MeshOGLViewer.h"
#include "NiftiFixture.h"
#include "PropertyPanels.h"
#include "QtBrowserItem.h"
#include "QtTreePropertyBrowser.h"
#include "QtVariantProperty.h"
#include "ShowFile.h"
#include "SurfaceMesh.h"
#include "VmpFixture.h"
#include "VmrFixture.h"
#include "VolumeComposer.h"
#include "VolumeDoc.h"
#include "VolumeOGLViewer.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

using Point = AffineTransform::Point;

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

QStringList texts(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QStringList coverNames(const CoverStore *store)
{
    QStringList names;
    for (int i = 0; i < store->count(); ++i)
        names << QFileInfo(store->fileName(i)).fileName();
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

// FreeSurfer's "new" curvature layout of that many values.
QByteArray freeSurferValues(int count)
{
    FixtureStream out(true);
    out.bytes(QByteArray("\xff\xff\xff", 3)).i32(count).i32(80).i32(1);
    for (int v = 0; v < count; ++v)
        out.f32(2.5f);
    return out.data;
}

// A GIfTI file of one array of shape values, in ASCII.
QByteArray giftiShape(const std::vector<float> &values)
{
    QByteArray data;
    for (const float v : values)
        data += QByteArray::number(v, 'g', 9) + ' ';
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GIFTI Version=\"1.0\">\n"
           "<DataArray Intent=\"NIFTI_INTENT_SHAPE\" DataType=\"NIFTI_TYPE_FLOAT32\" "
           "Dimensionality=\"1\" Dim0=\"" +
           QByteArray::number(qsizetype(values.size())) +
           "\" Encoding=\"ASCII\" Endian=\"LittleEndian\" ExternalFileName=\"\">\n<Data>" + data +
           "</Data>\n</DataArray>\n</GIFTI>\n";
}

// Drawn pixels: lit ones, and those not grey (map or label colours).
QPair<int, int> litAndColoured(const QImage &frame)
{
    int lit = 0, coloured = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb c = frame.pixel(x, y);
            lit += qGray(c) > 20;
            coloured += qRed(c) != qGreen(c) || qGreen(c) != qBlue(c);
        }
    return {lit, coloured};
}

} // namespace

class TestReadings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { viewer.reset(); }
    void clustersAndValues_data();
    void clustersAndValues();
    void folderOfNiftiFiles();
    void folderOfDicomSeries();
    void surfaceFolders_data();
    void surfaceFolders();

private:
    // A window at its first size, its data folders in app/, with these paths opened.
    CortivexViewer &openWindow(const QStringList &paths);

    QTemporaryDir tmp;
    std::unique_ptr<CortivexViewer> viewer;
};

CortivexViewer &TestReadings::openWindow(const QStringList &paths)
{
    viewer = std::make_unique<CortivexViewer>();
    viewer->openDataFolders(tmp.filePath("app"));
    viewer->resize(1200, 750);
    viewer->show();
    if (!QTest::qWaitForWindowExposed(viewer.get()))
        QTest::qFail("the window is not shown", __FILE__, __LINE__);
    viewer->openPaths(paths);
    return *viewer;
}

// A Talairach VMR of 48 voxels a side with a VMP of resolution 3 over it, and
// a NIfTI anatomy with a NIfTI z map on the same grid of 3-mm voxels; an atlas.
// A FreeSurfer subject's surf/ folder and a folder of GIfTI files, of the
// 42-vertex surface nibabel wrote; beside them files that fit no mesh shown.
void TestReadings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(tmp.isValid());
    QDir root(tmp.path());
    for (const char *folder : {"app", "vmr", "nifti", "mni", "scan", "surf", "gifti"})
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
    const QList<QPair<const char *, const char *>> copies = {
        {"lh.white", "surf/lh.white"},
        {"lh.white", "surf/lh.sphere.reg"},
        {"rh.pial", "surf/rh.pial"},
        {"lh.curv", "surf/lh.curv"},
        {"lh.curv", "surf/lh.white.H"},
        {"lh.thickness", "surf/lh.thickness"},
        {"lh.aparc.annot", "surf/lh.aparc.annot"},
        {"surf_gzip_le.surf.gii", "gifti/sub-01_hemi-L_pial.surf.gii"},
        {"thickness_gzip_le.shape.gii", "gifti/sub-01_hemi-L_thickness.shape.gii"},
        {"areas_gzip_be.label.gii", "gifti/sub-01_hemi-L_areas.label.gii"},
        {"stats_gzip_le.func.gii", "gifti/sub-01_hemi-L_stats.func.gii"}};
    for (const auto &copy : copies)
        QVERIFY(
            QFile::copy(CXV_SURFACE_FIXTURES "/" + QString(copy.first), tmp.filePath(copy.second)));
    const std::vector<float> curvature =
        FreeSurferReader().readValues(CXV_SURFACE_FIXTURES "/lh.curv")->values;
    write(tmp.filePath("gifti/sub-01_hemi-L_curv.shape.gii"), giftiShape(curvature));
    write(tmp.filePath("gifti/sub-02_hemi-L_curv.shape.gii"),
          giftiShape(std::vector<float>(41, 0.5f)));
    write(tmp.filePath("surf/rh.thickness"), freeSurferValues(41));
    write(tmp.filePath("surf/lh.cortex.label"), "#!ascii label\n1\n0 1 2 3 0\n");
    write(tmp.filePath("surf/notes"), "no surface");
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
    QTest::newRow("VMR and VMP") << QString("vmr") << QString("blobs.vmp") << QString("blobs")
                                 << Point{128.0 - z, 128.0 - x, 128.0 - y} << byte << 300;
    QTest::newRow("NIfTI volume and map")
        << QString("nifti") << QString("zmap.nii") << QString("Volume 1") << Point{-18, -15, -12}
        << QString::number(10 + 4 + 10 + 18) << 10;
}

void TestReadings::clustersAndValues()
{
    QFETCH(QString, folder);
    QFETCH(QString, mapFile);
    QFETCH(QString, mapName);
    QFETCH(Point, peakWorld);
    QFETCH(QString, anatomy);
    QFETCH(int, clusterSize);

    CortivexViewer &viewer = openWindow({tmp.filePath(folder)});

    auto *volumeView = viewer.findChild<VolumeOGLViewer *>();
    auto *maps = viewer.findChild<MapsPanel *>();
    auto *clusters = viewer.findChild<ClustersPanel *>();
    auto *panels = viewer.findChild<PropertyPanels *>();
    auto *dock = qobject_cast<QDockWidget *>(clusters->parentWidget());
    QVERIFY(dock && dock->isVisible() && dock->windowTitle() == "Clusters");
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
    const auto cross = volumeView->cross().position();
    const Point at = toWorld.map({double(cross[0]), double(cross[1]), double(cross[2])});
    for (int a = 0; a < 3; ++a)
        QVERIFY2(std::abs(at[a] - peakWorld[a]) < 1e-6, qPrintable(QString::number(at[a])));
    QCOMPARE(values(panels->crossValuesGroupItem()),
             QStringList({"Anatomy=" + anatomy, mapName + "=8", "Atlas region="}));
    // In sight at the window's first size, without scrolling.
    QTreeWidget *tree = panels->cxPropertiesBrowser()->treeWidget();
    const QTreeWidgetItem *last = tree->findItems("Atlas region", Qt::MatchRecursive).value(0);
    QVERIFY(last && tree->viewport()->rect().contains(tree->visualItemRect(last)));

    // Each change of the controls lists anew, and draws the slices through
    // the peak anew (those of the VMR show the blob around it).
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
    const QImage atThree = volumeView->shownImage();
    threshold->setValue(7.0);
    QTRY_COMPARE(rows(clusters), QStringList({"1 8 (4, 5, 6)"}));
    QVERIFY(folder != "vmr" || volumeView->shownImage() != atThree);
    threshold->setValue(3.0);
    QTRY_COMPARE(rows(clusters), both);
    maps->findChild<QSpinBox *>()->setValue(clusterSize);
    filter->click();
    QTRY_COMPARE(rows(clusters), QStringList({"19 8 (4, 5, 6)"}));
    filter->click();
    QTRY_COMPARE(rows(clusters), both);

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
    QCOMPARE(file.readAll(), clusters->clusterTable()->toTsv());
    QCOMPARE(clusters->status(), QString("Saved as table.tsv"));

    // Outside CX data mode there is no table.
    viewer.setBrowsingMode(BrowsingMode::Images);
    QVERIFY(!dock->isVisible());
}

// A NIfTI template beside maps: listed and shown as a volume, its statistics
// offered, and chosen beside it from the command line.
void TestReadings::folderOfNiftiFiles()
{
    const QString fixtures = CXV_NIFTI_FIXTURES "/";
    QFile::copy(fixtures + "ras_uint8.nii.gz", tmp.filePath("mni/Brain.NII.GZ"));
    for (const char *name :
         {"zmap_float32.nii.gz", "twomaps_float32.nii", "far_float32.nii", "mask_uint8.nii"})
        QFile::copy(fixtures + name, tmp.filePath(QString("mni/") + name));
    QDir::setCurrent(tmp.filePath("mni"));
    CortivexViewer &viewer = openWindow({tmp.filePath("mni")});

    const CoverStore *store = viewer.coverFlow()->coverStore();
    QCOMPARE(coverNames(store), QStringList({"Brain.NII.GZ", "far_float32.nii", "mask_uint8.nii",
                                             "twomaps_float32.nii", "zmap_float32.nii.gz"}));
    auto *volumeView = viewer.findChild<VolumeOGLViewer *>();
    QCOMPARE(viewer.findChild<QStackedWidget *>()->currentWidget(), volumeView);
    auto *mapsPanel = viewer.findChild<MapsPanel *>();
    QListWidget *files = mapsPanel->mapFileList();
    QListWidget *maps = mapsPanel->subMapList();
    QTRY_COMPARE(texts(files), QStringList({"twomaps_float32.nii", "zmap_float32.nii.gz"}));
    QVERIFY(!volumeView->shownImage().isNull());

    // From the command line, a statistics file after its volume is chosen as its map,
    // and a volume after a volume is shown in its place.
    viewer.openPaths({"Brain.NII.GZ", "zmap_float32.nii.gz"});
    QCOMPARE(files->currentItem() ? files->currentItem()->text() : QString(),
             QString("zmap_float32.nii.gz"));
    QCOMPARE(maps->count(), 1);
    viewer.openPaths({"Brain.NII.GZ", "mask_uint8.nii"});
    QCOMPARE(QFileInfo(store->fileName(viewer.coverFlow()->getSelectedImageIndex())).fileName(),
             QString("mask_uint8.nii"));
}

// A scanner's folder in CX data mode: a cover per series that is a volume,
// named by its number, description and slice count, after the files; chosen,
// it shows as dcm2niix's NIfTI file of it does, with its notes and the
// statistics over it offered.
void TestReadings::folderOfDicomSeries()
{
    const QString fixtures = CXV_DICOM_SERIES "/";
    for (const QFileInfo &file : QDir(fixtures + "series").entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), tmp.filePath("scan/" + file.fileName())));
    QVERIFY(QFile::copy(fixtures + "nifti/stats.nii", tmp.filePath("scan/stats.nii")));
    QDir::setCurrent(tmp.filePath("scan"));

    // The working directory is listed in CX data mode.
    CortivexViewer &viewer = openWindow({});
    CoverFlowBrowser *strip = viewer.coverFlow();
    const CoverStore *store = strip->coverStore();
    QTRY_COMPARE(coverNames(store),
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
    const auto panelRow = [panels](int row) { return values(panels->niftiGroupItem()).value(row); };
    inspect(1);
    const auto nifti = readAs<VolumeDocument>(fixtures + "nifti/s5.nii");
    QVERIFY(nifti);
    VolumeComposer composer;
    const QImage expected = composer.compose(*nifti, nifti->initialCross(), {true, true, false});
    QVERIFY(largestDifference(volumeView->shownImage(), expected) <= 1);
    QCOMPARE(panelRow(0), QString("Dims=20 × 16 × 12"));
    QCOMPARE(panelRow(3), QString("Orientation=DICOM series"));
    QCOMPARE(panelRow(9), QString("Notes="));
    QTRY_COMPARE(texts(files), QStringList({"stats.nii"}));

    inspect(2);
    QCOMPARE(panelRow(9), QString("Notes=1 slice is missing. Resampled to even spacing."));
    QCOMPARE(volumeView->failureNote(), QString());
}

void TestReadings::surfaceFolders_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("covers");
    // The maps offered, the labels first.
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("FreeSurfer") << QString("surf/lh.white") << QString("FreeSurfer surface")
                                << QStringList{"lh.sphere.reg", "lh.white", "rh.pial"}
                                << QStringList{"lh.aparc.annot", "lh.curv", "lh.thickness",
                                               "lh.white.H"};
    QTest::newRow("GIfTI") << QString("gifti/sub-01_hemi-L_pial.surf.gii")
                           << QString("GIfTI surface") << QStringList{"sub-01_hemi-L_pial.surf.gii"}
                           << QStringList{"sub-01_hemi-L_areas.label.gii",
                                          "sub-01_hemi-L_curv.shape.gii",
                                          "sub-01_hemi-L_stats.func.gii",
                                          "sub-01_hemi-L_thickness.shape.gii"};
}

// The folder opens in CX data mode with its surfaces as covers; the surface
// shows in the greys of its curvature, its header figures in the panel; the
// maps panel offers the files of its vertex count; a thickness map and the
// labels are drawn in colour, and a Control-click names the label there.
void TestReadings::surfaceFolders()
{
    QFETCH(QString, mesh);
    QFETCH(QString, type);
    QFETCH(QStringList, covers);
    QFETCH(QStringList, offered);
    const QString labels = offered.first(), thickness = offered.filter("thickness").first();
    CortivexViewer &viewer = openWindow({tmp.filePath(mesh)});
    QCOMPARE(coverNames(viewer.coverFlow()->coverStore()), covers);
    auto *view = viewer.findChild<MeshOGLViewer *>();
    QCOMPARE(viewer.findChild<QStackedWidget *>()->currentWidget(), view);
    QTRY_COMPARE(view->mesh() ? view->mesh()->fileName() : QString(), tmp.filePath(mesh));
    const SurfaceMesh &surface = view->mesh()->mesh();

    // Convex and concave vertices in two greys, and nothing but grey drawn.
    const int *codes = surface.vertexColors.get();
    const auto count = [&](int code) {
        return std::count(codes, codes + surface.nrOfVertices, code);
    };
    QVERIFY(count(0) > 5 && count(1) > 5 && count(0) + count(1) == surface.nrOfVertices);
    for (const float *grey : {surface.meshColor0, surface.meshColor1})
        QVERIFY(grey[0] == grey[1] && grey[1] == grey[2]);
    QCOMPARE_GT(surface.meshColor0[0], surface.meshColor1[0] + 0.2f);
    QTRY_VERIFY(litAndColoured(view->grabFramebuffer()).first > 5000);
    QCOMPARE(litAndColoured(view->grabFramebuffer()).second, 0);
    const QtTreePropertyBrowser *header =
        viewer.findChild<PropertyPanels *>()->cxPropertiesBrowser();
    const auto headerValue = [header](const QString &label) {
        return header->treeWidget()->findItems(label, Qt::MatchRecursive).value(0)->text(1);
    };
    const auto inSight = [header](const QString &label) {
        const QTreeWidget *tree = header->treeWidget();
        const QTreeWidgetItem *item = tree->findItems(label, Qt::MatchRecursive).value(0);
        return tree->viewport()->rect().contains(tree->visualItemRect(item));
    };
    QVERIFY(inSight("Mean edge length"));
    QCOMPARE(headerValue("Type"), type);
    QCOMPARE(headerValue("No. of vertices"), QString("42"));

    auto *mapsPanel = viewer.findChild<MapsPanel *>();
    QListWidget *files = mapsPanel->mapFileList();
    QTRY_COMPARE(texts(files), offered);
    const auto choose = [files](const QString &name) {
        const QListWidgetItem *item = files->findItems(name, Qt::MatchExactly).value(0);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(item).center());
    };
    choose(thickness);
    QCOMPARE(mapsPanel->subMapList()->count(), 1);
    QTRY_VERIFY(litAndColoured(view->grabFramebuffer()).second > 1000);

    choose(labels);
    QCOMPARE(texts(mapsPanel->subMapList()), QStringList{labels});
    QVERIFY(std::count_if(codes, codes + surface.nrOfVertices,
                          [](int code) { return code >= 0x3F000000; }) > 10);
    QTRY_VERIFY(litAndColoured(view->grabFramebuffer()).second > 1000);
    QCOMPARE(headerValue("Label"), QString());
    // The label of the vertex under the middle of the view.
    const QPoint middle(view->width() / 2, view->height() / 2);
    const int vertex = view->vertexAt(middle);
    QVERIFY(vertex >= 0);
    QVERIFY(!view->mesh()->labelAt(vertex).isEmpty());
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, middle);
    QCOMPARE(headerValue("Label"), view->mesh()->labelAt(vertex));
    // The picked vertex in sight at the window's first size, as the mesh's
    // figures were before the click.
    QVERIFY(inSight("Label"));
    QCOMPARE(view->camera().rotationX(), 187.0);
}

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
