#include "ArVolumeMap.h"

#include "Allocation.h"

#include <QtNumeric>

ArVolumeMap::ArVolumeMap() : StatisticalMap(QStringLiteral("<VMP>"), 50, false) {}

bool ArVolumeMap::allocateMapData(const VoxelBox &box)
{
    qint64 nrOfVoxels;
    mapData.reset();
    allocatedValues = 0;
    if (qMulOverflow(box.boxDimX(), box.boxDimY(), &nrOfVoxels) ||
        qMulOverflow(nrOfVoxels, box.boxDimZ(), &nrOfVoxels))
        return false;
    mapData = allocateZeroed<float>(nrOfVoxels);
    allocatedValues = mapData ? nrOfVoxels : 0;
    return bool(mapData);
}

float ArVolumeMap::valueAt(const VoxelBox &box, int x, int y, int z) const
{
    const qint64 index = box.indexOf(x, y, z);
    return index >= 0 && index < nrOfValues() ? mapData[index] : 0.0f;
}
