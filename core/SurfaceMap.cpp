#include "SurfaceMap.h"

#include <cstdlib>

SurfaceMap::SurfaceMap(SurfaceMaps *parentMaps)
    : StatisticalMap(QStringLiteral("<SMP>"), 50, true), parentMaps(parentMaps)
{
}

SurfaceMap::~SurfaceMap()
{
    free(mapData);
}
