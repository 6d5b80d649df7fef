// Feeds arbitrary bytes to the SMP reader onto a small mesh, then overlays
// every map read, with the cluster filter.

#include "SrfFixture.h"
#include "SurfaceMap.h"
#include "SurfaceMaps.h"
#include "SurfaceMesh.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray octahedron = SrfFixture::octahedron().bytes();
    QByteArray meshBytes = octahedron;
    QBuffer meshBuffer(&meshBytes);
    meshBuffer.open(QIODevice::ReadOnly);
    SurfaceMesh mesh;
    if (!mesh.readMesh(meshBuffer))
        return 0;

    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    mesh.surfaceMaps = std::make_unique<SurfaceMaps>();
    SurfaceMaps &maps = *mesh.surfaceMaps;
    if (!maps.loadSurfaceMaps(buffer, mesh.nrOfVertices))
        return 0;
    for (int i = 0; i < int(maps.maps.size()); ++i)
        maps.selectedMaps[i] = i;
    maps.nrOfSelectedMaps = int(maps.maps.size());
    if (maps.maps.empty())
        return 0;
    // As the file shows the first map, then with the cluster filter switched.
    MapDisplay display = maps.maps[0]->storedDisplay();
    for (int pass = 0; pass < 2; ++pass) {
        mesh.prepareDisplayOfSMP();
        mesh.overlaySMP(display);
        display.clusterFilter = !display.clusterFilter;
    }
    return 0;
}
