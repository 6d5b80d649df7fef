#ifndef CLUSTERSEARCH_H
#define CLUSTERSEARCH_H

#include "ClusterTable.h"
#include "StatisticalMap.h"

#include <QtGlobal>

#include <array>
#include <vector>

class ArVolumeMap;
class VolumeDoc;
struct VoxelBox;

// Whether voxels of a map lie in clusters large enough to be shown: a flood
// fill over the six face neighbours of the voxels the map shows (as
// StatisticalMap::shownValues says), of the sign of the voxel it starts from,
// that stops once the cluster is large enough. The clusters are those a
// ClusterTable lists of the map's values over the volume's grid: positive and
// negative values apart, every voxel of the volume reached.
//
// It only reads the volume and the map: the voxels a search visits are marked
// in buffers of its own, kept from one search to the next. So a search object
// serves one thread, and any number of threads may search one volume at once.
class ClusterSearch
{
public:
    // Searches map, whose values lie over box in volume, shown as display
    // says, from now on. The volume, box and map must outlive the searches.
    void setMap(const VolumeDoc &volume, const VoxelBox &box, const ArVolumeMap &map,
                const MapDisplay &display);

    // Whether voxel (x, y, z) lies in a cluster of at least the display's
    // cluster size such voxels; always when the display's filter is off. With
    // growWholeCluster the whole cluster is visited and the answer is yes;
    // with limitToNeighborhood only voxels within 5 of (x, y, z) on each axis
    // are. A voxel the map does not show is a cluster of its own. No when
    // the search runs out of memory.
    bool check3DMapClusterSize(int x, int y, int z, bool growWholeCluster = false,
                               bool limitToNeighborhood = false);
    // The sign of the clusters voxel (x, y, z) joins, when the search is not
    // limited to a neighbourhood: +1 or -1 for a voxel of the volume the map
    // shows, else 0. Voxels of one sign that touch each other lie in one
    // cluster and get one answer above.
    int clusterSign(int x, int y, int z) const;

private:
    float valueAt(qint64 x, qint64 y, qint64 z) const;
    qint64 indexOf(const std::array<int, 3> &p) const
    {
        return p[0] + p[1] * qint64(dims[0]) + p[2] * qint64(dims[0]) * dims[1];
    }
    bool marked(qint64 index) const { return marks[size_t(index >> 6)] >> (index & 63) & 1; }
    void mark(qint64 index) { marks[size_t(index >> 6)] ^= quint64(1) << (index & 63); }

    bool hasVolume = false;
    int dims[3] = {};
    const VoxelBox *box = nullptr;
    const ArVolumeMap *map = nullptr;
    MapDisplay display;
    ClusterCriteria criteria;

    // A bit per voxel of the volume, set while a search has visited it; the
    // voxels to visit next and those visited, to clear their bits after.
    std::vector<quint64> marks;
    std::vector<std::array<int, 3>> stack;
    std::vector<qint64> visited;
};

#endif
