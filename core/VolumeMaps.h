#ifndef VOLUMEMAPS_H
#define VOLUMEMAPS_H

#include "MapSet.h"
#include "VolumeGrid.h"
#include "VolumeMap.h"

#include <QStringList>

#include <climits>

class QIODevice;

// The maps of a current-format VMP file: values over a box of the volume, on a
// grid whose cells are resolution voxels wide.
class VolumeMaps : public MapSet<VolumeMap>
{
public:
    // Leads every current-format file; the older format has none.
    static const quint32 vmpMagic = 0xA1B2C3D4;

    VolumeMaps();
    ~VolumeMaps();

    // Reads the maps of a file onto volume, whose offset places the box.
    // 0: failed, 1: read, 2: an older-format file, for ArVolumeMaps.
    int loadVolumeMaps(QString fileName, const VolumeGrid &volume, const ReadContext &context = {});
    // The older format is recognised only in files named .vmp.
    int loadVolumeMaps(QIODevice &device, bool vmpExtension, const VolumeGrid &volume,
                       const ReadContext &context = {});
    // False when the memory cannot be had; then no map is held.
    bool allocateMapsMemory(int nrOfMaps, int nrOfTimePoints, int nrOfComponentParams);
    void freeMapsMemory();

    // Cells of the grid along each axis.
    int gridDimX() const { return gridDim(xStart, xEnd); }
    int gridDimY() const { return gridDim(yStart, yEnd); }
    int gridDimZ() const { return gridDim(zStart, zEnd); }

    // In voxels of the volume; the ends are exclusive.
    int xStart = 4096;
    int xEnd = 0;
    int yStart = 4096;
    int yEnd = 0;
    int zStart = 4096;
    int zEnd = 0;
    int resolution = 3;

    int vmpVersion = 1;
    int nrOfMaps = 0;
    int nrOfTimePoints = 0;
    int nrOfComponentParams = 0;
    QStringList componentNames;
    QString headerStrings[3];
    int headerValues[4] = {};

private:
    int gridDim(int start, int end) const
    {
        if (resolution <= 0 || end <= start)
            return 0;
        return int(qMin<qint64>((qint64(end) - start) / resolution, INT_MAX));
    }
    int readMaps(QIODevice &device, bool vmpExtension, const VolumeGrid &volume,
                 const ReadContext &context);
};

#endif
