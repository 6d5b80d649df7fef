// The map operations that run while the user drags a threshold: converting a
// functional map to the volume grid, the cluster test over one slice, and the
// surface-map overlay with cluster removal.

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "ClusterSearch.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"
#include "VolumeDoc.h"
#include "VolumeMap.h"
#include "VolumeMaps.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

// Smooth blobs of both signs, with scattered single values as noise.
float blobs(int x, int y, int z)
{
    const float smooth =
        9.0f * std::sin(x / 7.0f) * std::sin(y / 9.0f) * std::sin(z / 11.0f + 0.5f);
    const unsigned hash =
        unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(z) * 83492791u;
    return hash % 17 == 0 ? 6.0f : smooth;
}

void convertWithInterpolation(benchmark::State &state)
{
    VolumeDoc doc;
    doc.volumeMaps = std::make_unique<VolumeMaps>();
    VolumeMaps &maps = *doc.volumeMaps;
    maps.xStart = 38;
    maps.xEnd = 218;
    maps.yStart = 18;
    maps.yEnd = 238;
    maps.zStart = 38;
    maps.zEnd = 218;
    maps.resolution = 3;
    maps.allocateMapsMemory(1, 0, 0);
    const int fx = maps.gridDimX(), fy = maps.gridDimY(), fz = maps.gridDimZ();
    for (int k = 0; k < fz; ++k) {
        for (int j = 0; j < fy; ++j) {
            for (int i = 0; i < fx; ++i)
                maps.maps[0]->mapData[i + j * fx + k * fx * fy] = blobs(i, j, k);
        }
    }
    maps.nrOfSelectedMaps = 1;
    for (auto _ : state) {
        doc.convertSelectedMapsToNrMaps(true);
        benchmark::DoNotOptimize(doc.arVolumeMaps->maps[0]->mapData.get());
    }
}
BENCHMARK(convertWithInterpolation)->Unit(benchmark::kMillisecond);

void clusterTestOfSlice(benchmark::State &state)
{
    VolumeDoc doc;
    doc.dimX = doc.dimY = doc.dimZ = 256;
    doc.vmrData = std::make_unique<unsigned char[]>(256 * 256 * 256);
    std::fill_n(doc.vmrData.get(), 256 * 256 * 256, 100);
    doc.arVolumeMaps = std::make_unique<ArVolumeMaps>();
    ArVolumeMaps &maps = *doc.arVolumeMaps;
    maps.xStart = maps.yStart = maps.zStart = 0;
    maps.xEnd = maps.yEnd = maps.zEnd = 255;
    maps.maps.push_back(std::make_unique<ArVolumeMap>());
    ArVolumeMap *map = maps.maps.back().get();
    map->allocateMapData(maps);
    for (int z = 0; z < 256; ++z) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x)
                map->mapData[x + y * 256 + z * 65536] = blobs(x, y, z);
        }
    }
    const MapDisplay display{3.0f, 50, true, 3};
    ClusterSearch search;
    search.setMap(doc, maps, *map, display);
    int supraThreshold = 0;
    for (auto _ : state) {
        supraThreshold = 0;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const float v = map->valueAt(maps, x, y, 128);
                if (v >= display.threshold || v <= -display.threshold) {
                    ++supraThreshold;
                    benchmark::DoNotOptimize(search.check3DMapClusterSize(x, y, 128));
                }
            }
        }
    }
    state.counters["voxels"] = supraThreshold;
}
BENCHMARK(clusterTestOfSlice)->Unit(benchmark::kMillisecond);

// A flat grid of 400 × 500 vertices, two triangles per square of edge 1.
void overlayWithClusterRemoval(benchmark::State &state)
{
    const int width = 400, height = 500;
    SurfaceMesh mesh;
    mesh.reservedValue = 0;
    mesh.nrOfVertices = width * height;
    mesh.vertexX = std::make_unique<float[]>(mesh.nrOfVertices);
    mesh.vertexY = std::make_unique<float[]>(mesh.nrOfVertices);
    mesh.vertexZ = std::make_unique<float[]>(mesh.nrOfVertices);
    mesh.vertexColors = std::make_unique<int[]>(mesh.nrOfVertices);
    for (int v = 0; v < mesh.nrOfVertices; ++v) {
        mesh.vertexX[v] = float(v % width);
        mesh.vertexY[v] = float(v / width);
        mesh.vertexZ[v] = 0.0f;
        mesh.vertexColors[v] = (v / 7) % 2;
    }
    mesh.nrOfTriangles = 2 * (width - 1) * (height - 1);
    mesh.triangles = std::make_unique<int[]>(3 * mesh.nrOfTriangles);
    int *t = mesh.triangles.get();
    for (int y = 0; y + 1 < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            const int v = x + y * width;
            const int corners[6] = {v, v + 1, v + width, v + 1, v + width + 1, v + width};
            t = std::copy(corners, corners + 6, t);
        }
    }
    mesh.surfaceMaps = std::make_unique<SurfaceMaps>();
    SurfaceMaps &maps = *mesh.surfaceMaps;
    maps.nrOfVertices = mesh.nrOfVertices;
    maps.allocateMapsMemory(1, false);
    for (int v = 0; v < mesh.nrOfVertices; ++v)
        maps.maps[0]->mapData[v] = blobs(v % width, v / width, 0);
    maps.nrOfSelectedMaps = 1;
    for (auto _ : state) {
        mesh.prepareDisplayOfSMP();
        mesh.overlaySMP({3.0f, 50, true, 3});
        benchmark::DoNotOptimize(mesh.vertexColors[0]);
    }
}
BENCHMARK(overlayWithClusterRemoval)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
