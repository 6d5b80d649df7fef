#ifndef VOLUMEMAPCOLOURING_H
#define VOLUMEMAPCOLOURING_H

#include "ClusterSearch.h"
#include "SliceMosaic.h"
#include "StatisticalMap.h"
#include "VoxelColours.h"

#include <vector>

class ArVolumeMap;
class ArVolumeMaps;
class VolumeDoc;

// Colours voxels of a volume with the selected maps of its arVolumeMaps: each
// map shown as the display says (threshold, signs, cluster filter), by its
// upper threshold, lags and colour scale (its own colour range or the built-in
// one of VoxelColours), blended with the anatomy as its transparency says; the
// colours of several maps are averaged or added as the set's mixing mode says.
// It only reads the volume and its maps.
//
// Selected entries that name no map, and maps whose data does not cover their
// box, colour nothing. Values that are not numbers colour nothing; equal
// thresholds give the value that passes them the colour of the maximum.
//
// With the cluster filter on, a composition asks the map's cluster test once
// per cluster that a slice cuts rather than once per voxel: voxels of one sign
// that join clusters and touch each other share one answer.
class VolumeMapColouring
{
public:
    // The map colour of voxel (x, y, z) of volume over its anatomical colour,
    // each component within 0..255; red is -1 when the voxel has none.
    void getVMPColorForVoxel(const VolumeDoc *volume, const MapDisplay &display, int x, int y,
                             int z, int &red, int &green, int &blue, int anatRed, int anatGreen,
                             int anatBlue);

    // The same for SliceMosaic::compose, for one composition of volume's
    // slices through the cross. Empty when no map colours any voxel, so that
    // the plain composition runs. It refers to this object, which must
    // outlive it, and stays valid until the next call of either function;
    // the volume and its maps must not change meanwhile.
    SliceMosaic::MapColouring mapColouring(const VolumeDoc &volume, const MapDisplay &display,
                                           int crossX, int crossY, int crossZ);

private:
    struct SelectedMap
    {
        const ArVolumeMap *map;   // null where the selection names no usable map
        qsizetype clusterAnswers; // offset of its answers, -1 for none
        StatisticalMap::Thresholds thresholds;
        ClusterSearch *search; // null while the filter is off
    };

    // Takes the selection of volume's map set; false when it shows nothing.
    bool prepare(const VolumeDoc *volume, const MapDisplay &display);
    // The colour of a voxel as getVMPColorForVoxel gives it, in rgb; false for none.
    bool colourVoxel(int x, int y, int z, const int anatomical[3], int rgb[3]);
    bool inCluster(const SelectedMap &selected, int x, int y, int z);
    // The answer of the cluster test kept for a voxel of one of the slices
    // being composed; null for other voxels.
    unsigned char *clusterAnswer(const SelectedMap &selected, int x, int y, int z);

    VoxelColours colours;
    const ArVolumeMaps *mapSet = nullptr;
    MapDisplay shown;
    std::vector<SelectedMap> selection;
    // One per selected map, kept with their buffers from one composition to the next.
    std::vector<ClusterSearch> searches;
    // The colour of each selected map at the voxel being coloured, red -1 for none.
    std::vector<int> mapRed;
    std::vector<int> mapGreen;
    std::vector<int> mapBlue;

    // The volume and cross of the composition under way, and the cluster
    // answers of its slices' voxels: per map with the filter on, one plane
    // per slice.
    int dims[3] = {};
    int cross[3] = {};
    qsizetype planeCells[3] = {};
    std::vector<unsigned char> clusterAnswers;
};

#endif
