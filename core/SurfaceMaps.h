#ifndef SURFACEMAPS_H
#define SURFACEMAPS_H

#include "MapSet.h"
#include "SurfaceMap.h"

class QIODevice;

// The maps of an SMP file, one value per vertex of a mesh.
class SurfaceMaps : public MapSet<SurfaceMap>
{
public:
    SurfaceMaps();
    ~SurfaceMaps();

    // Reads the maps of a file made for a mesh of meshVertices vertices; a
    // file that fails leaves no map.
    bool loadSurfaceMaps(QString fileName, int meshVertices, const ReadContext &context = {});
    bool loadSurfaceMaps(QIODevice &device, int meshVertices, const ReadContext &context = {});
    // The number of vertices an SMP file states, read from its header alone;
    // -1 when the file cannot be read or its header is not one of an SMP file.
    static int statedVertexCount(const QString &fileName);
    // Maps of nrOfVertices zero values, coloured by their number or, with
    // greys, in grey. False when the memory cannot be had; then no map is held.
    bool allocateMapsMemory(int nrOfMaps, bool greys);

    int nrOfVertices = 0;
    int smpVersion = 0;
    QString srfFileName;

private:
    bool readMaps(DocumentStream &in, int version);
    // The version and vertex count that lead the file; false for a header
    // that cannot be one.
    static bool readHeader(DocumentStream &in, qint16 &version, qint32 &vertexCount);
};

#endif
