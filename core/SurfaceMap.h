#ifndef SURFACEMAP_H
#define SURFACEMAP_H

#include "StatisticalMap.h"

class SurfaceMaps;

// One map of an SMP file: a value per vertex of the mesh. Its cluster size is
// an area in squared coordinate units.
class SurfaceMap : public StatisticalMap
{
public:
    explicit SurfaceMap(SurfaceMaps *parentMaps);
    ~SurfaceMap();

    SurfaceMaps *parentMaps;
    float *mapData = nullptr; // one value per vertex; malloc'ed

private:
    Q_DISABLE_COPY(SurfaceMap)
};

#endif
