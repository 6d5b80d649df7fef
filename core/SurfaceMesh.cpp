#include "SurfaceMesh.h"

SurfaceMesh::SurfaceMesh(CXSCore *core) : core(core) {}

SurfaceMesh::~SurfaceMesh() {}

bool SurfaceMesh::readMesh(QString fileName)
{
    Q_UNUSED(fileName);
    return false;
}
