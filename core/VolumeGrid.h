#ifndef VOLUMEGRID_H
#define VOLUMEGRID_H

#include <QtGlobal>

// The grid of a volume that maps are read onto: its dimensions, and its
// offset in the framing cube, to which current-format map files give their
// boxes.
struct VolumeGrid
{
    int dimX = 0;
    int dimY = 0;
    int dimZ = 0;
    int offsetX = 0;
    int offsetY = 0;
    int offsetZ = 0;
};

// A box of voxels of a volume, its ends inclusive, over which a map holds a
// value per voxel: voxel (x, y, z) at (x - xStart) + (y - yStart)·nx +
// (z - zStart)·nx·ny.
struct VoxelBox
{
    int xStart = 4096;
    int xEnd = 0;
    int yStart = 4096;
    int yEnd = 0;
    int zStart = 4096;
    int zEnd = 0;

    // Voxels along each axis.
    qint64 boxDimX() const { return boxDim(xStart, xEnd); }
    qint64 boxDimY() const { return boxDim(yStart, yEnd); }
    qint64 boxDimZ() const { return boxDim(zStart, zEnd); }
    // Where voxel (x, y, z) of the volume lies in values over the box; -1
    // outside the box.
    qint64 indexOf(int x, int y, int z) const
    {
        if (x < xStart || x > xEnd || y < yStart || y > yEnd || z < zStart || z > zEnd)
            return -1;
        const qint64 nx = boxDimX();
        return (qint64(x) - xStart) + (qint64(y) - yStart) * nx +
               (qint64(z) - zStart) * nx * boxDimY();
    }

private:
    static qint64 boxDim(int start, int end) { return end >= start ? qint64(end) - start + 1 : 0; }
};

#endif
