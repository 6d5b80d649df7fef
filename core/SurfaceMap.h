#ifndef SURFACEMAP_H
#define SURFACEMAP_H

#include "StatisticalMap.h"

#include <memory>

class SurfaceMaps;

// One map of an SMP file: a value per vertex of the mesh. Its cluster size is
// an area in squared coordinate units.
class SurfaceMap : public StatisticalMap
{
public:
    explicit SurfaceMap(SurfaceMaps *parentMaps);

    SurfaceMaps *parentMaps;
    std::unique_ptr<float[]> mapData; // one value per vertex

private:
    Q_DISABLE_COPY(SurfaceMap)
};

#endif
