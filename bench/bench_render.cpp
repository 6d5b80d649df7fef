// What a volume view does on every move of the cross: the slice mosaic of a
// 256³ volume composed at a new cross position, alone, with the borders,
// labels and cross drawn on top, and with a statistical map over the whole
// brain coloured in, without and with the cluster filter; and what the raw MRI
// view does per image: the grey mapping of a 512 × 512 DICOM image. Drawing
// labels needs a display (run under xvfb-run -a) or QT_QPA_PLATFORM=offscreen.

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "DICOMDoc.h"
#include "DicomGreyImage.h"
#include "MosaicLayout.h"
#include "SliceMosaic.h"
#include "VolumeDoc.h"
#include "VolumeMapColouring.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

const int side = 256;

// A ball of grey tissue with bright rims and a few coloured voxels.
unsigned char phantom(int x, int y, int z)
{
    const float r = std::hypot(x - 128.0f, y - 128.0f, z - 128.0f);
    if (r > 110)
        return (x * 7 + y * 3 + z) % 9;
    if (r > 100)
        return 240;
    return (unsigned char)(60 + 100 * (0.5f + 0.5f * std::sin(x / 9.0f + y / 13.0f + z / 17.0f)));
}

void makeVolume(VolumeDoc &doc)
{
    doc.dimX = doc.dimY = doc.dimZ = side;
    doc.vmrData = std::make_unique<unsigned char[]>(size_t(side) * side * side);
    unsigned char *v = doc.vmrData.get();
    for (int z = 0; z < side; ++z)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                *v++ = phantom(x, y, z);
}

void composeAtNewCross(benchmark::State &state)
{
    VolumeDoc doc;
    makeVolume(doc);
    SliceMosaic mosaic;
    int step = 0;
    for (auto _ : state) {
        // Every axis moves, as when the cross travels diagonally.
        const int c = (step++ * 37) % side;
        QImage image = mosaic.compose(doc, c, side - 1 - c, (c + 100) % side);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(composeAtNewCross)->Unit(benchmark::kMicrosecond);

void composeWithOverlaysAtNewCross(benchmark::State &state)
{
    VolumeDoc doc;
    makeVolume(doc);
    const MosaicLayout layout(side, side, side);
    SliceMosaic mosaic;
    const QFont font = SliceMosaic::labelFont();
    int step = 0;
    for (auto _ : state) {
        const int x = (step * 37) % side, y = side - 1 - x, z = (x + 100) % side;
        ++step;
        QImage image = mosaic.compose(doc, x, y, z);
        SliceMosaic::drawBorders(image);
        SliceMosaic::drawLabels(image, 1, font);
        SliceMosaic::drawCross(image, layout, x, y, z);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(composeWithOverlaysAtNewCross)->Unit(benchmark::kMicrosecond);

// Blobs of both signs through the brain, with scattered single voxels as noise
// that the cluster filter removes; 0 outside the brain.
float blobs(int x, int y, int z)
{
    if (std::hypot(x - 128.0f, y - 128.0f, z - 128.0f) > 100)
        return 0.0f;
    const unsigned hash =
        unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(z) * 83492791u;
    if (hash % 17 == 0)
        return 6.0f;
    return 9.0f * std::sin(x / 7.0f) * std::sin(y / 9.0f) * std::sin(z / 11.0f + 0.5f);
}

// One map over the whole volume, shown at threshold 3 with both signs, in
// clusters of 50 with the filter on.
MapDisplay makeMap(VolumeDoc &doc, bool clusterFilter)
{
    doc.arVolumeMaps = std::make_unique<ArVolumeMaps>();
    ArVolumeMaps &maps = *doc.arVolumeMaps;
    maps.xStart = maps.yStart = maps.zStart = 0;
    maps.xEnd = maps.yEnd = maps.zEnd = side - 1;
    maps.maps.push_back(std::make_unique<ArVolumeMap>());
    ArVolumeMap *map = maps.maps.back().get();
    map->allocateMapData(maps);
    float *v = map->mapData.get();
    for (int z = 0; z < side; ++z)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                *v++ = blobs(x, y, z);
    map->threshMax = 8.0f;
    maps.selectedMaps = {0};
    maps.nrOfSelectedMaps = 1;
    return {3.0f, 50, clusterFilter, 3};
}

void composeWithMapAtNewCross(benchmark::State &state)
{
    VolumeDoc doc;
    makeVolume(doc);
    const MapDisplay display = makeMap(doc, state.range(0));
    SliceMosaic mosaic;
    VolumeMapColouring colouring;
    int step = 0;
    for (auto _ : state) {
        const int x = (step * 37) % side, y = side - 1 - x, z = (x + 100) % side;
        ++step;
        QImage image = mosaic.compose(doc, x, y, z, colouring.mapColouring(doc, display, x, y, z));
        benchmark::DoNotOptimize(image.constBits());
    }
    // How much of the mosaic the map colours, at the middle of the volume.
    const int c = side / 2;
    const QImage plain = mosaic.compose(doc, c, c, c);
    const QImage coloured =
        mosaic.compose(doc, c, c, c, colouring.mapColouring(doc, display, c, c, c));
    int pixels = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            pixels += plain.pixel(x, y) != coloured.pixel(x, y);
    state.counters["colouredPixels"] = pixels;
}
BENCHMARK(composeWithMapAtNewCross)
    ->ArgName("clusterFilter")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void greyMappingOfDicomImage(benchmark::State &state)
{
    DICOMDoc doc;
    doc.nrOfColumns = doc.nrOfRows = 512;
    doc.pixelData = std::make_unique<qint16[]>(512 * 512);
    double sum = 0, squares = 0;
    for (int i = 0; i < 512 * 512; ++i) {
        const int x = i % 512, y = i / 512;
        const qint16 p = qint16(std::hypot(x - 256, y - 256) < 200 ? 800 + (x * y) % 700 : 20);
        doc.pixelData[i] = p;
        sum += p;
        squares += double(p) * p;
    }
    doc.meanIntensity = float(sum / (512 * 512));
    doc.stdDevIntensity =
        float(std::sqrt(squares / (512 * 512) - double(doc.meanIntensity) * doc.meanIntensity));
    for (auto _ : state) {
        QImage image = dicomGreyImage(doc);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(greyMappingOfDicomImage)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
