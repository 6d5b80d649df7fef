// The cluster table of a whole-brain z map, computed anew as after a change of
// threshold: on the 2-mm MNI grid and on the 1-mm one, with 40 blobs of both
// signs over smooth noise.

#include "ClusterTable.h"

#include <benchmark/benchmark.h>

#include <cmath>
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
        listed = table.clusters().size();
        benchmark::DoNotOptimize(table.clusters().data());
    }
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

} // namespace

BENCHMARK_MAIN();
