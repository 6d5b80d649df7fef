#ifndef SURFACEMESH_H
#define SURFACEMESH_H

#include <QString>

class CXSCore;

class SurfaceMesh
{
public:
    explicit SurfaceMesh(CXSCore *core);
    ~SurfaceMesh();

    bool readMesh(QString fileName);

    CXSCore *core;
};

#endif
