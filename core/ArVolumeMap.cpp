#include "ArVolumeMap.h"

#include "Allocation.h"
#include "ArVolumeMaps.h"
#include "VolumeDoc.h"

#include <climits>
#include <cmath>
#include <new>

namespace {

// Room a buffer keeps for the six neighbours of the voxel taken next.
const int neighborRoom = 7;

// Sizes a buffer of width ints per entry for entries; false when it cannot.
bool reserve(std::vector<int> &buffer, int entries, int width)
{
    try {
        buffer.resize(size_t(entries) * size_t(width));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Grows a buffer by 1000 entries; false when it cannot.
bool grow(std::vector<int> &buffer, int &entries, int width)
{
    if (entries > INT_MAX - 1000 || !reserve(buffer, entries + 1000, width))
        return false;
    entries += 1000;
    return true;
}

} // namespace

ArVolumeMap::ArVolumeMap(ArVolumeMaps *parentMaps)
    : StatisticalMap(QStringLiteral("<VMP>"), 50, false), parentMaps(parentMaps)
{
}

bool ArVolumeMap::allocateMapData()
{
    const qint64 nrOfVoxels = parentMaps->boxDimX() * parentMaps->boxDimY() * parentMaps->boxDimZ();
    mapData = allocateZeroed<float>(nrOfVoxels);
    allocatedValues = mapData ? nrOfVoxels : 0;
    return bool(mapData);
}

float ArVolumeMap::valueAt(int x, int y, int z) const
{
    const ArVolumeMaps &box = *parentMaps;
    if (!mapData || x < box.xStart || x > box.xEnd || y < box.yStart || y > box.yEnd ||
        z < box.zStart || z > box.zEnd)
        return 0.0f;
    const qint64 nx = box.boxDimX();
    const qint64 index = (qint64(x) - box.xStart) + (qint64(y) - box.yStart) * nx +
                         (qint64(z) - box.zStart) * nx * box.boxDimY();
    return index < allocatedValues ? mapData[index] : 0.0f;
}

// A flood fill over the six face neighbours that stops once the cluster is
// large enough. Voxels at index 0 of an axis are never entered from a neighbour.
bool ArVolumeMap::check3DMapClusterSize(int x, int y, int z, bool growWholeCluster,
                                        bool limitToNeighborhood, bool)
{
    if (!clusterCheckEnabled)
        return true;
    const VolumeDoc &volume = *parentMaps->volumeDoc;
    unsigned char *voxels = volume.vmrData.get();
    const int dims[3] = {volume.dimX, volume.dimY, volume.dimZ};
    if (!voxels || x < 0 || x >= dims[0] || y < 0 || y >= dims[1] || z < 0 || z >= dims[2])
        return false;

    if (clusterStack.empty()) {
        stackEntries = qMax(parentMaps->stackCapacity, neighborRoom);
        if (!reserve(clusterStack, stackEntries, 3))
            return false;
    }
    if (clusterVoxels.empty()) {
        voxelEntries = qMax(parentMaps->visitedCapacity, neighborRoom);
        if (!reserve(clusterVoxels, voxelEntries, 4))
            return false;
    }

    const int start[3] = {x, y, z};
    int low[3];
    int high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = limitToNeighborhood ? qMax(start[axis] - 5, 1) : 1;
        high[axis] = limitToNeighborhood ? qMin(start[axis] + 5, dims[axis] - 1) : dims[axis] - 1;
    }
    const qint64 sliceSize = qint64(dims[0]) * dims[1];
    auto index = [&](const int *p) { return p[0] + p[1] * qint64(dims[0]) + p[2] * sliceSize; };
    auto inLimits = [&](const int *p) {
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < low[axis] || p[axis] > high[axis])
                return false;
        }
        return true;
    };

    int stackSize = 0;
    int count = 0;
    auto join = [&](const int *p) {
        std::copy(p, p + 3, clusterStack.data() + 3 * stackSize++);
        int *record = clusterVoxels.data() + 4 * count++;
        std::copy(p, p + 3, record);
        unsigned char &byte = voxels[index(p)];
        record[3] = byte;
        byte = 255;
    };

    const bool stopEarly = !growWholeCluster && !limitToNeighborhood;
    bool buffersGrew = true;
    join(start);
    while (stackSize > 0) {
        if (stackSize > stackEntries - neighborRoom) {
            buffersGrew = grow(clusterStack, stackEntries, 3);
            parentMaps->stackCapacity = qMax(parentMaps->stackCapacity, stackEntries);
        }
        if (buffersGrew && count > voxelEntries - neighborRoom) {
            buffersGrew = grow(clusterVoxels, voxelEntries, 4);
            parentMaps->visitedCapacity = qMax(parentMaps->visitedCapacity, voxelEntries);
        }
        if (!buffersGrew || (stopEarly && count >= clusterSize))
            break;

        --stackSize;
        const int *p = clusterStack.data() + 3 * stackSize;
        const int current[3] = {p[0], p[1], p[2]};
        for (int axis = 0; axis < 3; ++axis) {
            for (int step : {-1, 1}) {
                int n[3] = {current[0], current[1], current[2]};
                n[axis] += step;
                if (inLimits(n) && voxels[index(n)] != 255 &&
                    joinsByValue(valueAt(n[0], n[1], n[2])))
                    join(n);
            }
        }
    }

    for (int i = count - 1; i >= 0; --i) {
        const int *record = clusterVoxels.data() + 4 * i;
        voxels[index(record)] = static_cast<unsigned char>(record[3]);
    }
    if (!buffersGrew)
        return false;
    return growWholeCluster || count >= clusterSize;
}

bool ArVolumeMap::joinsCluster(int x, int y, int z) const
{
    const VolumeDoc &volume = *parentMaps->volumeDoc;
    if (!volume.vmrData || x < 1 || x >= volume.dimX || y < 1 || y >= volume.dimY || z < 1 ||
        z >= volume.dimZ)
        return false;
    const qint64 dimX = volume.dimX;
    return volume.vmrData[x + y * dimX + z * dimX * volume.dimY] != 255 &&
           joinsByValue(valueAt(x, y, z));
}

bool ArVolumeMap::joinsByValue(float v) const
{
    if (mapType == 3)
        v -= std::trunc(v);
    const bool positive = showPosNeg == 1 || showPosNeg == 3;
    const bool negative = (showPosNeg == 2 || showPosNeg == 3) && threshMin > 0.0f;
    return (positive && v >= threshMin) || (negative && v <= -threshMin);
}
