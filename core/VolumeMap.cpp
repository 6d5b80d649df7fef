#include "VolumeMap.h"

VolumeMap::VolumeMap(VolumeMaps *parentMaps)
    : StatisticalMap(QStringLiteral("<VMP>"), 0, false), parentMaps(parentMaps)
{
}
