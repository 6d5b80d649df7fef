#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "ClusterSearch.h"
#include "FixtureStream.h"
#include "NiftiFixture.h"
#include "VmpFixture.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace {

using Color = StatisticalMap::Color;

// Reads bytes as a map file made for doc.
template <typename Maps, typename... Args>
int load(Maps &maps, QByteArray bytes, const VolumeDoc &doc, Args... args)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return maps.loadVolumeMaps(buffer, args..., doc.grid());
}

// A map over the whole volume of edge n, every value v.
ArVolumeMap *addMap(ArVolumeMaps &maps, int n, float v)
{
    maps.xStart = maps.yStart = maps.zStart = 0;
    maps.xEnd = maps.yEnd = maps.zEnd = n - 1;
    maps.maps.push_back(std::make_unique<ArVolumeMap>());
    ArVolumeMap *map = maps.maps.back().get();
    map->allocateMapData(maps);
    std::fill(map->mapData.get(), map->mapData.get() + n * n * n, v);
    return map;
}

// Runs f with no room for new mappings, from which large blocks come.
template <typename F> auto withoutAddressSpace(F f)
{
    QFile statm("/proc/self/statm");
    statm.open(QIODevice::ReadOnly);
    rlimit previous;
    getrlimit(RLIMIT_AS, &previous);
    rlimit limited = previous;
    limited.rlim_cur = statm.readAll().split(' ').first().toULongLong() * sysconf(_SC_PAGESIZE);
    setrlimit(RLIMIT_AS, &limited);
    const auto result = f();
    setrlimit(RLIMIT_AS, &previous);
    return result;
}

} // namespace

class TestVolumeMaps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void formats_data();
    void formats();
    void routing_data();
    void routing();
    void refused_data();
    void refused();
    void conversion();
    void interpolation();
    void clusterTest();
    void memoryRunsOut();
    void thresholds();

private:
    // A volume of n × n × n voxels of intensity 100.
    void newVolume(int n)
    {
        doc = std::make_unique<VolumeDoc>();
        doc->dimX = doc->dimY = doc->dimZ = n;
        doc->vmrData = std::make_unique<unsigned char[]>(size_t(n) * n * n);
        std::fill_n(doc->vmrData.get(), size_t(n) * n * n, 100);
    }
    std::unique_ptr<VolumeDoc> doc;
};

// Large blocks always come from new mappings, so that a limit on the address
// space makes them fail.
void TestVolumeMaps::initTestCase()
{
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
}

void TestVolumeMaps::init()
{
    newVolume(8);
}

void TestVolumeMaps::formats_data()
{
    QTest::addColumn<bool>("older");
    QTest::addColumn<int>("version");
    for (int v = 2; v <= 6; ++v)
        QTest::addRow("current %d", v) << false << v;
    for (int v = 1; v <= 4; ++v)
        QTest::addRow("older %d", v) << true << v;
}

// Every field a version stores is read, the others keep their defaults, and
// texts longer than the format's 263 bytes are cut without losing step.
void TestVolumeMaps::formats()
{
    QFETCH(bool, older);
    QFETCH(int, version);
    VmpFixture f;
    f.version = version;
    f.resolution = older ? 1 : 3;
    f.maps << VmpFixture::Map();
    f.maps[0].mapType = 3;
    f.maps[0].name = QByteArray(400, 'n');
    f.maps[1].name = "second";
    f.maps[1].timeCourse = f.maps[0].timeCourse = {7, 8};
    f.componentNames = {"c"};
    f.maps[1].componentValues = f.maps[0].componentValues = {0.75f};
    doc->offsetX = 2;

    QList<StatisticalMap *> maps;
    QList<float> values;
    ArVolumeMaps ar;
    VolumeMaps current;
    if (older) {
        // Made for another slice count, taken to be centred on the same slices.
        f.savedDims[2] = 24;
        QCOMPARE(load(ar, f.older(), *doc), 1);
        QCOMPARE(QList<int>({ar.xStart, ar.xEnd, ar.zStart, ar.zEnd, ar.savedDimZ}),
                 QList<int>({10, 19, 22, 25, 24}));
        maps = {ar.maps[0].get(), ar.maps[1].get()};
        values =
            QList<float>(ar.maps[1]->mapData.get(), ar.maps[1]->mapData.get() + f.nrOfCells(true));
    } else {
        QCOMPARE(load(current, f.current(), *doc, false), 1);
        QCOMPARE(QList<int>({current.xStart, current.xEnd, current.zEnd, current.gridDimX()}),
                 QList<int>({8, 17, 33, 3}));
        QCOMPARE(current.headerStrings[2], "third");
        QCOMPARE(current.headerValues[0], version >= 4 ? 1 : 0);
        QCOMPARE(current.componentNames, QStringList({"c"}));
        const VolumeMap *second = current.maps[1].get();
        QCOMPARE(second->timeCourse, QList<float>({7, 8}));
        QCOMPARE(second->componentValues, QList<float>({0.75f}));
        QCOMPARE(second->pointTriples.size(), version >= 5 ? 3 : 0);
        QCOMPARE(second->mapTrailerValue, version >= 5 ? 99 : -1);
        maps = {current.maps[0].get(), current.maps[1].get()};
        values = QList<float>(second->mapData.get(), second->mapData.get() + f.nrOfCells(false));
    }
    QCOMPARE(values.last(), 1.0f + 0.5f * (values.size() - 1));
    QCOMPARE(maps[0]->mapName, QString(263, 'n'));
    const StatisticalMap &m = *maps[1];
    QCOMPARE(m.mapName, "second");

    const bool modern = !older && version >= 5;
    QCOMPARE(maps[0]->mapType, older || version >= 3 ? 3 : 1);
    QCOMPARE(m.mapType, older && version <= 2 ? 3 : 1);
    QCOMPARE(m.threshMin, older || version >= 3 ? 3.5f : 4.0f);
    QCOMPARE(m.mapColor1, !older || version >= 2 ? Color({1, 2, 3}) : Color({0, 0, 100}));
    QCOMPARE(m.mapColor3, version >= 3 ? Color({7, 8, 9}) : Color({100, 100, 50}));
    QCOMPARE(m.mapAlpha, (older ? version >= 2 : version >= 3) ? 0.5f : 1.0f);
    QCOMPARE(m.clusterSize, older || modern ? 7 : 0);
    QCOMPARE(m.clusterCheckEnabled, older ? version >= 2 : modern);
    QCOMPARE(m.showPosNeg, (older ? version == 4 : modern) ? 2 : 3);
    QCOMPARE(m.mapOption, (older ? version >= 3 : modern) ? 0 : 1);
    // Older files carry the lags of the last type-3 map on to the next maps.
    QCOMPARE(maps[0]->lagValues[0], older || modern ? 5 : 0);
    QCOMPARE(m.lagValues[2], older && version >= 3 ? 3 : 0);
}

void TestVolumeMaps::routing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("currentResult");
    QTest::addColumn<int>("olderResult");
    QTest::addColumn<int>("shown"); // the chosen map over the volume; -1: not chosen

    VmpFixture f;
    const QByteArray withMagic = f.current();
    f.magic = false;
    const QByteArray noMagic = f.current();
    f.magic = true;
    f.version = 4;
    const QByteArray version4 = f.current();
    f.version = 3;
    f.resolution = 1;
    const QByteArray older = f.older();

    QTest::newRow("current") << withMagic << "a.vmp" << 1 << 2 << -1;
    QTest::newRow("no magic, .vmp") << noMagic << "a.vmp" << 2 << 0 << -1;
    QTest::newRow("no magic, other extension") << noMagic << "a.map" << 1 << 0 << -1;
    QTest::newRow("version 4, .vmp") << version4 << "a.vmp" << 2 << 2 << -1;
    QTest::newRow("version 4, other extension") << version4 << "a.VMPX" << 1 << 2 << -1;
    QTest::newRow("older") << older << "a.VMP" << 2 << 1 << -1;
    QTest::newRow("missing") << QByteArray() << "a.vmp" << 0 << 0 << -1;

    // A map beside the volume reads, but choosing it shows nothing. The box
    // is x, y and z start and end as stored: the current format's ends are
    // exclusive, the older one's inclusive.
    auto boxed = [](const char *name, bool older, const QList<int> &box, bool shown) {
        VmpFixture f;
        std::copy(box.begin(), box.end(), f.box);
        f.resolution = older ? 1 : 2;
        f.version = older ? 4 : 6;
        QTest::newRow(name) << (older ? f.older() : f.current()) << "maps.vmp" << (older ? 2 : 1)
                            << (older ? 1 : 2) << int(shown);
    };
    boxed("inside", false, {0, 6, 0, 6, 0, 6}, true);
    boxed("last voxels", false, {7, 10, 7, 10, 7, 10}, true);
    boxed("beyond x", false, {8, 14, 0, 6, 0, 6}, false);
    boxed("before z", false, {0, 6, 0, 6, -6, 0}, false);
    boxed("older, first voxels", true, {-3, 0, -3, 0, -3, 0}, true);
    boxed("older, one voxel", true, {5, 5, 2, 2, 7, 7}, true);
    boxed("older, beyond y", true, {0, 3, 8, 9, 0, 3}, false);
}

void TestVolumeMaps::routing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(int, currentResult);
    QFETCH(int, olderResult);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QCOMPARE(doc->loadVolumeMaps(path), currentResult);
    QCOMPARE(doc->volumeMaps != nullptr, currentResult == 1);
    if (currentResult == 1)
        QCOMPARE(doc->volumeMaps->fileNameWithPath, path);
    QCOMPARE(doc->loadArVolumeMaps(path), olderResult);
    QCOMPARE(doc->arVolumeMaps && !doc->arVolumeMaps->maps.empty(), olderResult == 1);
    QFETCH(int, shown);
    if (shown < 0)
        return;
    if (olderResult == 1) {
        QCOMPARE(doc->selectArVolumeMap(0), bool(shown));
    } else {
        doc->volumeMaps->nrOfSelectedMaps = 1;
        doc->volumeMaps->selectedMaps = {0};
        QCOMPARE(doc->convertSelectedMapsToNrMaps(true), bool(shown));
    }
    QCOMPARE(doc->mapFailureReason(), shown ? QString() : "does not overlap the volume");
}

void TestVolumeMaps::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("older");
    QTest::addColumn<QString>("reason");

    // A fixture of the current or (version 4) older format, changed.
    auto file = [](bool older, auto change) {
        VmpFixture f;
        if (older) {
            f.version = 4;
            f.resolution = 1;
        }
        change(f);
        return older ? f.older() : f.current();
    };
    auto row = [&file](const char *name, bool older, const QString &reason, auto change) {
        QTest::newRow(name) << file(older, change) << older << reason;
    };
    const auto same = [](VmpFixture &) {};
    const QString cutShort = "not a readable VMP file (shorter than its maps need)",
                  inverted = "not a readable VMP file (a box that ends before it starts)";
    for (int version : {1, 7})
        row(qPrintable(QString("version %1").arg(version)), false,
            QString("VMP version %1 is not supported (versions 2 to 6 are)").arg(version),
            [version](VmpFixture &f) { f.version = version; });
    for (int resolution : {0, -3})
        row(qPrintable(QString("resolution %1").arg(resolution)), false,
            QString("not a readable VMP file (a resolution of %1)").arg(resolution),
            [resolution](VmpFixture &f) { f.resolution = resolution; });
    row("inverted box", false, inverted, [](VmpFixture &f) { f.box[3] = 19; });
    row("box beyond the file", false, cutShort, [](VmpFixture &f) {
        f.box[1] = 0x7FFFFFF0;
        f.maps[0].data = {1};
    });
    const QByteArray hugeCount = FixtureStream().i32(0x7FFFFFF0).data;
    QTest::newRow("map count beyond the file")
        << file(false, same).replace(8, 4, hugeCount) << false << cutShort;
    QByteArray points = file(false, same);
    points.replace(points.indexOf(FixtureStream().i32(1).f32(1).f32(2).f32(3).data), 4, hugeCount);
    QTest::newRow("point count beyond the file") << points << false << cutShort;
    QTest::newRow("component count beyond the file")
        << file(false, [](VmpFixture &f) { f.maps.clear(); }).replace(16, 4, hugeCount) << false
        << cutShort;
    QTest::newRow("values cut") << file(false, same).chopped(1) << false << cutShort;

    row("older version 0", true, "not a readable VMP file (version 0)",
        [](VmpFixture &f) { f.version = 0; });
    row("older version 5", true,
        "VMP version 5 is not supported (versions 1 to 4 of the older format are)",
        [](VmpFixture &f) { f.version = 5; });
    QTest::newRow("no maps") << file(true, [](VmpFixture &f) { f.maps.clear(); }).left(6) << true
                             << "holds no maps";
    row("resolution 2", true, "a resolution of 2 is not supported in the older format (only 1 is)",
        [](VmpFixture &f) { f.resolution = 2; });
    row("other dimX", true, "made for a volume of 9 × 8 voxels in x and y, not 8 × 8",
        [](VmpFixture &f) { f.savedDims[0] = 9; });
    row("other dimY", true, "made for a volume of 8 × 7 voxels in x and y, not 8 × 8",
        [](VmpFixture &f) { f.savedDims[1] = 7; });
    row("shifted before the first slice", true,
        "made for 24 slices, which centred on the volume's 8 start before its first",
        [](VmpFixture &f) {
            f.savedDims[2] = 24;
            f.box[4] = 7;
        });
    row("older inverted box", true, inverted, [](VmpFixture &f) { f.box[1] = 9; });
    row("older box beyond the file", true, cutShort, [](VmpFixture &f) {
        f.box[3] = 0x7FFFFFF0;
        f.maps[0].data = {1};
    });
    QTest::newRow("older map count beyond the file")
        << file(true, same).replace(2, 4, hugeCount) << true
        << "not a readable VMP file (cut short in its header)";
    QTest::newRow("older values cut") << file(true, same).chopped(1) << true << cutShort;
}

// A refused file leaves no maps, and nothing is allocated for what the file
// cannot hold; the reader says why.
void TestVolumeMaps::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, older);
    QFETCH(QString, reason);
    ArVolumeMaps olderMaps;
    VolumeMaps maps;
    QCOMPARE(older ? load(olderMaps, bytes, *doc) : load(maps, bytes, *doc, false), 0);
    QVERIFY(olderMaps.maps.empty() && maps.maps.empty());
    QCOMPARE(older ? olderMaps.failureReason() : maps.failureReason(), reason);
}

void TestVolumeMaps::conversion()
{
    VmpFixture f;
    f.box[0] = 59;
    f.box[1] = 179;
    f.maps << VmpFixture::Map() << VmpFixture::Map();
    f.maps[2].name = "third";
    f.maps[2].clusterSize = 0x7FFFFFFF;
    doc->volumeMaps = std::make_unique<VolumeMaps>();
    QCOMPARE(load(*doc->volumeMaps, f.current(), *doc, false), 1);
    QCOMPARE(doc->volumeMaps->gridDimX(), 40);

    // Nearest cells: voxel 59 + 3i + d takes cell i + (d == 2); voxel 179 stays 0.
    doc->volumeMaps->nrOfSelectedMaps = 1;
    doc->volumeMaps->selectedMaps = {1};
    doc->convertSelectedMapsToNrMaps(false);
    ArVolumeMaps *ar = doc->arVolumeMaps.get();
    QCOMPARE(QList<qint64>({ar->xStart, ar->xEnd, ar->boxDimX()}), QList<qint64>({59, 179, 121}));
    const ArVolumeMap &map = *ar->maps[0];
    const float *cells = doc->volumeMaps->maps[1]->mapData.get();
    QCOMPARE(map.valueAt(*ar, 59, 20, 30), cells[0]);
    QCOMPARE(map.valueAt(*ar, 176, 23, 30), cells[39 + 40]);
    QCOMPARE(map.valueAt(*ar, 178, 23, 30), 0.0f); // nearest cell beyond the grid
    QCOMPARE(map.valueAt(*ar, 179, 23, 31), 0.0f);
    QCOMPARE(map.valueAt(*ar, 100, 26, 31), 0.0f);
    QCOMPARE(map.clusterSize, 7 * 27);
    QCOMPARE(map.mapColor4, Color({10, 11, 12}));

    // Several maps side by side; an index that names no map is passed over.
    doc->volumeMaps->nrOfSelectedMaps = 3;
    doc->volumeMaps->selectedMaps = {2, 5, 0};
    doc->convertSelectedMapsToNrMaps(true);
    ar = doc->arVolumeMaps.get();
    QCOMPARE(ar->maps.size(), 2);
    QCOMPARE(ar->maps[0]->mapName, "third");
    QCOMPARE(ar->maps[0]->clusterSize, 0x7FFFFFFF);
    QCOMPARE(ar->selectedMaps, QList<int>({0, 1}));

    doc->volumeMaps->nrOfSelectedMaps = 0;
    doc->convertSelectedMapsToNrMaps(true);
    QVERIFY(!doc->arVolumeMaps);

    // A box larger than the framing cube is not converted.
    doc->volumeMaps->nrOfSelectedMaps = 1;
    doc->volumeMaps->xEnd = 59 + 300;
    doc->convertSelectedMapsToNrMaps(true);
    QVERIFY(!doc->arVolumeMaps);
}

// A grid of 2 × 1 × 1 cells of resolution 2 over the box 0..4, 0..2, 0..2: the
// value at x on the row through the cells, interpolated or nearest.
void TestVolumeMaps::interpolation()
{
    const struct
    {
        QList<float> cells;
        int x, mapType;
        bool interpolate;
        float expected;
    } cases[] = {{{2, 4}, 1, 1, true, 3.0f},             // between cells
                 {{2, 4}, 2, 1, true, 4.0f},             // on a cell
                 {{2, 4}, 3, 1, true, 0.0f},             // half the weight beyond the grid
                 {{0, 4}, 1, 1, true, 0.0f},             // half the weight on zero
                 {{2, 4}, 1, 1, false, 4.0f},            // nearest, halves up
                 {{2.25f, 4.75f}, 1, 3, true, 3.5f},     // lag
                 {{-3.25f, -3.25f}, 1, 3, true, -3.25f}, // negative lag
                 {{2.25f, 4.75f}, 1, 3, false, 0.75f}};  // lag, nearest
    for (const auto &c : cases) {
        newVolume(8);
        doc->volumeMaps = std::make_unique<VolumeMaps>();
        VolumeMaps &grid = *doc->volumeMaps;
        grid.xStart = grid.yStart = grid.zStart = 0;
        grid.xEnd = 4;
        grid.yEnd = grid.zEnd = 2;
        grid.resolution = 2;
        QVERIFY(grid.allocateMapsMemory(1, 0, 0));
        std::copy(c.cells.begin(), c.cells.end(), grid.maps[0]->mapData.get());
        grid.maps[0]->mapType = c.mapType;
        grid.nrOfSelectedMaps = 1;
        doc->convertSelectedMapsToNrMaps(c.interpolate);
        QCOMPARE(doc->arVolumeMaps->maps[0]->valueAt(*doc->arVolumeMaps, c.x, 0, 0), c.expected);
    }
}

// The search reads the volume only: what it visits is marked in its own buffers.
void TestVolumeMaps::clusterTest()
{
    ArVolumeMaps maps;
    ArVolumeMap *map = addMap(maps, 8, 0);
    auto set = [map](int x, int y, int z, float v) { map->mapData[x + 8 * y + 64 * z] = v; };
    MapDisplay display{4, 0, true, 3};
    ClusterSearch search;
    auto check = [&](ArVolumeMap *m, int x, int y, int z, int size, bool whole = false) {
        display.clusterSize = size;
        search.setMap(*doc, maps, *m, display);
        return search.check3DMapClusterSize(x, y, z, whole);
    };

    display.clusterFilter = false;
    QVERIFY(check(map, 3, 3, 3, 2));
    display.clusterFilter = true;
    set(3, 3, 3, 5);
    QVERIFY(check(map, 3, 3, 3, 1));
    QVERIFY(!check(map, 3, 3, 3, 2));

    // The anatomy under a voxel does not matter, a byte of 255 neither.
    set(3, 4, 3, 5);
    doc->vmrData[3 + 8 * 4 + 64 * 3] = 255;
    QVERIFY(check(map, 3, 3, 3, 2));
    doc->vmrData[3 + 8 * 4 + 64 * 3] = 100;

    // A voxel not shown joins nothing.
    set(4, 6, 2, -5);
    set(5, 6, 2, -5);
    display.signSelection = 1;
    QVERIFY(!check(map, 4, 6, 2, 2));

    // Lag maps: the fraction only, of the lags shown.
    display.signSelection = 1;
    map->mapType = 3;
    std::copy_n(std::data({5, 1, 4, 1}), 4, map->lagValues);
    display.threshold = 0.3f;
    set(2, 2, 6, 4.35f);
    set(2, 3, 6, 4.35f);
    QVERIFY(check(map, 2, 2, 6, 2));
    display.threshold = 0.4f;
    QVERIFY(!check(map, 2, 2, 6, 2));
    display.threshold = 0.3f;
    map->lagValues[2] = 3;
    QVERIFY(!check(map, 2, 2, 6, 2));

    // A box reaching beyond the volume, and starts outside it.
    map->mapType = 1;
    display.threshold = 4;
    maps.xStart = -4;
    maps.xEnd = 3;
    QVERIFY(check(map, 3, 3, 3, 1, true));
    QVERIFY(!check(map, 8, 0, 0, 1));
    QVERIFY(!check(map, -1, 3, 3, 1));

    // Whole clusters one after another: each search clears its marks.
    ArVolumeMap *full = addMap(maps, 8, 5);
    QVERIFY(check(full, 3, 3, 3, 1, true));
    QVERIFY(check(full, 1, 1, 1, 8 * 8 * 8));
    QVERIFY(!check(full, 1, 1, 1, 8 * 8 * 8 + 1));

    // A box grown after the values were allocated reads none beyond them.
    maps.zEnd = 8;
    QCOMPARE(full->nrOfValues(), 8 * 8 * 8);
    QCOMPARE(full->valueAt(maps, 3, 3, 8), 0.0f);
}

// Neither a load nor a cluster search ends the process when memory runs out,
// and the search clears its marks.
void TestVolumeMaps::memoryRunsOut()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("an address-space limit would stop the sanitizer's own allocations");
#else
    VmpFixture f;
    f.box[1] = f.box[0] + 300;
    f.box[3] = f.box[2] + 300;
    f.resolution = 1;
    const QByteArray bytes = f.current(); // 1.4 MB of values
    VolumeMaps current;
    QCOMPARE(withoutAddressSpace([&] { return load(current, bytes, *doc, false); }), 0);
    QVERIFY(current.maps.empty());
    QCOMPARE(load(current, bytes, *doc, false), 1);

    QTemporaryDir dir;
    QFile nifti(dir.filePath("anat.nii"));
    NiftiFixture image;
    image.dims = {64, 64, 64};
    image.values.assign(64 * 64 * 64, 100);
    QVERIFY(nifti.open(QIODevice::WriteOnly) && nifti.write(image.bytes()) > 0);
    nifti.close();
    VolumeDoc volume;
    QVERIFY(!withoutAddressSpace([&] { return volume.readNifti(nifti.fileName()); }));
    QVERIFY(!volume.failureReason().isEmpty());
    QVERIFY2(volume.readNifti(nifti.fileName()), qPrintable(volume.failureReason()));

    newVolume(64);
    ArVolumeMaps maps;
    const ArVolumeMap *map = addMap(maps, 64, 5);
    ClusterSearch search;
    search.setMap(*doc, maps, *map, {4, 1, true, 3});
    QVERIFY(search.check3DMapClusterSize(1, 1, 1)); // makes the buffers
    QVERIFY(!withoutAddressSpace([&] { return search.check3DMapClusterSize(1, 1, 1, true); }));
    search.setMap(*doc, maps, *map, {4, 63 * 63 * 63, true, 3});
    QVERIFY(search.check3DMapClusterSize(1, 1, 1));
#endif
}

// Thresholds shown out of order or out of range are put right for the map's type.
void TestVolumeMaps::thresholds()
{
    const struct
    {
        int mapType;
        float min, max, expectedMin, expectedMax;
    } cases[] = {{2, 0.5f, 0.3f, 0.5f, 0.7f},
                 {3, 1.5f, 0.2f, 0.999f, 1.0f},
                 {1, 5, 5, 5, 7},
                 {14, -2, -1, 0, 2},
                 {4, 3, 1, 3, 7},
                 {6, 3, 1, 3, 1},
                 {5, 2, 8, 2, 8}};
    for (const auto &c : cases) {
        ArVolumeMap map;
        map.mapType = c.mapType;
        map.threshMax = c.max;
        const StatisticalMap::Thresholds shown = map.thresholds({c.min, 0, false, 3});
        QCOMPARE(QList<float>({shown.lower, shown.upper}),
                 QList<float>({c.expectedMin, c.expectedMax}));
    }
}

QTEST_GUILESS_MAIN(TestVolumeMaps)
#include "tst_volumemaps.moc"
