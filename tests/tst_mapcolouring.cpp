// The colour of single voxels under statistical maps, at the edges of the
// thresholds, transparency, lags, mixing and the cluster filter; and the
// colouring put into a slice mosaic; the legend's colour bars.

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "ClusterTable.h"
#include "MeshLegend.h"
#include "MosaicLayout.h"
#include "SliceMosaic.h"
#include "SrfFixture.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeLegend.h"
#include "VolumeMapColouring.h"
#include "VoxelColours.h"

#include <QBuffer>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// A volume of nx × ny × nz voxels, every byte 100, with maps over the box from
// 1 to dim - 2 of each axis; map 0 is selected and shown as its file would say.
struct Scene
{
    Scene(int nx = 8, int ny = 8, int nz = 8)
    {
        doc.dimX = nx;
        doc.dimY = ny;
        doc.dimZ = nz;
        doc.vmrData = std::make_unique<unsigned char[]>(size_t(nx) * ny * nz);
        std::fill_n(doc.vmrData.get(), size_t(nx) * ny * nz, 100);
        doc.arVolumeMaps = std::make_unique<ArVolumeMaps>();
        maps().xStart = maps().yStart = maps().zStart = 1;
        maps().xEnd = nx - 2;
        maps().yEnd = ny - 2;
        maps().zEnd = nz - 2;
        addMap();
        maps().selectedMaps = {0};
        maps().nrOfSelectedMaps = 1;
    }
    ArVolumeMaps &maps() { return *doc.arVolumeMaps; }
    ArVolumeMap &map(int i = 0) { return *maps().maps[i]; }
    ArVolumeMap &addMap()
    {
        maps().maps.push_back(std::make_unique<ArVolumeMap>());
        ArVolumeMap *map = maps().maps.back().get();
        map->allocateMapData(maps());
        return *map;
    }
    void set(ArVolumeMap &map, int x, int y, int z, float v)
    {
        const ArVolumeMaps &box = maps();
        const qint64 nx = box.boxDimX(), ny = box.boxDimY();
        map.mapData[(x - box.xStart) + (y - box.yStart) * nx + (z - box.zStart) * nx * ny] = v;
    }

    VolumeDoc doc;
    MapDisplay display = ArVolumeMap().storedDisplay();
};

using Setup = std::function<void(Scene &)>;
using Rgb = QList<int>; // empty: no map colour

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(MapDisplay)

class TestMapColouring : public QObject
{
    Q_OBJECT

private slots:
    void voxel_data();
    void voxel();
    void mosaic();
    void clustersShown_data();
    void clustersShown();
    void legend_data();
    void legend();
    void meshLegend_data();
    void meshLegend();
};

// Map 0 has thresholds 4 and 8, no upper threshold and the built-in scale, and
// is shown at threshold 4 with both signs, unless the row says otherwise; the
// voxel (3, 3, 3) holds value, its anatomy is grey 100.
void TestMapColouring::voxel_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<float>("value");
    QTest::addColumn<Rgb>("expected");

    const Setup plain = [](Scene &) {};
    const Setup upperOn = [](Scene &s) { s.map().mapOption = 0; };
    const Setup ownColours = [](Scene &s) { s.map().useMapColors = true; };
    const Setup seeThrough = [](Scene &s) { s.map().mapAlpha = -1.0f; };
    auto lags = [](int byStatistic, bool own = false) {
        return Setup([=](Scene &s) {
            ArVolumeMap &m = s.map();
            m.mapType = 3;
            s.display.threshold = 0.25f;
            m.threshMax = 0.75f;
            std::copy_n(std::data({5, 1, 3, byStatistic}), 4, m.lagValues);
            m.useMapColors = own;
            m.mapAlpha = own ? 0.0f : 1.0f;
        });
    };
    // A second selected map holding -4.5 at the voxel, blue (0, 95, 235).
    auto withSecond = [](int mixMode) {
        return Setup([=](Scene &s) {
            s.set(s.addMap(), 3, 3, 3, -4.5f);
            s.maps().selectedMaps = {0, 1};
            s.maps().nrOfSelectedMaps = 2;
            s.maps().mapMixMode = mixMode;
        });
    };

    QTest::newRow("at the lower threshold") << plain << 4.0f << Rgb{255, 75, 0};
    QTest::newRow("at minus the lower threshold") << plain << -4.0f << Rgb{};
    QTest::newRow("just below it") << plain << -4.5f << Rgb{0, 95, 235};
    QTest::newRow("above the upper threshold") << upperOn << 9.0f << Rgb{};
    QTest::newRow("above it, no upper") << plain << 9.0f << Rgb{255, 255, 0};
    QTest::newRow("at the upper threshold") << upperOn << 8.0f << Rgb{255, 255, 0};
    QTest::newRow("positive only")
        << Setup([](Scene &s) { s.display.signSelection = 1; }) << -6.0f << Rgb{};
    QTest::newRow("negative only")
        << Setup([](Scene &s) { s.display.signSelection = 2; }) << 6.0f << Rgb{};
    QTest::newRow("own range, positive") << ownColours << 6.0f << Rgb{0, 0, 177};
    QTest::newRow("own range, negative") << ownColours << -6.0f << Rgb{150, 150, 75};
    QTest::newRow("transparency -1, at threshold") << seeThrough << 4.0f << Rgb{100, 100, 100};
    QTest::newRow("transparency -1, halfway") << seeThrough << 6.0f << Rgb{177, 127, 50};
    QTest::newRow("transparency -1, at maximum") << seeThrough << 8.0f << Rgb{255, 255, 0};
    QTest::newRow("transparency 0.5")
        << Setup([](Scene &s) { s.map().mapAlpha = 0.5f; }) << 8.0f << Rgb{177, 177, 50};
    QTest::newRow("transparent overlay") << Setup([](Scene &s) {
        s.map().mapAlpha = 0.5f;
        s.maps().transparentOverlay = 1;
    }) << 7.0f << Rgb{216, 171, 25};
    QTest::newRow("lag coloured") << lags(0) << 3.5f << Rgb{0, 155, 175};
    QTest::newRow("lag beyond the range") << lags(0) << 4.5f << Rgb{};
    QTest::newRow("lag, fraction below") << lags(0) << 3.2f << Rgb{};
    QTest::newRow("lag, negative fraction") << lags(0) << -3.75f << Rgb{};
    QTest::newRow("lag, own range") << lags(0, true) << 3.5f << Rgb{50, 50, 158};
    QTest::newRow("lag as statistic") << lags(1) << 3.5f << Rgb{255, 155, 0};
    QTest::newRow("lag as statistic, negative") << lags(1) << -3.75f << Rgb{0, 255, 75};
    QTest::newRow("two maps averaged") << withSecond(1) << 8.0f << Rgb{128, 175, 118};
    QTest::newRow("two maps summed") << withSecond(0) << 8.0f << Rgb{186, 255, 171};
    QTest::newRow("twelve maps") << Setup([](Scene &s) {
        for (int i = 1; i < 12; ++i)
            s.set(s.addMap(), 3, 3, 3, i % 2 ? 8.0f : 4.0f);
        s.maps().selectedMaps = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        s.maps().nrOfSelectedMaps = 12;
    }) << 4.0f << Rgb{255, 165, 0};
    QTest::newRow("outside the box") << Setup([](Scene &s) { s.maps().xEnd = 2; }) << 6.0f << Rgb{};

    // The upper threshold is kept above the threshold shown, as the statistic
    // has it; the file's settings are left as they are.
    QTest::newRow("threshold shown at the upper one") << Setup([](Scene &s) {
        s.display.threshold = 8.0f;
        s.map().mapOption = 0;
    }) << 9.0f << Rgb{255, 155, 0};

    // Sound where the settings or data are not.
    QTest::newRow("equal thresholds") << Setup([](Scene &s) {
        s.map().mapType = 6; // a statistic whose thresholds are taken as they are
        s.map().mapOption = 0;
        s.map().threshMax = 4.0f;
    }) << 4.0f << Rgb{255, 255, 0};
    QTest::newRow("not a number") << plain << NAN << Rgb{};
    QTest::newRow("lag not a number") << lags(0) << NAN << Rgb{};
    QTest::newRow("huge lag") << lags(0) << 3e30f << Rgb{};
    QTest::newRow("one lag") << Setup([&](Scene &s) {
        lags(0)(s);
        std::copy_n(std::data({1, 0, 1, 0}), 4, s.map().lagValues);
    }) << 0.5f << Rgb{255, 75, 0};
    QTest::newRow("selection beyond the maps") << Setup([](Scene &s) {
        s.maps().selectedMaps = {0, 3, -1};
        s.maps().nrOfSelectedMaps = 5;
    }) << 6.0f << Rgb{255, 155, 0};
    QTest::newRow("data shorter than the box")
        << Setup([](Scene &s) { s.maps().zEnd = 7; }) << 6.0f << Rgb{};
}

void TestMapColouring::voxel()
{
    QFETCH(Setup, setup);
    QFETCH(float, value);
    QFETCH(Rgb, expected);

    Scene scene;
    scene.set(scene.map(), 3, 3, 3, value);
    setup(scene);
    VolumeMapColouring colouring;
    Rgb rgb(3);
    colouring.getVMPColorForVoxel(&scene.doc, scene.display, 3, 3, 3, rgb[0], rgb[1], rgb[2], 100,
                                  100, 100);
    QCOMPARE(rgb[0] == -1 ? Rgb{} : rgb, expected);
}

// The slices take the map colours at the voxels the map colours, and keep
// their grey elsewhere; with the cluster filter on, as separate tests of each
// voxel would have it.
void TestMapColouring::mosaic()
{
    const int nx = 16, ny = 12, nz = 10;
    Scene scene(nx, ny, nz);
    const MosaicLayout layout(nx, ny, nz);
    VolumeMapColouring colouring;
    SliceMosaic mosaic;
    const QImage grey = mosaic.compose(scene.doc, 5, 6, 7);

    scene.maps().nrOfSelectedMaps = 0;
    QVERIFY(!colouring.mapColouring(scene.doc, scene.display, 5, 6, 7));
    scene.maps().nrOfSelectedMaps = 1;
    // Zeros colour nothing.
    QCOMPARE(mosaic.compose(scene.doc, 5, 6, 7,
                            colouring.mapColouring(scene.doc, scene.display, 5, 6, 7)),
             grey);

    // Blobs of both signs and sizes over the whole volume, with scattered single
    // values and white voxels among them.
    ArVolumeMaps &maps = scene.maps();
    maps.xStart = maps.yStart = maps.zStart = 0;
    maps.xEnd = nx - 1;
    maps.yEnd = ny - 1;
    maps.zEnd = nz - 1;
    scene.map().allocateMapData(maps);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                scene.set(scene.map(), x, y, z,
                          (x * 7 + y * 5 + z * 3) % 11 == 0
                              ? 6.0f
                              : 6.0f * std::sin(x * 0.6f + 0.4f) * std::sin(y * 0.5f + z * 0.4f));
    const int nrOfVoxels = nx * ny * nz;
    for (int i = 0; i < nrOfVoxels; i += 7)
        scene.doc.vmrData[i] = 255;
    scene.display.clusterFilter = true;
    scene.display.clusterSize = 6;
    const QByteArray volume(reinterpret_cast<char *>(scene.doc.vmrData.get()), nrOfVoxels);
    const VoxelColours table;
    int coloured = 0;
    auto expected = [&](int x, int y, int z) {
        const QRgb anatomy = table.voxel(scene.doc.vmrData[x + y * nx + z * nx * ny]);
        int r, g, b;
        colouring.getVMPColorForVoxel(&scene.doc, scene.display, x, y, z, r, g, b, qRed(anatomy),
                                      qGreen(anatomy), qBlue(anatomy));
        coloured += r >= 0;
        return r >= 0 ? qRgb(r, g, b) : anatomy;
    };
    const int crosses[][3] = {{0, 9, 4}, {5, 11, 9}, {15, 2, 0}};
    for (const auto &c : crosses) {
        const QImage image =
            mosaic.compose(scene.doc, c[0], c[1], c[2],
                           colouring.mapColouring(scene.doc, scene.display, c[0], c[1], c[2]));
        coloured = 0;
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                QCOMPARE(image.pixel(layout.upperLeftPixel(x, y)), expected(x, y, c[2]));
        for (int z = 0; z < nz; ++z) {
            for (int y = 0; y < ny; ++y)
                QCOMPARE(image.pixel(layout.upperRightPixel(y, z)), expected(c[0], y, z));
            for (int x = 0; x < nx; ++x)
                QCOMPARE(image.pixel(layout.lowerRightPixel(x, z)), expected(x, c[1], z));
        }
        QVERIFY(coloured > 40);
    }
    QCOMPARE(QByteArray(reinterpret_cast<char *>(scene.doc.vmrData.get()), nrOfVoxels), volume);
}

// A map of 8 × 8 × 8 voxels over the whole volume, zeros but for the voxels a
// row sets, shown at threshold 4 with a cluster filter of 2 unless the row says
// otherwise.
void TestMapColouring::clustersShown_data()
{
    QTest::addColumn<Setup>("setup");
    // Voxels coloured.
    QTest::addColumn<int>("shown");
    const auto row = [](const char *name, int shown, const QList<QPair<QList<int>, float>> &voxels,
                        const Setup &more = Setup()) {
        QTest::newRow(name) << Setup([=](Scene &s) {
            for (const auto &[v, value] : voxels)
                s.set(s.map(), v[0], v[1], v[2], value);
            if (more)
                more(s);
        }) << shown;
    };
    row("a blob of each sign apart", 5,
        {{{2, 2, 2}, 6}, {{3, 2, 2}, 5}, {{2, 3, 2}, 7}, {{5, 5, 5}, -6}, {{5, 6, 5}, -8}});
    row("a positive beside a negative", 0, {{{3, 3, 3}, 6}, {{4, 3, 3}, -5}});
    row("at index 0", 4, {{{0, 3, 3}, 6}, {{1, 3, 3}, 6}, {{5, 0, 0}, -6}, {{5, 0, 1}, -6}});
    row("at minus the threshold", 0, {{{3, 3, 3}, -5}, {{4, 3, 3}, -4}, {{5, 3, 3}, -5}});
    // Every 0 is positive: 509 zeros, and the pair below 0.
    row("threshold 0", 511, {{{3, 3, 3}, -2}, {{4, 3, 3}, -2}, {{6, 6, 6}, -3}},
        [](Scene &s) { s.display.threshold = 0; });
    row("beyond the upper threshold", 0, {{{3, 3, 3}, 6}, {{4, 3, 3}, 9}, {{5, 3, 3}, 6}},
        [](Scene &s) { s.map().mapOption = 0; });
    row("a lag not shown", 0, {{{3, 3, 3}, 1.5f}, {{4, 3, 3}, 4.5f}, {{5, 3, 3}, 1.5f}},
        [](Scene &s) {
            s.map().mapType = 3;
            std::copy_n(std::data({5, 1, 3, 0}), 4, s.map().lagValues);
            s.display.threshold = 0.25f;
        });
    row("over white anatomy", 2, {{{3, 3, 3}, 6}, {{4, 3, 3}, 6}},
        [](Scene &s) { s.doc.vmrData[4 + 3 * 8 + 3 * 64] = 255; });
}

// The voxels the slices colour with the cluster filter on are those of the
// clusters a table lists of the map's values as the slices show them, sign by
// sign.
void TestMapColouring::clustersShown()
{
    QFETCH(Setup, setup);
    QFETCH(int, shown);
    const int n = 8;
    Scene scene(n, n, n);
    ArVolumeMaps &maps = scene.maps();
    maps.xStart = maps.yStart = maps.zStart = 0;
    maps.xEnd = maps.yEnd = maps.zEnd = n - 1;
    scene.map().allocateMapData(maps);
    scene.display.clusterFilter = true;
    scene.display.clusterSize = 2;
    setup(scene);

    VolumeMapColouring colouring;
    int coloured[2] = {0, 0}; // positive, negative
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                int r, g, b;
                colouring.getVMPColorForVoxel(&scene.doc, scene.display, x, y, z, r, g, b, 100, 100,
                                              100);
                if (r >= 0)
                    ++coloured[r == 255 ? 0 : 1];
            }
    ClusterCriteria criteria = scene.map().shownValues(scene.display);
    criteria.minVoxels = scene.display.clusterSize;
    ClusterTable table;
    QVERIFY(
        table.compute({scene.map().mapData.get(), {n, n, n}, AffineTransform(), false}, criteria));
    qint64 listed[2] = {0, 0};
    for (const Cluster &c : table.clusters())
        listed[c.sign > 0 ? 0 : 1] += c.voxels;
    QCOMPARE(listed[0], qint64(coloured[0]));
    QCOMPARE(listed[1], qint64(coloured[1]));
    QCOMPARE(coloured[0] + coloured[1], shown);
}

void TestMapColouring::legend_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("bars");
    QTest::addColumn<QString>("lowest"); // the first bar's labels
    QTest::addColumn<QString>("highest");

    const auto row = [](const char *name, int bars, const char *lowest, const char *highest,
                        const Setup &setup) {
        QTest::newRow(name) << setup << bars << QString(lowest) << QString(highest);
    };
    row("both signs, built-in scale", 2, "4", "8", [](Scene &) {});
    row("positive only, own colours, threshold 5", 1, "5", "8", [](Scene &s) {
        s.map().useMapColors = true;
        s.display.signSelection = 1;
        s.display.threshold = 5.0f;
    });
    row("negative only, own colours, upper threshold 6", 1, "-4", "-6", [](Scene &s) {
        s.map().useMapColors = true;
        s.map().mapOption = 0;
        s.map().threshMax = 6.0f;
        s.display.signSelection = 2;
    });
    row("no sign shown", 0, "", "", [](Scene &s) { s.display.signSelection = 0; });
}

// Every pixel column of a bar has the colour the map gives a voxel of the
// value that column stands for; the lines give the cross and the values there.
void TestMapColouring::legend()
{
    QFETCH(Setup, setup);
    QFETCH(int, bars);
    QFETCH(QString, lowest);
    QFETCH(QString, highest);
    Scene scene;
    setup(scene);
    scene.map().mapName = "t map";
    scene.set(scene.map(), 3, 3, 3, 6.25f);
    const VolumeLegend legend(scene.doc, scene.display, "/data/head.vmr", "/data/maps.vmp",
                              {3, 3, 3});
    QCOMPARE(legend.lines(),
             QStringList({"head.vmr", "Voxel 3, 3, 3", "Anatomy 100", "maps.vmp", "t map: 6.25"}));
    QCOMPARE(legend.barCount(), bars);
    QImage image(300, 300, QImage::Format_RGB32);
    const QRect area(0, 151, 150, 149);
    legend.draw(image, area);

    VolumeMapColouring colouring;
    for (int i = 0; i < bars; ++i) {
        const QRect bar = legend.barRect(area, i);
        QVERIFY(bar.width() > 20 && area.contains(bar));
        const bool negative = scene.display.signSelection == 2 || i == 1;
        const StatisticalMap::Thresholds t = scene.map().thresholds(scene.display);
        for (int column = 0; column < bar.width(); ++column) {
            const float v = VolumeLegend::barValue(t.lower, t.upper, column, bar.width());
            scene.set(scene.map(), 3, 3, 3, negative ? -v : v);
            int rgb[3];
            colouring.getVMPColorForVoxel(&scene.doc, scene.display, 3, 3, 3, rgb[0], rgb[1],
                                          rgb[2], 100, 100, 100);
            for (int y : {bar.top(), bar.bottom()})
                QCOMPARE(QColor(image.pixel(bar.left() + column, y)),
                         QColor(rgb[0], rgb[1], rgb[2]));
        }
    }
    if (bars)
        QCOMPARE(legend.barLabels(0), QStringList({lowest, highest}));
}

void TestMapColouring::meshLegend_data()
{
    QTest::addColumn<bool>("ownColours");
    QTest::addColumn<MapDisplay>("display");
    QTest::addColumn<int>("bars");
    QTest::newRow("built-in scale, both signs") << false << MapDisplay{4, 0, false, 3} << 2;
    QTest::newRow("own colours, negative values above 5")
        << true << MapDisplay{5, 0, false, 2} << 1;
}

// A mesh figure's bars have the colours the overlay gives a vertex of each
// column's value.
void TestMapColouring::meshLegend()
{
    QFETCH(bool, ownColours);
    QFETCH(MapDisplay, display);
    QFETCH(int, bars);
    SurfaceMesh mesh;
    QByteArray bytes = SrfFixture::octahedron().bytes();
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly) && mesh.readMesh(buffer));
    mesh.surfaceMaps = std::make_unique<SurfaceMaps>();
    mesh.surfaceMaps->nrOfVertices = mesh.nrOfVertices;
    mesh.surfaceMaps->allocateMapsMemory(1, false);
    mesh.surfaceMaps->nrOfSelectedMaps = 1;
    SurfaceMap &map = *mesh.surfaceMaps->maps[0];
    map.useMapColors = ownColours;
    std::fill_n(map.mapData.get(), mesh.nrOfVertices, 0.0f);

    const MeshLegend legend(mesh, display, "/data/cortex.smp");
    QCOMPARE(legend.barCount(), bars);
    QImage figure(400, 300, QImage::Format_RGB32);
    figure.fill(Qt::black);
    legend.draw(figure);
    for (int i = 0; i < bars; ++i) {
        const QRect bar = legend.barRect(figure.size(), i);
        QVERIFY(bar.width() > 20 && QRect(QPoint(), figure.size()).contains(bar));
        const bool negative = display.signSelection == 2 || i == 1;
        const StatisticalMap::Thresholds t = map.thresholds(display);
        for (int column = 0; column < bar.width(); ++column) {
            const float v = VolumeLegend::barValue(t.lower, t.upper, column, bar.width());
            map.mapData[0] = negative ? -v : v;
            mesh.prepareDisplayOfSMP();
            mesh.overlaySMP(display);
            const int code = mesh.vertexColors[0];
            QCOMPARE(QColor(figure.pixel(bar.left() + column, bar.center().y())),
                     QColor((code >> 16) & 0xFF, (code >> 8) & 0xFF, code & 0xFF));
        }
    }
}

QTEST_MAIN(TestMapColouring)
#include "tst_mapcolouring.moc"
