#ifndef VOLUMEMAP_H
#define VOLUMEMAP_H

#include "StatisticalMap.h"

#include <QList>

class VolumeMaps;

// One map of a current-format VMP file, at the set's grid resolution.
class VolumeMap : public StatisticalMap
{
public:
    explicit VolumeMap(VolumeMaps *parentMaps);
    ~VolumeMap();

    VolumeMaps *parentMaps;
    // Cell (i, j, k) of the set's grid at i + j·dx + k·dx·dy; malloc'ed.
    float *mapData = nullptr;
    int mapTrailerValue = -1;
    QList<float> pointTriples;
    QList<float> timeCourse;
    QList<float> componentValues;

private:
    Q_DISABLE_COPY(VolumeMap)
};

#endif
