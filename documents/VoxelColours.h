#ifndef VOXELCOLOURS_H
#define VOXELCOLOURS_H

#include "StatisticalMap.h"

#include <QRgb>

// The colours of anatomical voxel values: black up to 9, a grey ramp over
// 10..225, a colour ramp over 226..245 and white from 246. The colour ramp is
// also the built-in scale of statistical maps: entries 0..9 run from red-orange
// to yellow for positive values, 10..19 from blue to green for negative ones.
class VoxelColours
{
public:
    VoxelColours();

    static const int greyEntries = 216;
    static const int colourEntries = StatisticalMap::scaleEntries;

    // Entry i as red, green, blue bytes; i must lie within the table.
    const unsigned char *grey(int i) const { return greyTable[i]; }
    const unsigned char *colour(int i) const { return colourTable[i]; }

    // The opaque colour of a voxel value 0..255.
    QRgb voxel(unsigned char value) const { return voxelTable[value]; }

private:
    unsigned char greyTable[greyEntries][3];
    unsigned char colourTable[colourEntries][3];
    QRgb voxelTable[256];
};

#endif
