#include "FixtureStream.h"
#include "SmpFixture.h"
#include "SrfFixture.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Color = StatisticalMap::Color;

bool readMesh(SurfaceMesh &mesh, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return mesh.readMesh(buffer);
}

// Reads bytes as a map file for a mesh of meshVertices vertices.
bool readMaps(SurfaceMaps &maps, QByteArray bytes, int meshVertices = 6)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return maps.loadSurfaceMaps(buffer, meshVertices);
}

int code(const QList<int> &rgb)
{
    return 0x3F000000 + rgb[0] * 65536 + rgb[1] * 256 + rgb[2];
}

// Maps of the mesh, the first one selected, every value v.
SurfaceMaps &mapsOf(SurfaceMesh &mesh, int count, float v = 0)
{
    mesh.surfaceMaps = std::make_unique<SurfaceMaps>();
    mesh.surfaceMaps->nrOfVertices = mesh.nrOfVertices;
    mesh.surfaceMaps->allocateMapsMemory(count, false);
    for (const auto &map : mesh.surfaceMaps->maps)
        std::fill(map->mapData.get(), map->mapData.get() + mesh.nrOfVertices, v);
    mesh.surfaceMaps->nrOfSelectedMaps = 1;
    return *mesh.surfaceMaps;
}

// At threshold 4 with both signs, unless display says otherwise.
void overlay(SurfaceMesh &mesh, const MapDisplay &display = {4, 0, false, 3})
{
    mesh.prepareDisplayOfSMP();
    mesh.overlaySMP(display);
}

struct Overlay
{
    float value;
    float threshMin = 4;
    float threshMax = 8;
    int mapOption = 1;
    int showPosNeg = 3;
    int mapType = 1;
    QList<int> lagValues = {0, 0, 0, 0};
    bool useMapColors = false;
    float mapAlpha = 1;
};

} // namespace

Q_DECLARE_METATYPE(Overlay)

class TestSurfaceMaps : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void versions_data();
    void versions();
    void refused_data();
    void refused();
    void fromFile();
    void colors_data();
    void colors();
    void averageOfMaps();
    void clusterRemoval_data();
    void clusterRemoval();
    void secondOverlay();

private:
    std::unique_ptr<SurfaceMesh> mesh;
};

void TestSurfaceMaps::init()
{
    mesh = std::make_unique<SurfaceMesh>();
    QVERIFY(readMesh(*mesh, SrfFixture::octahedron().bytes()));
}

void TestSurfaceMaps::versions_data()
{
    QTest::addColumn<int>("version");
    for (int v = 1; v <= 4; ++v)
        QTest::addRow("%d", v) << v;
}

void TestSurfaceMaps::versions()
{
    QFETCH(int, version);
    SmpFixture f;
    f.version = version;
    f.maps.resize(2);
    f.maps[0].mapType = 3;
    f.maps[1].name = "second";
    f.maps[1].useMapColors = 1;
    f.maps[1].mapAlpha = 0.5f;
    f.maps[1].mapOption = 0;
    f.maps[1].data = {1, 2, 3, 4, 5, 6};
    SurfaceMaps maps;
    QVERIFY(readMaps(maps, f.bytes()));

    QCOMPARE(maps.maps.size(), 2);
    QCOMPARE(maps.srfFileName, "lh.srf");
    QCOMPARE(maps.selectedMaps, QList<int>({0, 0}));
    const SurfaceMap &m = *maps.maps[1];
    QCOMPARE(m.mapName, "second");
    QCOMPARE(QList<float>(m.mapData.get(), m.mapData.get() + 6), f.maps[1].data);
    QCOMPARE(QList<float>({float(m.clusterSize), m.threshMin, m.threshMax, float(m.statParam3)}),
             QList<float>({7, 4, 8, 13}));
    // Versions 1 and 2 give every map the first map's type and the lags of the header.
    QCOMPARE(m.mapType, version <= 2 ? 3 : 1);
    QCOMPARE(maps.maps[0]->lagValues[0], version <= 2 ? 0 : 5);
    QCOMPARE(m.lagValues[2], 3);
    QCOMPARE(m.clusterCheckEnabled, version == 1);
    QCOMPARE(m.mapColor1, version >= 2 ? Color({1, 2, 3}) : Color({0, 100, 0}));
    QCOMPARE(m.mapColor4, version == 4 ? Color({10, 11, 12}) : Color({200, 200, 100}));
    QCOMPARE(m.useMapColors, version >= 2);
    QCOMPARE(m.mapAlpha, version >= 2 ? 0.5f : 1.0f);
    QCOMPARE(m.mapOption, version == 4 ? 0 : 1);
}

void TestSurfaceMaps::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    SmpFixture f;
    f.maps.resize(1);
    auto with = [f](auto change) {
        SmpFixture g = f;
        change(g);
        return g.bytes();
    };
    QTest::newRow("other vertex count") << with([](SmpFixture &g) { g.nrOfVertices = 5; })
                                        << "made for a mesh of 5 vertices, not 6";
    QTest::newRow("version 5") << with([](SmpFixture &g) { g.version = 5; }) << "SMP version 5 is";
    QTest::newRow("version 0") << with([](SmpFixture &g) { g.version = 0; }) << "SMP version 0 is";
    QTest::newRow("values cut") << f.bytes().chopped(1) << "";
    QTest::newRow("map count beyond the file")
        << f.bytes().replace(6, 2, FixtureStream().i16(32767).data) << "";
    QTest::newRow("negative map count")
        << f.bytes().replace(6, 2, FixtureStream().i16(-1).data) << "";
    f.nrOfVertices = -3;
    QTest::newRow("negative vertex count, one map") << f.bytes() << "";
    f.maps.clear();
    QTest::newRow("negative vertex count, no map") << f.bytes() << "";
}

void TestSurfaceMaps::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    SurfaceMaps maps;
    // A negative count for a mesh of the count the file states, as cxvinfo asks
    // for one never read.
    const bool stated = QByteArray(QTest::currentDataTag()).startsWith("negative vertex");
    QVERIFY(!readMaps(maps, bytes, stated ? -3 : 6));
    QVERIFY(maps.maps.empty());
    QVERIFY2(maps.failureReason().startsWith(reason), qPrintable(maps.failureReason()));
}

void TestSurfaceMaps::fromFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lh.smp");
    QFile file(path);
    SmpFixture f;
    f.maps.resize(1);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(f.bytes()) > 0);
    file.close();

    QVERIFY(mesh->loadSMPs(path));
    QCOMPARE(mesh->surfaceMaps->fileNameWithPath, path);
    QVERIFY(!mesh->loadSMPs(dir.filePath("rh.smp")));
    QCOMPARE(mesh->surfaceMaps->maps.size(), 1);

    // Maps belong to the mesh they were read for.
    QVERIFY(readMesh(*mesh, SrfFixture::octahedron().bytes()));
    QVERIFY(!mesh->surfaceMaps);
}

void TestSurfaceMaps::colors_data()
{
    QTest::addColumn<Overlay>("settings");
    QTest::addColumn<QList<int>>("rgb"); // empty: vertex 0 keeps its code

    const QList<int> none;
    QTest::newRow("between the thresholds") << Overlay{6} << QList<int>({255, 155, 0});
    QTest::newRow("at the lower threshold") << Overlay{4} << QList<int>({255, 75, 0});
    QTest::newRow("at the upper threshold") << Overlay{8} << QList<int>({255, 255, 0});
    QTest::newRow("above it") << Overlay{20} << QList<int>({255, 255, 0});
    QTest::newRow("above it, bounded") << Overlay{9, 4, 8, 0} << none;
    QTest::newRow("minus the lower threshold") << Overlay{-4} << none;
    QTest::newRow("negative") << Overlay{-6} << QList<int>({0, 155, 175});
    QTest::newRow("negative, positive shown") << Overlay{-6, 4, 8, 1, 1} << none;
    // The upper threshold is kept above the threshold shown, as the statistic has it.
    QTest::newRow("shown at the upper threshold")
        << Overlay{9, 8, 8, 0} << QList<int>({255, 155, 0});
    QTest::newRow("equal thresholds, taken as they are")
        << Overlay{4, 4, 4, 1, 3, 6} << QList<int>({255, 255, 0});
    QTest::newRow("own colours") << Overlay{6, 4, 8, 1, 3, 1, {}, true} << QList<int>({0, 0, 177});
    QTest::newRow("half transparent")
        << Overlay{6, 4, 8, 1, 3, 1, {}, false, 0.5f} << QList<int>({242, 179, 12});
    // Lag maps: lag 3 of lags 0..4 takes entry 19·3/4 of the 20-entry table.
    QTest::newRow("lag") << Overlay{3000.5f, 0.3f, 0.8f, 1, 3, 3, {5, 1, 3, 0}}
                         << QList<int>({0, 155, 175});
    QTest::newRow("lag not shown") << Overlay{4000.5f, 0.3f, 0.8f, 1, 3, 3, {5, 1, 3, 0}} << none;
    QTest::newRow("single lag") << Overlay{3000.5f, 0.3f, 0.8f, 1, 3, 3, {1, 0, 3, 0}}
                                << QList<int>({255, 75, 0});
}

void TestSurfaceMaps::colors()
{
    QFETCH(Overlay, settings);
    QFETCH(QList<int>, rgb);
    SurfaceMap &map = *mapsOf(*mesh, 1, settings.value).maps[0];
    map.threshMax = settings.threshMax;
    map.mapOption = settings.mapOption;
    map.mapType = settings.mapType;
    std::copy(settings.lagValues.begin(), settings.lagValues.end(), map.lagValues);
    map.useMapColors = settings.useMapColors;
    map.mapAlpha = settings.mapAlpha;
    overlay(*mesh, {settings.threshMin, 0, false, settings.showPosNeg});
    QCOMPARE(mesh->vertexColors[0], rgb.isEmpty() ? 0 : code(rgb));
}

// Selected maps are averaged; indices below 0 mean map 0, beyond the last none.
void TestSurfaceMaps::averageOfMaps()
{
    SurfaceMaps &maps = mapsOf(*mesh, 2, 6);
    maps.maps[0]->mapColor1 = maps.maps[0]->mapColor2 = {255, 0, 0};
    maps.maps[1]->mapColor1 = maps.maps[1]->mapColor2 = {255, 255, 0};
    for (const auto &map : maps.maps)
        map->useMapColors = true;
    for (const QList<int> &selection : {QList<int>({0, 1, 7}), QList<int>({-1, 1})}) {
        maps.selectedMaps = selection;
        maps.nrOfSelectedMaps = int(selection.size());
        overlay(*mesh);
        QCOMPARE(mesh->vertexColors[3], code({255, 128, 0}));
    }
}

void TestSurfaceMaps::clusterRemoval_data()
{
    QTest::addColumn<QByteArray>("srf");
    QTest::addColumn<int>("coloredVertices");
    QTest::addColumn<int>("clusterSize");
    QTest::addColumn<bool>("stays");

    // Vertices 0, 1, 2 span the one triangle of area 10 all of whose corners are coloured.
    SrfFixture triangle = SrfFixture::octahedron();
    triangle.vertices[0].x = 5;
    triangle.vertices[1].y = 4;
    triangle.vertices[2].z = 0;
    QTest::newRow("area 10, size 9") << triangle.bytes() << 3 << 9 << true;
    QTest::newRow("area 10, size 10") << triangle.bytes() << 3 << 10 << false;

    // A fan of 24 triangles of area 1 round vertex 0.
    SrfFixture fan;
    fan.vertices << SrfFixture::Vertex{0, 0, 0, 0, 0, 1, 0, {}};
    for (int i = 0; i <= 24; ++i) {
        fan.vertices[0].neighbors << i + 1;
        fan.vertices << SrfFixture::Vertex{float(i), 2, 0, 0, 0, 1, 0, {0}};
        if (i < 24)
            fan.triangles << 0 << i + 1 << i + 2;
    }
    QTest::newRow("fan, size 23") << fan.bytes() << 26 << 23 << true;
    QTest::newRow("fan, size 24") << fan.bytes() << 26 << 24 << false;
}

void TestSurfaceMaps::clusterRemoval()
{
    QFETCH(QByteArray, srf);
    QFETCH(int, coloredVertices);
    QFETCH(int, clusterSize);
    QFETCH(bool, stays);
    QVERIFY(readMesh(*mesh, srf));
    SurfaceMap &map = *mapsOf(*mesh, 1).maps[0];
    std::fill(map.mapData.get(), map.mapData.get() + coloredVertices, 6.0f);
    overlay(*mesh, {4, clusterSize, true, 3});
    // A removed vertex shows the mesh's own colour.
    for (int v = 0; v < coloredVertices; ++v)
        QCOMPARE(mesh->vertexColors[v] == code({255, 155, 0}), stays);
}

// Each overlay starts from the mesh's own colours; deleted vertices stay deleted.
void TestSurfaceMaps::secondOverlay()
{
    SrfFixture f = SrfFixture::octahedron();
    f.vertices[2].color = -1;
    QVERIFY(readMesh(*mesh, f.bytes()));
    SurfaceMap &map = *mapsOf(*mesh, 1, 7).maps[0];
    map.mapData[0] = 5;
    overlay(*mesh, {4, 0, true, 3});
    QCOMPARE(mesh->vertexColors[0], code({255, 115, 0}));
    QCOMPARE(mesh->vertexColors[1], code({255, 195, 0}));
    QCOMPARE(mesh->vertexColors[2], -10000);

    overlay(*mesh, {6, 0, true, 3});
    QCOMPARE(mesh->vertexColors[0], 0);
    QCOMPARE(mesh->vertexColors[1], code({255, 155, 0}));
    QCOMPARE(mesh->vertexColors[2], -10000);
}

QTEST_GUILESS_MAIN(TestSurfaceMaps)
#include "tst_surfacemaps.moc"
