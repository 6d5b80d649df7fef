#include "SurfaceMap.h"

SurfaceMap::SurfaceMap(SurfaceMaps *parentMaps)
    : StatisticalMap(QStringLiteral("<SMP>"), 50, true), parentMaps(parentMaps)
{
}
