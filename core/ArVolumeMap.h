#ifndef ARVOLUMEMAP_H
#define ARVOLUMEMAP_H

#include "StatisticalMap.h"
#include "VolumeGrid.h"

#include <memory>

// One map at the resolution of the volume, with a value per voxel of the box
// of its set.
class ArVolumeMap : public StatisticalMap
{
public:
    ArVolumeMap();

    // Zero values for the voxels of box; false when the memory cannot be had.
    bool allocateMapData(const VoxelBox &box);
    // Values mapData holds: the box's voxels when it was allocated, 0 without data.
    qint64 nrOfValues() const { return mapData ? allocatedValues : 0; }
    // The value at voxel (x, y, z) of the volume, the values lying over box;
    // 0 outside the box or the data.
    float valueAt(const VoxelBox &box, int x, int y, int z) const;

    std::unique_ptr<float[]> mapData;

private:
    // The box may be changed after the data was allocated; reads stay within the data.
    qint64 allocatedValues = 0;
};

#endif
