#ifndef SURFACEMAP_H
#define SURFACEMAP_H

#include "StatisticalMap.h"

#include <memory>

// One map of an SMP file: a value per vertex of the mesh. Its cluster size is
// an area in squared coordinate units.
class SurfaceMap : public StatisticalMap
{
public:
    SurfaceMap();

    std::unique_ptr<float[]> mapData; // one value per vertex

private:
    Q_DISABLE_COPY(SurfaceMap)
};

#endif
