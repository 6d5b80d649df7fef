// Feeds arbitrary bytes to the SRF reader, then to the alternate vertex reader
// of the mesh read (as a file naming itself would), and runs the mesh measures.

#include "SurfaceMesh.h"

#include <QBuffer>

#include <cstdint>

namespace {

bool read(SurfaceMesh &mesh, QByteArray &bytes, bool alternate)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return alternate ? mesh.readIndirectMeshVertices(buffer) : mesh.readMesh(buffer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    SurfaceMesh mesh;
    if (!read(mesh, bytes, false))
        return 0;
    read(mesh, bytes, true);
    int nrOfEdges;
    float minLength, maxLength;
    mesh.computeAverageEdgeLength(nrOfEdges, minLength, maxLength);
    mesh.calculateMeanNrOfNeighbors();
    mesh.saveMeshColorsForUndo();
    mesh.computeVertexNormals();
    mesh.undoMeshColors();
    return 0;
}
