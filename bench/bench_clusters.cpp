// The cluster table of a whole-brain z map, computed anew as after a change of
// threshold: on the 2-mm MNI grid and on the 1-mm one, with 40 blobs of both
// signs over smooth noise. Then the same through the viewer's path: a NIfTI
// template and the map as files, read into a volume document, the map chosen
// (its grid held), and after each threshold change the criteria of the map
// shown and the table computed on the listing's worker thread, to the table
// handed back on the window's thread.

#include "ClusterListing.h"
#include "ClusterTable.h"
#include "Documents.h"
#include "NiftiFixture.h"
#include "VolumeDoc.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

struct ZMap
{
    std::array<int, 3> dims;
    AffineTransform toWorld;
    std::vector<float> values;
};

// Noise smoothed by three box passes to about unit deviation, and 40 Gaussian
// blobs of 4 to 8 mm width and peaks of 4 to 10 in either sign, inside the brain's box.
ZMap makeZMap(double voxelSize)
{
    ZMap map;
    const int n[3] = {int(std::lround(182 / voxelSize)), int(std::lround(218 / voxelSize)),
                      int(std::lround(182 / voxelSize))};
    map.dims = {n[0], n[1], n[2]};
    map.toWorld = AffineTransform::fromRows(
        {{{-voxelSize, 0, 0, 90}, {0, voxelSize, 0, -126}, {0, 0, voxelSize, -72}}});
    const size_t count = size_t(n[0]) * n[1] * n[2];
    std::mt19937 random(28);
    std::normal_distribution<float> normal;
    std::vector<float> noise(count);
    for (float &v : noise)
        v = normal(random);
    // A box of 3 voxels along each axis, three times: about 6 mm of smoothing at 2 mm.
    const long long stride[3] = {1, n[0], (long long)n[0] * n[1]};
    std::vector<float> pass(count);
    for (int repeat = 0; repeat < 3; ++repeat)
        for (int axis = 0; axis < 3; ++axis) {
            for (size_t i = 0; i < count; ++i) {
                const long long c = (long long)(i / size_t(stride[axis])) % n[axis];
                float sum = noise[i];
                if (c > 0)
                    sum += noise[i - size_t(stride[axis])];
                if (c + 1 < n[axis])
                    sum += noise[i + size_t(stride[axis])];
                pass[i] = sum / 3.0f;
            }
            noise.swap(pass);
        }
    double square = 0.0;
    for (float v : noise)
        square += double(v) * v;
    const float scale = float(1.0 / std::sqrt(square / double(count)));

    struct Blob
    {
        AffineTransform::Point centre;
        double peak, sigma;
    };
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Blob> blobs(40);
    for (Blob &b : blobs) {
        b.centre = {-65 + 130 * unit(random), -100 + 165 * unit(random), -45 + 115 * unit(random)};
        b.peak = (unit(random) < 0.7 ? 1 : -1) * (4 + 6 * unit(random));
        b.sigma = 4 + 4 * unit(random);
    }
    map.values.resize(count);
    size_t i = 0;
    for (int z = 0; z < n[2]; ++z)
        for (int y = 0; y < n[1]; ++y)
            for (int x = 0; x < n[0]; ++x, ++i) {
                const AffineTransform::Point p = map.toWorld.map({double(x), double(y), double(z)});
                double v = noise[i] * scale;
                for (const Blob &b : blobs) {
                    const double d2 = (p[0] - b.centre[0]) * (p[0] - b.centre[0]) +
                                      (p[1] - b.centre[1]) * (p[1] - b.centre[1]) +
                                      (p[2] - b.centre[2]) * (p[2] - b.centre[2]);
                    if (d2 < 36 * b.sigma * b.sigma)
                        v += b.peak * std::exp(-d2 / (2 * b.sigma * b.sigma));
                }
                map.values[i] = float(v);
            }
    return map;
}

const ZMap &zMap(double voxelSize)
{
    static const ZMap twoMm = makeZMap(2.0);
    static const ZMap oneMm = makeZMap(1.0);
    return voxelSize == 2.0 ? twoMm : oneMm;
}

// Threshold 3.1 and 3.2 by turns, both signs, clusters of at least 80 mm³.
void tableAfterThresholdChange(benchmark::State &state)
{
    const ZMap &map = zMap(double(state.range(0)));
    const ClusterGrid grid{map.values.data(), map.dims, map.toWorld, false};
    ClusterCriteria criteria{3.1f, 3, false, 0, 80.0};
    ClusterTable table;
    size_t listed = 0;
    for (auto _ : state) {
        criteria.threshold = criteria.threshold == 3.1f ? 3.2f : 3.1f;
        if (!table.compute(grid, criteria))
            state.SkipWithError("the table was refused");
        benchmark::DoNotOptimize(table.clusters().data());
    }
    // Counted at 3.1, whichever threshold the last turn had.
    criteria.threshold = 3.1f;
    if (table.compute(grid, criteria))
        listed = table.clusters().size();
    state.counters["clusters"] = double(listed);
    state.counters["voxels"] = double(map.values.size());
}
BENCHMARK(tableAfterThresholdChange)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

// The worst case: at threshold 0 the whole grid bar its negative values is one cluster.
void tableOfWholeGrid(benchmark::State &state)
{
    const ZMap &map = zMap(double(state.range(0)));
    const ClusterGrid grid{map.values.data(), map.dims, map.toWorld, false};
    ClusterTable table;
    for (auto _ : state) {
        if (!table.compute(grid, ClusterCriteria{0.0f, 3}))
            state.SkipWithError("the table was refused");
        benchmark::DoNotOptimize(table.clusters().data());
    }
    state.counters["largest"] = table.clusters().empty() ? 0.0 : double(table.clusters()[0].voxels);
}
BENCHMARK(tableOfWholeGrid)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

// A template of the map's grid and the map, as NIfTI files in MNI space.
struct MapFiles
{
    QTemporaryDir dir;
    QString anatomy, map;
};

bool save(const QString &name, const NiftiFixture &image)
{
    QFile file(name);
    const QByteArray bytes = image.bytes();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const MapFiles &mapFiles(double voxelSize)
{
    static std::unique_ptr<MapFiles> files[2];
    std::unique_ptr<MapFiles> &made = files[voxelSize == 2.0 ? 0 : 1];
    if (made)
        return *made;
    made = std::make_unique<MapFiles>();
    const ZMap &z = zMap(voxelSize);
    NiftiFixture image;
    image.dims = {z.dims[0], z.dims[1], z.dims[2]};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            image.sform[size_t(r)][size_t(c)] = z.toWorld.at(r, c);
    image.sformCode = 4;
    image.datatype = 4;
    image.values.resize(z.values.size());
    for (size_t i = 0; i < z.values.size(); ++i)
        image.values[i] = 1000 + 10 * std::abs(z.values[i]);
    made->anatomy = made->dir.filePath("template.nii");
    made->map = made->dir.filePath("zmap.nii");
    if (!save(made->anatomy, image))
        made->anatomy.clear();
    image.datatype = 16;
    image.intent = 5;
    image.values.assign(z.values.begin(), z.values.end());
    if (!save(made->map, image))
        made->map.clear();
    return *made;
}

// The volume with the map chosen, as the window holds it.
std::shared_ptr<VolumeDocument> shownMap(double voxelSize, benchmark::State &state)
{
    const MapFiles &files = mapFiles(voxelSize);
    QString reason;
    std::shared_ptr<VolumeDocument> volume = VolumeDocument::read(files.anatomy, reason);
    if (!volume || volume->readMapFile(files.map, reason).isEmpty() ||
        !volume->chooseMap(0, reason)) {
        state.SkipWithError(qPrintable("the map cannot be shown: " + reason));
        return nullptr;
    }
    return volume;
}

// A threshold change in the window to the table handed back: the criteria of
// the map shown, the table computed on the worker, its hand-over. The window's
// thread spends the CPU time; the real time is what the user waits.
void viewerTableAfterThresholdChange(benchmark::State &state)
{
    const double voxelSize = double(state.range(0));
    const std::shared_ptr<VolumeDocument> volume = shownMap(voxelSize, state);
    if (!volume)
        return;
    ClusterListing listing;
    MapDisplay display = volume->display();
    display.signSelection = 3;
    display.clusterFilter = true;
    // Voxels of the volume shown: 80 mm³ as above.
    const double voxelMm3 = std::abs(volume->volume().millimetreTransform().determinant());
    display.clusterSize = int(std::lround(80 / voxelMm3));
    std::shared_ptr<const ClusterTable> table;
    QEventLoop loop;
    QObject::connect(&listing, &ClusterListing::listed, &loop,
                     [&](const std::shared_ptr<const ClusterTable> &listed) {
                         table = listed;
                         loop.quit();
                     });
    QObject::connect(&listing, &ClusterListing::failed, &loop, [&] { loop.quit(); });
    for (auto _ : state) {
        display.threshold = display.threshold == 3.1f ? 3.2f : 3.1f;
        volume->applyDisplay(display);
        table.reset();
        listing.list(volume->mapGrid(), volume->clusterCriteria(), nullptr);
        loop.exec();
        if (!table)
            state.SkipWithError("no table");
    }
    // Counted at 3.1, as above.
    display.threshold = 3.1f;
    volume->applyDisplay(display);
    table.reset();
    listing.list(volume->mapGrid(), volume->clusterCriteria(), nullptr);
    loop.exec();
    state.counters["clusters"] = table ? double(table->clusters().size()) : 0.0;
    state.counters["min_mm3"] = volume->clusterCriteria().minVolumeMm3;
}
BENCHMARK(viewerTableAfterThresholdChange)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What choosing the map adds on the window's thread for the table: the copy
// of the map's own grid that the worker reads.
void gridOfTheMapChosen(benchmark::State &state)
{
    const std::shared_ptr<VolumeDocument> volume = shownMap(double(state.range(0)), state);
    if (!volume)
        return;
    MapGrid grid;
    QString why;
    for (auto _ : state) {
        if (!volume->volume().mapGrid(0, grid, why))
            state.SkipWithError(qPrintable(why));
        benchmark::DoNotOptimize(grid.values.data());
    }
}
BENCHMARK(gridOfTheMapChosen)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
