#ifndef MESHOFSURFACE_H
#define MESHOFSURFACE_H

#include "SurfaceImport.h"
#include "SurfaceMesh.h"

#include <cmath>
#include <cstdlib>

// Makes the mesh the view draws of a surface read, and aborts unless it is
// one: made, or refused with a reason; every ring of vertices of the mesh,
// as long as its count says; every normal a number.
inline void checkMeshOf(const SurfaceGeometry &surface)
{
    QString reason;
    const std::unique_ptr<SurfaceMesh> mesh = SurfaceImport::meshOfGeometry(surface, reason);
    if (!mesh) {
        if (reason.isEmpty())
            abort();
        return;
    }
    if (mesh->nrOfVertices != surface.vertexCount() || mesh->neighbors.size() != mesh->nrOfVertices)
        abort();
    for (int v = 0; v < mesh->nrOfVertices; ++v) {
        if (mesh->nrOfNeighbors[v] != mesh->neighbors[v].size() ||
            !std::isfinite(mesh->normalX[v] + mesh->normalY[v] + mesh->normalZ[v]))
            abort();
        for (const int n : mesh->neighbors[v])
            if (n < 0 || n >= mesh->nrOfVertices)
                abort();
    }
}

#endif
