#include "SurfaceMap.h"

SurfaceMap::SurfaceMap() : StatisticalMap(QStringLiteral("<SMP>"), 50, true) {}
