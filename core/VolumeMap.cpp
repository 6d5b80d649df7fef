#include "VolumeMap.h"

#include <cstdlib>

VolumeMap::VolumeMap(VolumeMaps *parentMaps)
    : StatisticalMap(QStringLiteral("<VMP>"), 0, false), parentMaps(parentMaps)
{
}

VolumeMap::~VolumeMap()
{
    free(mapData);
}
