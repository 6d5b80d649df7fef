#include "VolumeMap.h"

VolumeMap::VolumeMap() : StatisticalMap(QStringLiteral("<VMP>"), 0, false) {}
