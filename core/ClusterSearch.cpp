#include "ClusterSearch.h"

#include "ArVolumeMap.h"
#include "VolumeDoc.h"

#include <cmath>
#include <new>

void ClusterSearch::setMap(const VolumeDoc &volume, const VoxelBox &mapBox,
                           const ArVolumeMap &shownMap, const MapDisplay &shown)
{
    voxels = volume.vmrData.get();
    dims[0] = volume.dimX;
    dims[1] = volume.dimY;
    dims[2] = volume.dimZ;
    box = &mapBox;
    map = &shownMap;
    display = shown;
    threshold = shownMap.thresholds(shown).lower;
}

float ClusterSearch::valueAt(qint64 x, qint64 y, qint64 z) const
{
    return map->valueAt(*box, int(x), int(y), int(z));
}

bool ClusterSearch::check3DMapClusterSize(int x, int y, int z, bool growWholeCluster,
                                          bool limitToNeighborhood)
{
    if (!display.clusterFilter)
        return true;
    if (!voxels || dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0 || x < 0 || x >= dims[0] || y < 0 ||
        y >= dims[1] || z < 0 || z >= dims[2])
        return false;

    const qint64 nrOfVoxels = qint64(dims[0]) * dims[1] * dims[2];
    const std::array<int, 3> start = {x, y, z};
    int low[3];
    int high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = limitToNeighborhood ? qMax(start[axis] - 5, 1) : 1;
        high[axis] = limitToNeighborhood ? qMin(start[axis] + 5, dims[axis] - 1) : dims[axis] - 1;
    }
    auto inLimits = [&](const std::array<int, 3> &p) {
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < low[axis] || p[axis] > high[axis])
                return false;
        }
        return true;
    };

    const bool stopEarly = !growWholeCluster && !limitToNeighborhood;
    const size_t clusterSize = size_t(qMax(display.clusterSize, 0));
    bool complete = true;
    stack.clear();
    visited.clear();
    try {
        marks.resize(size_t((nrOfVoxels + 63) / 64));
        auto join = [&](const std::array<int, 3> &p) {
            const qint64 index = indexOf(p);
            visited.push_back(index);
            mark(index);
            stack.push_back(p);
        };
        join(start);
        while (!stack.empty() && !(stopEarly && visited.size() >= clusterSize)) {
            const std::array<int, 3> current = stack.back();
            stack.pop_back();
            for (int axis = 0; axis < 3; ++axis) {
                for (int step : {-1, 1}) {
                    std::array<int, 3> n = current;
                    n[axis] += step;
                    if (!inLimits(n))
                        continue;
                    const qint64 index = indexOf(n);
                    if (!marked(index) && voxels[index] != 255 &&
                        joinsByValue(valueAt(n[0], n[1], n[2])))
                        join(n);
                }
            }
        }
    } catch (const std::bad_alloc &) {
        complete = false;
    }

    const size_t count = visited.size();
    for (qint64 index : visited)
        mark(index);
    if (!complete)
        return false;
    return growWholeCluster || count >= clusterSize;
}

bool ClusterSearch::joinsCluster(int x, int y, int z) const
{
    if (!voxels || x < 1 || x >= dims[0] || y < 1 || y >= dims[1] || z < 1 || z >= dims[2])
        return false;
    return voxels[indexOf({x, y, z})] != 255 && joinsByValue(valueAt(x, y, z));
}

bool ClusterSearch::joinsByValue(float v) const
{
    if (map->mapType == 3)
        v -= std::trunc(v);
    const bool negative = display.showsNegative() && threshold > 0.0f;
    return (display.showsPositive() && v >= threshold) || (negative && v <= -threshold);
}
