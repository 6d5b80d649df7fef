#include "ClusterSearch.h"

#include "ArVolumeMap.h"
#include "VolumeDoc.h"

#include <cmath>
#include <new>

void ClusterSearch::setMap(const VolumeDoc &volume, const VoxelBox &mapBox,
                           const ArVolumeMap &shownMap, const MapDisplay &shown)
{
    hasVolume = bool(volume.vmrData);
    dims[0] = volume.dimX;
    dims[1] = volume.dimY;
    dims[2] = volume.dimZ;
    box = &mapBox;
    map = &shownMap;
    display = shown;
    criteria = shownMap.shownValues(shown);
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
    if (!hasVolume || dims[0] <= 0 || dims[1] <= 0 || dims[2] <= 0 || x < 0 || x >= dims[0] ||
        y < 0 || y >= dims[1] || z < 0 || z >= dims[2])
        return false;

    const qint64 nrOfVoxels = qint64(dims[0]) * dims[1] * dims[2];
    const std::array<int, 3> start = {x, y, z};
    int low[3];
    int high[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = limitToNeighborhood ? qMax(start[axis] - 5, 0) : 0;
        high[axis] = limitToNeighborhood ? qMin(start[axis] + 5, dims[axis] - 1) : dims[axis] - 1;
    }
    auto inLimits = [&](const std::array<int, 3> &p) {
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] < low[axis] || p[axis] > high[axis])
                return false;
        }
        return true;
    };

    // Only voxels of the start's sign join it; a voxel not shown stays alone.
    const int sign = criteria.signOf(valueAt(x, y, z));
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
                    if (sign != 0 && !marked(index) &&
                        criteria.signOf(valueAt(n[0], n[1], n[2])) == sign)
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

int ClusterSearch::clusterSign(int x, int y, int z) const
{
    if (!hasVolume || x < 0 || x >= dims[0] || y < 0 || y >= dims[1] || z < 0 || z >= dims[2])
        return 0;
    return criteria.signOf(valueAt(x, y, z));
}
