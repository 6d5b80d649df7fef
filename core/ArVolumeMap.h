#ifndef ARVOLUMEMAP_H
#define ARVOLUMEMAP_H

#include "StatisticalMap.h"

#include <memory>
#include <vector>

class ArVolumeMaps;

// One map at the resolution of the volume, as the volume view colours it.
class ArVolumeMap : public StatisticalMap
{
public:
    explicit ArVolumeMap(ArVolumeMaps *parentMaps);

    // Zero-filled values for the parent's box; false when the memory cannot be had.
    bool allocateMapData();
    // Values mapData holds: the box's voxels when it was allocated, 0 without data.
    qint64 nrOfValues() const { return mapData ? allocatedValues : 0; }
    // The value at voxel (x, y, z) of the volume; 0 outside the box or its data.
    float valueAt(int x, int y, int z) const;

    // Whether the supra-threshold voxel (x, y, z) lies in a cluster of at least
    // clusterSize such voxels. Marks visited voxels in the volume's own bytes
    // and restores them before it returns. The last switch has no effect.
    bool check3DMapClusterSize(int x, int y, int z, bool growWholeCluster, bool limitToNeighborhood,
                               bool);
    // Whether voxel (x, y, z) joins a cluster that reaches it, when the search is
    // not limited to a neighbourhood: off index 0 of every axis, not marked as
    // visited, and beyond the threshold for the signs shown. Voxels that join
    // and touch each other lie in one cluster and get one answer above.
    bool joinsCluster(int x, int y, int z) const;

    ArVolumeMaps *parentMaps;
    // Voxel (x, y, z) of the box at (x - xStart) + (y - yStart)·nx + (z - zStart)·nx·ny.
    std::unique_ptr<float[]> mapData;
    // Cluster search buffers, kept between calls: x, y, z per entry on the
    // stack; x, y, z and the saved volume byte per visited voxel.
    std::vector<int> clusterStack;
    std::vector<int> clusterVoxels;

private:
    Q_DISABLE_COPY(ArVolumeMap)

    // Whether a map value is beyond the threshold for the signs shown; for a
    // lag map its fraction.
    bool joinsByValue(float v) const;

    // Entries the two buffers have room for; the set's capacities only say
    // how large new buffers start.
    int stackEntries = 0;
    int voxelEntries = 0;
    // The box may be changed after the data was allocated; reads stay within it.
    qint64 allocatedValues = 0;
};

#endif
