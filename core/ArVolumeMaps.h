#ifndef ARVOLUMEMAPS_H
#define ARVOLUMEMAPS_H

#include "ArVolumeMap.h"
#include "MapSet.h"
#include "VolumeGrid.h"

class DocumentStream;
class QIODevice;

// Maps at the resolution of the volume over a box of it: read from an
// older-format VMP file or converted from the maps of a current-format one.
class ArVolumeMaps : public MapSet<ArVolumeMap>, public VoxelBox
{
public:
    ArVolumeMaps();
    ~ArVolumeMaps();

    // Reads the maps of a file made for volume. 0: failed, 1: read, 2: a
    // current-format file, for VolumeMaps. A file that fails leaves no map.
    int loadVolumeMaps(QString fileName, const VolumeGrid &volume, const ReadContext &context = {});
    int loadVolumeMaps(QIODevice &device, const VolumeGrid &volume,
                       const ReadContext &context = {});

    int vmpVersion = 0; // of the file read; 0 for converted maps
    int resolution = 1;

    // Volume dimensions the maps were made for.
    int savedDimX = 256;
    int savedDimY = 256;
    int savedDimZ = 256;

    int mapMixMode = 1; // 1: average the colours of several maps, else add them
    int transparentOverlay = 0;

private:
    int readMaps(DocumentStream &in, int version, int nrOfMaps, const VolumeGrid &volume);
};

#endif
