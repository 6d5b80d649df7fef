// Feeds arbitrary bytes to both VMP readers onto a small volume, then converts
// what the current-format reader read and runs the cluster test over the maps.

#include "ArVolumeMap.h"
#include "ArVolumeMaps.h"
#include "ClusterSearch.h"
#include "VolumeDoc.h"
#include "VolumeMaps.h"

#include <QBuffer>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

void testClusters(const VolumeDoc &doc, const ArVolumeMaps &maps)
{
    ClusterSearch search;
    for (const auto &map : maps.maps) {
        search.setMap(doc, maps, *map, {map->threshMin, 20, true, map->showPosNeg});
        for (int i = -1; i <= 8; i += 3)
            search.check3DMapClusterSize(i, i, 7 - i, i == 2, i == 5);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    VolumeDoc doc;
    doc.dimX = doc.dimY = doc.dimZ = 8;
    doc.offsetX = 1;
    doc.framingCubeDim = 16; // keeps conversions small enough for many runs
    doc.vmrData = std::make_unique<unsigned char[]>(8 * 8 * 8);
    std::fill_n(doc.vmrData.get(), 8 * 8 * 8, 100);

    for (bool vmpExtension : {false, true}) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        doc.volumeMaps = std::make_unique<VolumeMaps>();
        if (doc.volumeMaps->loadVolumeMaps(buffer, vmpExtension, doc.grid()) == 1 &&
            !doc.volumeMaps->maps.empty()) {
            doc.volumeMaps->nrOfSelectedMaps = 2;
            doc.volumeMaps->selectedMaps = {int(doc.volumeMaps->maps.size()) - 1, 0};
            doc.convertSelectedMapsToNrMaps(vmpExtension);
            if (doc.arVolumeMaps)
                testClusters(doc, *doc.arVolumeMaps);
        }
        doc.volumeMaps.reset();
    }

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ArVolumeMaps maps;
    if (maps.loadVolumeMaps(buffer, doc.grid()) == 1)
        testClusters(doc, maps);
    return 0;
}
